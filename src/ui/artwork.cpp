#include "artwork.h"

#include <QByteArray>
#include <QResource>
#include <QtEndian>

#include <cstdint>
#include <optional>

namespace hideaway {

namespace {

struct PixelArray {
    qint64 offset;
    int width;
    int height;
};

/// Where the pixels lie in a BMP the artwork generator writes: BITMAPINFOHEADER, 32 bits a
/// pixel, no compression, rows top down (a negative height) without padding. On a little-endian
/// machine that pixel array is a QImage::Format_RGB32 image as it stands; for anything else,
/// nothing.
std::optional<PixelArray> rgb32PixelArray(const uchar* data, qint64 size) {
    constexpr qint64 kHeadersSize = 14 + 40;
    if (Q_BYTE_ORDER != Q_LITTLE_ENDIAN || data == nullptr || size < kHeadersSize ||
        data[0] != 'B' || data[1] != 'M') {
        return std::nullopt;
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
        return std::nullopt;
    }
    const uchar* pixels = data + pixelsAt;
    // QImage reads its pixels as 32-bit words, and an RGB32 pixel's unused byte must be 0xFF.
    if (reinterpret_cast<std::uintptr_t>(pixels) % alignof(quint32) != 0 || pixels[3] != 0xFF) {
        return std::nullopt;
    }
    return PixelArray{pixelsAt, static_cast<int>(width), static_cast<int>(height)};
}

void deleteBytes(void* bytes) {
    delete static_cast<QByteArray*>(bytes);
}

}  // namespace

QImage loadPicture(const QString& path) {
    const QResource resource(path);
    if (resource.isValid() && resource.compressionAlgorithm() == QResource::NoCompression) {
        if (const auto pixels = rgb32PixelArray(resource.data(), resource.size())) {
            return QImage(resource.data() + pixels->offset, pixels->width, pixels->height,
                          qsizetype{pixels->width} * 4, QImage::Format_RGB32);
        }
    } else if (resource.isValid()) {
        // Inflated, the picture lies just as well; the image keeps the inflated bytes.
        auto* bytes = new QByteArray(resource.uncompressedData());
        const auto* data = reinterpret_cast<const uchar*>(bytes->constData());
        if (const auto pixels = rgb32PixelArray(data, bytes->size())) {
            return QImage(data + pixels->offset, pixels->width, pixels->height,
                          qsizetype{pixels->width} * 4, QImage::Format_RGB32, deleteBytes, bytes);
        }
        delete bytes;
    }
    return QImage(path);
}

}  // namespace hideaway
