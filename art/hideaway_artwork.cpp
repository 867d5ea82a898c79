// Draws the pictures of Hideaway100K's windows: the main window's background, the phone face
// behind the LCD status, the about window's logo and the program icon, also as the Windows
// programs' icon. Everything is painted here from shapes, so the repository holds no binary art.
//
// The pictures are stored as BMP files laid out the way a QImage holds its pixels in memory, so
// the program shows them straight from its resources, with nothing to decode and no image plugin
// to load. The window was designed with JPEG pictures: they still go through JPEG once, here, so
// they keep the very pixels the window has always shown.
//
// Usage: hideaway_artwork <output folder>

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtEndian>

#include <array>
#include <cstdio>
#include <vector>

namespace {

// Where the phone face sits in the main window and where its display must lie (pixels). These
// follow the window's layout: J7 at 4440,2880 twips and LCDStatus at 840,1920,1215x375 within it.
constexpr QPoint kFaceOrigin{296, 192};
constexpr int kFaceSize = 193;
// The lit display is a little larger than the label (56,128 81x25) so its text never touches
// the bezel.
constexpr QRect kLcdArea{50, 122, 93, 34};

const QColor kCyan{0x10, 0xDC, 0xF0};
const QColor kViolet{0x8C, 0x3A, 0xD6};

QImage newImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

// The plain cyan-to-violet gradient of the logo and the icon, running from one point to another.
void fillCyanToViolet(QPainter& p, const QRectF& area, QPointF from, QPointF to) {
    QLinearGradient gradient(from, to);
    gradient.setColorAt(0.0, kCyan);
    gradient.setColorAt(1.0, kViolet);
    p.fillRect(area, gradient);
}

// The cyan-to-violet gradient from top to bottom, with two soft glows for depth.
void paintGradient(QPainter& p, const QRectF& area) {
    QLinearGradient vertical(area.topLeft(), area.bottomLeft());
    vertical.setColorAt(0.0, kCyan);
    vertical.setColorAt(0.55, QColor(0x4A, 0x8C, 0xEE));
    vertical.setColorAt(1.0, kViolet);
    p.fillRect(area, vertical);

    const auto glow = [&p](QPointF centre, qreal radius, QColor colour) {
        QRadialGradient g(centre, radius);
        g.setColorAt(0.0, colour);
        colour.setAlpha(0);
        g.setColorAt(1.0, colour);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(centre, radius, radius);
    };
    glow({area.width() * 0.82, area.height() * 0.12}, area.width() * 0.35,
         QColor(255, 255, 255, 70));
    glow({area.width() * 0.1, area.height() * 0.9}, area.width() * 0.4, QColor(255, 120, 255, 60));
}

// A candybar handset in translucent white: stub antenna, earpiece, display and keypad.
void paintHandsetSilhouette(QPainter& p) {
    p.save();
    p.translate(168, 300);
    p.rotate(-7);
    const QRectF body(-88, -270, 176, 620);

    QPainterPath antenna;
    antenna.addRoundedRect(QRectF(body.right() - 52, body.top() - 46, 28, 70), 10, 10);
    p.setPen(QPen(QColor(255, 255, 255, 110), 2));
    p.setBrush(QColor(255, 255, 255, 45));
    p.drawPath(antenna);

    QLinearGradient shine(body.topLeft(), body.topRight());
    shine.setColorAt(0.0, QColor(255, 255, 255, 30));
    shine.setColorAt(0.45, QColor(255, 255, 255, 75));
    shine.setColorAt(1.0, QColor(255, 255, 255, 25));
    p.setBrush(shine);
    p.setPen(QPen(QColor(255, 255, 255, 130), 2.5));
    p.drawRoundedRect(body, 58, 58);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 20, 60, 70));
    p.drawRoundedRect(QRectF(-26, body.top() + 38, 52, 9), 4, 4);

    p.setBrush(QColor(10, 30, 60, 80));
    p.setPen(QPen(QColor(255, 255, 255, 90), 2));
    p.drawRoundedRect(QRectF(-64, body.top() + 78, 128, 150), 12, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 255, 160, 55));
    p.drawRoundedRect(QRectF(-54, body.top() + 92, 108, 96), 6, 6);

    p.setBrush(QColor(255, 255, 255, 70));
    p.drawEllipse(QRectF(-34, body.top() + 246, 68, 44));
    p.setBrush(QColor(255, 255, 255, 55));
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 3; ++col) {
            p.drawRoundedRect(QRectF(-66 + col * 46, body.top() + 310 + row * 44, 40, 32), 12, 12);
        }
    }
    p.restore();
}

QImage drawBackground() {
    QImage image = newImage(550, 540);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    paintGradient(p, image.rect());
    paintHandsetSilhouette(p);
    return image;
}

