#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QResource>
#include <QtTest>

#include "artwork.h"
#include "event_log.h"
#include "form_main.h"
#include "scripted_library.h"

using namespace hideaway;
using namespace hideaway::test;

namespace {

QColor averageOfRow(const QImage& image, int y) {
    qint64 r = 0;
    qint64 g = 0;
    qint64 b = 0;
    for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        r += c.red();
        g += c.green();
        b += c.blue();
    }
    const qint64 n = image.width();
    return QColor(int(r / n), int(g / n), int(b / n));
}

bool greenish(const QColor& c) {
    return c.green() > c.red() && c.green() > c.blue() + 40 && c.lightness() > 110;
}

int channelDistance(const QColor& a, const QColor& b) {
    return std::max(
        {qAbs(a.red() - b.red()), qAbs(a.green() - b.green()), qAbs(a.blue() - b.blue())});
}

}  // namespace

class TestArtwork : public QObject {
    Q_OBJECT

private slots:
    void pictures_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>(
            "inPlace");  // shown from the program's own copy: a picture of the start
        QTest::newRow("background")
            << kBackgroundPicture << QByteArray("bmp") << QSize(550, 540) << true;
        QTest::newRow("phone face")
            << kPhoneFacePicture << QByteArray("bmp") << QSize(193, 193) << true;
        QTest::newRow("logo") << kLogoPicture << QByteArray("bmp") << QSize(640, 480) << false;
        QTest::newRow("icon") << kIconPicture << QByteArray("bmp") << QSize(32, 32) << true;
    }
    void pictures() {
        QFETCH(QString, path);
        QFETCH(QByteArray, format);
        QFETCH(QSize, size);
        QFETCH(bool, inPlace);
        QImageReader reader(path);
        QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
        QCOMPARE(reader.format(), format);
        const QImage image = reader.read();
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), size);

        // The window takes the pixels as they lie, undecoded; they must be the ones any BMP reader
        // sees.
        const QImage shown = loadPicture(path);
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 image.convertToFormat(QImage::Format_RGB32));
        // 24 bits of colour and no transparency.
        QCOMPARE(shown.format(), QImage::Format_RGB32);
        QVERIFY(!shown.hasAlphaChannel());
        if (!inPlace) {
            return;
        }
        const QResource resource(path);
        QVERIFY(resource.isValid());
        const uchar* stored = resource.data();
        QVERIFY2(shown.constBits() >= stored && shown.constBits() < stored + resource.size(),
                 "the picture was decoded, not shown from the program's own copy");
    }

    void backgroundRunsFromCyanToViolet() {
        const QImage background = loadPicture(kBackgroundPicture);
        QVERIFY(!background.isNull());
        const QColor top = averageOfRow(background, 0);
        const QColor bottom = averageOfRow(background, background.height() - 1);
        QVERIFY2(top.hue() >= 170 && top.hue() <= 200, qPrintable(top.name()));
        QVERIFY2(bottom.hue() >= 255 && bottom.hue() <= 290, qPrintable(bottom.name()));
    }

    void phoneFaceFitsTheWindow() {
        EventLog log;
        ScriptedLibrary library(log);
        FormMain form(library);
        auto* phone = form.findChild<QWidget*>(QStringLiteral("J7"));
        auto* lcd = form.findChild<QLabel*>(QStringLiteral("LCDStatus"));
        QVERIFY(phone != nullptr && lcd != nullptr);
        const QImage face = loadPicture(kPhoneFacePicture);
        QCOMPARE(face.size(), phone->size());

        // Every pixel under the label is the lit display, so its word reads as shown on the phone.
        const QRect under = lcd->geometry();
        for (int y = under.top(); y <= under.bottom(); ++y) {
            for (int x = under.left(); x <= under.right(); ++x) {
                QVERIFY2(greenish(face.pixelColor(x, y)),
                         qPrintable(QStringLiteral("%1,%2 %3")
                                        .arg(x)
                                        .arg(y)
                                        .arg(face.pixelColor(x, y).name())));
            }
        }
        // And the display ends close around it, framed by a dark bezel.
        const int middle = under.center().y();
        QVERIFY(!greenish(face.pixelColor(under.left() - 10, middle)));
        QVERIFY(!greenish(face.pixelColor(under.right() + 10, middle)));
        QVERIFY(face.pixelColor(under.left() - 10, middle).lightness() < 60);

        // The box's outer columns show the window's own background, so its edges do not show.
        const QImage background = loadPicture(kBackgroundPicture);
        const QPoint origin = phone->pos();
        int worst = 0;
        for (int y = 0; y < face.height(); ++y) {
            for (int x : {0, 4, face.width() - 5, face.width() - 1}) {
                worst =
                    std::max(worst, channelDistance(face.pixelColor(x, y),
                                                    background.pixelColor(origin + QPoint(x, y))));
            }
        }
        QVERIFY2(worst <= 16, qPrintable(QString::number(worst)));
    }
};

QTEST_MAIN(TestArtwork)
#include "tst_artwork.moc"
