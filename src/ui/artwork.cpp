#include "artwork.h"

#include <QResource>
#include <QtEndian>

#include <cstdint>

namespace hideaway {

namespace {

/// The BMP the artwork generator writes: BITMAPINFOHEADER, 32 bits a pixel, no compression, rows
/// top down (a negative height) without padding. On a little-endian machine its pixel array is a
/// QImage::Format_RGB32 image as it stands; anything else gives a null image.
QImage viewOfBitmap(const uchar* data, qint64 size) {
    constexpr qint64 kHeadersSize = 14 + 40;
    if (Q_BYTE_ORDER != Q_LITTLE_ENDIAN || data == nullptr || size < kHeadersSize ||
        data[0] != 'B' || data[1] != 'M') {
        return QImage();
    }
    const auto u16 = [data](int at) { return qFromLittleEndian<quint16>(data + at); };
    const auto u32 = [data](int at) { return qFromLittleEndian<quint32>(data + at); };
    const auto i32 = [data](int at) { return qFromLittleEndian<qint32>(data + at); };
    const qint64 pixelsAt = u32(10);
    const qint64 width = i32(18);
    const qint64 height = -qint64{i32(22)};
    if (u32(14) != 40 || u16(26) != 1 || u16(28) != 32 || u32(30) != 0 || width <= 0 ||
        height <= 0 || width > 0x7FFF || height > 0x7FFF || pixelsAt < kHeadersSize ||
        pixelsAt + width * height * 4 > size) {
        return QImage();
    }
    const uchar* pixels = data + pixelsAt;
    // QImage reads its pixels as 32-bit words, and an RGB32 pixel's unused byte must be 0xFF.
    if (reinterpret_cast<std::uintptr_t>(pixels) % alignof(quint32) != 0 || pixels[3] != 0xFF) {
        return QImage();
    }
    return QImage(pixels, static_cast<int>(width), static_cast<int>(height), width * 4,
                  QImage::Format_RGB32);
}

}  // namespace

QImage loadPicture(const QString& path) {
    const QResource resource(path);
    if (resource.isValid() && resource.compressionAlgorithm() == QResource::NoCompression) {
        QImage view = viewOfBitmap(resource.data(), resource.size());
        if (!view.isNull()) {
            return view;
        }
    }
    return QImage(path);
}

}  // namespace hideaway