// The upper part of the phone's front, close up, on the piece of background that lies behind the
// picture box, so the box's edges do not show.
QImage drawPhoneFace(const QImage& background) {
    QImage image = background.copy(QRect(kFaceOrigin, QSize(kFaceSize, kFaceSize)))
                       .convertToFormat(QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF body(22, -40, 149, 270);
    QLinearGradient metal(body.topLeft(), body.topRight());
    metal.setColorAt(0.0, QColor(0x2C, 0x33, 0x40));
    metal.setColorAt(0.3, QColor(0x6E, 0x79, 0x8C));
    metal.setColorAt(0.55, QColor(0x88, 0x93, 0xA6));
    metal.setColorAt(1.0, QColor(0x30, 0x37, 0x44));
    p.setPen(QPen(QColor(0x16, 0x1A, 0x22), 2));
    p.setBrush(metal);
    p.drawRoundedRect(body, 40, 40);

    const QRectF plate = body.adjusted(9, 9, -9, -9);
    QLinearGradient plateShade(plate.topLeft(), plate.bottomLeft());
    plateShade.setColorAt(0.0, QColor(0x5C, 0x66, 0x79));
    plateShade.setColorAt(1.0, QColor(0x3E, 0x46, 0x55));
    p.setPen(QPen(QColor(0x9A, 0xA4, 0xB6), 1));
    p.setBrush(plateShade);
    p.drawRoundedRect(plate, 32, 32);

    // Earpiece slot with its holes.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1A, 0x1E, 0x25));
    p.drawRoundedRect(QRectF(74, 34, 45, 8), 4, 4);
    p.setBrush(QColor(0x55, 0x5E, 0x6C));
    for (int i = 0; i < 6; ++i) {
        p.drawEllipse(QPointF(80 + i * 6.6, 38), 1.4, 1.4);
    }

    // The display: a dark bezel and the greenish lit area under the LCD status text.
    p.setBrush(QColor(0x14, 0x17, 0x1C));
    p.setPen(QPen(QColor(0x0A, 0x0C, 0x10), 1));
    p.drawRoundedRect(QRectF(kLcdArea).adjusted(-8, -16, 8, 12), 9, 9);
    p.setPen(Qt::NoPen);
    QLinearGradient lcd(QPointF(kLcdArea.topLeft()), QPointF(kLcdArea.bottomLeft()));
    lcd.setColorAt(0.0, QColor(0xC4, 0xDC, 0x7E));
    lcd.setColorAt(1.0, QColor(0x9E, 0xBD, 0x55));
    p.fillRect(kLcdArea, lcd);
    p.setPen(QColor(0x70, 0x90, 0x30, 26));
    for (int x = kLcdArea.left() + 2; x < kLcdArea.right(); x += 3) {
        p.drawLine(x, kLcdArea.top(), x, kLcdArea.bottom());
    }
    p.setPen(QColor(0x50, 0x66, 0x20, 120));
    p.drawLine(kLcdArea.topLeft(), kLcdArea.topRight());

    // The top of the keypad: two soft keys and the navigation key, cut by the picture's edge.
    p.setPen(QPen(QColor(0x22, 0x27, 0x30), 1));
    p.setBrush(QColor(0xB8, 0xC2, 0xD0));
    p.drawRoundedRect(QRectF(34, 178, 30, 11), 5, 5);
    p.drawRoundedRect(QRectF(129, 178, 30, 11), 5, 5);
    QRadialGradient nav(QPointF(96.5, 196), 34);
    nav.setColorAt(0.0, QColor(0xE6, 0xEC, 0xF4));
    nav.setColorAt(1.0, QColor(0x8E, 0x99, 0xAA));
    p.setBrush(nav);
    p.drawEllipse(QRectF(66, 174, 61, 44));
    return image;
}

// A golden padlock on a silver shackle, with five dots for the five slots.
void paintPadlock(QPainter& p, const QRectF& box) {
    const qreal w = box.width();
    const QRectF lockBody(box.left() + w * 0.12, box.top() + box.height() * 0.42, w * 0.76,
                          box.height() * 0.56);
    const qreal shackleWidth = w * 0.13;

    p.setBrush(Qt::NoBrush);
    QPen shackle(QColor(0xE4, 0xEA, 0xF3), shackleWidth, Qt::SolidLine, Qt::FlatCap);
    const QRectF arc(box.left() + w * 0.25, box.top() + shackleWidth / 2, w * 0.5, w * 0.5);
    QPainterPath path;
    path.moveTo(arc.left(), lockBody.top() + 2);
    path.lineTo(arc.left(), arc.center().y());
    path.arcTo(arc, 180, -180);
    path.lineTo(arc.right(), lockBody.top() + 2);
    p.setPen(QPen(QColor(0x5A, 0x62, 0x70), shackleWidth + w * 0.03, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(path);
    p.setPen(shackle);
    p.drawPath(path);

    QLinearGradient gold(lockBody.topLeft(), lockBody.bottomRight());
    gold.setColorAt(0.0, QColor(0xFF, 0xE0, 0x6A));
    gold.setColorAt(0.5, QColor(0xF5, 0xB8, 0x2A));
    gold.setColorAt(1.0, QColor(0xC8, 0x80, 0x10));
    p.setPen(QPen(QColor(0x7A, 0x4C, 0x00), w * 0.025));
    p.setBrush(gold);
    p.drawRoundedRect(lockBody, w * 0.09, w * 0.09);

    const QPointF hole(lockBody.center().x(), lockBody.top() + lockBody.height() * 0.36);
    const qreal r = w * 0.075;
    QPainterPath keyhole;
    keyhole.addEllipse(hole, r, r);
    QPolygonF stem;
    stem << QPointF(hole.x() - r * 0.5, hole.y()) << QPointF(hole.x() + r * 0.5, hole.y())
         << QPointF(hole.x() + r * 0.8, hole.y() + r * 2.6)
         << QPointF(hole.x() - r * 0.8, hole.y() + r * 2.6);
    keyhole.addPolygon(stem);
    keyhole.setFillRule(Qt::WindingFill);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3A, 0x26, 0x08));
    p.drawPath(keyhole.simplified());

    if (w >= 64) {
        p.setBrush(QColor(0x6A, 0x40, 0x05));
        const qreal y = lockBody.bottom() - lockBody.height() * 0.14;
        for (int i = 0; i < 5; ++i) {
            p.drawEllipse(QPointF(lockBody.center().x() + (i - 2) * w * 0.1, y), w * 0.022,
                          w * 0.022);
        }
    }
}

QImage drawLogo() {
    QImage image = newImage(640, 480);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    fillCyanToViolet(p, image.rect(), QPointF(0, 0), QPointF(640, 480));

    QRadialGradient halo(QPointF(320, 250), 240);
    halo.setColorAt(0.0, QColor(255, 255, 255, 150));
    halo.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(QPointF(320, 250), 240, 240);

    // A phone outline behind the lock: the files hide inside it.
    p.setPen(QPen(QColor(255, 255, 255, 170), 10));
    p.setBrush(QColor(20, 30, 80, 60));
    p.drawRoundedRect(QRectF(352, 50, 170, 380), 44, 44);
    p.drawRoundedRect(QRectF(382, 110, 110, 110), 10, 10);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 3; ++col) {
            p.drawRoundedRect(QRectF(392 + col * 34, 250 + row * 38, 26, 24), 8, 8);
        }
    }

    paintPadlock(p, QRectF(110, 60, 300, 380));
    return image;
}

// Appends numbers in the little-endian order that BMP and ICO headers hold them in.
struct LittleEndianOut {
    QByteArray& bytes;
    void u16(quint16 v) {
        const quint16 le = qToLittleEndian(v);
        bytes.append(reinterpret_cast<const char*>(&le), 2);
    }
    void u32(quint32 v) {
        const quint32 le = qToLittleEndian(v);
        bytes.append(reinterpret_cast<const char*>(&le), 4);
    }
};

// Writes a BMP of 32 bits a pixel whose rows run top down, so its pixel array is exactly a
// QImage::Format_RGB32 image on a little-endian machine: blue, green, red, then 0xFF.
bool writeBitmap(const QImage& source, const QString& path) {
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    constexpr quint32 kHeadersSize = 14 + 40;
    constexpr quint32 kPixelsAt = 56;  // past the headers, on a 4-byte boundary
    const auto width = static_cast<quint32>(image.width());
    const auto height = static_cast<quint32>(image.height());
    const quint32 pixelBytes = width * height * 4;

    QByteArray out;
    LittleEndianOut le{out};
    out.append("BM");
    le.u32(kPixelsAt + pixelBytes);
    le.u32(0);
    le.u32(kPixelsAt);

    le.u32(40);
    le.u32(width);
    le.u32(static_cast<quint32>(-static_cast<qint32>(height)));  // negative: top-down rows
    le.u16(1);
    le.u16(32);
    le.u32(0);  // BI_RGB: no compression, the fourth byte of each pixel unused
    le.u32(pixelBytes);
    le.u32(3780);  // 96 dpi
    le.u32(3780);
    le.u32(0);
    le.u32(0);
    out.append(QByteArray(kPixelsAt - kHeadersSize, '\0'));
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            le.u32(line[x] | 0xFF000000u);
        }
    }

    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

// The picture as the window showed it when it was stored as JPEG: encoded and decoded once.
QImage throughJpeg(const QImage& image) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "JPG", 92)) {
        return QImage();
    }
    QImage decoded;
    decoded.loadFromData(jpeg, "JPG");
    return decoded;
}

bool writeJpegLook(const QImage& image, const QString& path) {
    const QImage decoded = throughJpeg(image);
    return !decoded.isNull() && writeBitmap(decoded, path);
}

// The padlock on the gradient for a desktop's menus, drawn on a 128-pixel grid and scaled as a
// whole, so every size is painted afresh instead of resampled.
QImage drawDesktopIcon(int side = 128) {
    QImage large = newImage(side, side);
    QPainter p(&large);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 128.0, side / 128.0);
    fillCyanToViolet(p, QRectF(0, 0, 128, 128), QPointF(0, 0), QPointF(0, 128));
    paintPadlock(p, QRectF(18, 8, 92, 116));
    p.end();
    return large;
}

QImage drawIcon() {
    return drawDesktopIcon().scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The Windows icon: 16 to 48 pixels as 32-bit bitmaps with their alpha, which every version of
// Windows and Wine reads, and 256 as PNG, as Windows Vista and later take their large sizes.
bool writeWindowsIcon(const QString& path) {
    const std::array<int, 5> sides = {16, 24, 32, 48, 256};
    std::vector<QByteArray> images;
    for (int side : sides) {
        const QImage image = drawDesktopIcon(side).convertToFormat(QImage::Format_ARGB32);
        QByteArray data;
        if (side == 256) {
            QBuffer buffer(&data);
            if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
                return false;
            }
        } else {
            LittleEndianOut le{data};
            const auto maskRow = static_cast<quint32>(((side + 31) / 32) * 4);
            le.u32(40);
            le.u32(static_cast<quint32>(side));
            le.u32(static_cast<quint32>(side * 2));  // the colours and the mask below them
            le.u16(1);
            le.u16(32);
            le.u32(0);
            le.u32(static_cast<quint32>(side * side * 4) + maskRow * static_cast<quint32>(side));
            le.u32(0);
            le.u32(0);
            le.u32(0);
            le.u32(0);
            for (int y = side - 1; y >= 0; --y) {  // bottom-up rows
                const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
                for (int x = 0; x < side; ++x) {
                    le.u32(line[x] | 0xFF000000u);
                }
            }
            // The whole square is opaque: an all-clear mask.
            data.append(QByteArray(static_cast<qsizetype>(maskRow) * side, '\0'));
        }
        images.push_back(data);
    }

    QByteArray out;
    LittleEndianOut le{out};
    le.u16(0);
    le.u16(1);  // an icon, not a cursor
    le.u16(static_cast<quint16>(sides.size()));
    auto offset = static_cast<quint32>(6 + 16 * sides.size());
    for (std::size_t i = 0; i < sides.size(); ++i) {
        out.append(char(sides[i] == 256 ? 0 : sides[i]));  // 0 stands for 256
        out.append(char(sides[i] == 256 ? 0 : sides[i]));
        out.append(char(0));
        out.append(char(0));
        le.u16(1);
        le.u16(32);
        le.u32(static_cast<quint32>(images[i].size()));
        le.u32(offset);
        offset += static_cast<quint32>(images[i].size());
    }
    for (const QByteArray& image : images) {
        out.append(image);
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: hideaway_artwork <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "hideaway_artwork: cannot create %s\n", argv[1]);
        return 1;
    }

    const QImage background = drawBackground();
    const auto desktopIcon = [&out](int side) {
        return drawDesktopIcon(side).save(
            out.filePath(QStringLiteral("hideaway100k-%1.png").arg(side)), "PNG");
    };
    const std::array<bool, 9> written = {
        writeJpegLook(background, out.filePath(QStringLiteral("background.bmp"))),
        writeJpegLook(drawPhoneFace(background), out.filePath(QStringLiteral("phone_face.bmp"))),
        writeJpegLook(drawLogo(), out.filePath(QStringLiteral("logo.bmp"))),
        writeBitmap(drawIcon(), out.filePath(QStringLiteral("icon.bmp"))),
        desktopIcon(48),
        desktopIcon(64),
        desktopIcon(128),
        desktopIcon(256),
        writeWindowsIcon(out.filePath(QStringLiteral("hideaway100k.ico"))),
    };
    for (bool ok : written) {
        if (!ok) {
            std::fprintf(stderr, "hideaway_artwork: cannot write the pictures into %s\n", argv[1]);
            return 1;
        }
    }
    return 0;
}
