#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <memory>

#include "form_bench.h"
#include "offscreen_notices.h"
#include "widget_checks.h"

using namespace hideaway;
using namespace hideaway::test;

namespace {

/// The about windows on the screen.
QList<QWidget*> aboutWindows() {
    QList<QWidget*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("frmSplash") && widget->isVisible()) {
            found << widget;
        }
    }
    return found;
}

/// Presses Info and returns the one about window, once it is on the screen.
QWidget* openAbout(Bench& bench) {
    const QList<QWidget*> shown =
        bench.click(QStringLiteral("Command2")) ? aboutWindows() : QList<QWidget*>();
    return shown.size() == 1 && QTest::qWaitForWindowExposed(shown.first()) ? shown.first()
                                                                            : nullptr;
}

/// Lets a window that was closed with delete-on-close go away.
void disposeClosed() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QRect fromTwips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

}  // namespace

class TestFrmSplash : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void infoGivesOneWindowAtATime();
    void windowIsCaptionlessUnownedAndCentredWithItsLogo();
    void fixedTexts();
    void layout_data();
    void layout();
    void keys_data();
    void keys();
    void clicks_data();
    void clicks();
    void mainWindowWorksWhileOpenAndTakesItAlong();
    void closingMainWindowAloneEndsTheProgram();
    void closingMainWindowKeepsProgramUntilAboutIsDismissed();
};

void TestFrmSplash::initTestCase() {
    quietOffscreenNotices();
    // Only the two tests that run the event loop let the last window end it.
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestFrmSplash::infoGivesOneWindowAtATime() {
    Bench b;
    QVERIFY(b.show());
    QWidget* first = openAbout(b);
    QVERIFY(first != nullptr);
    QCOMPARE(openAbout(b), first);
    QCOMPARE(aboutWindows().size(), 1);

    // Once dismissed, Info builds it afresh.
    QPointer<QWidget> dismissed = first;
    QTest::keyClick(first->windowHandle(), Qt::Key_Escape);
    disposeClosed();
    QVERIFY(dismissed.isNull());
    QWidget* again = openAbout(b);
    QVERIFY(again != nullptr);
    QCOMPARE(again->findChild<QLabel*>(QStringLiteral("lblProductName"))->text(),
             QStringLiteral("Hideaway 100K"));
}

void TestFrmSplash::windowIsCaptionlessUnownedAndCentredWithItsLogo() {
    Bench b;
    QVERIFY(b.show());
    QWidget* about = openAbout(b);
    QVERIFY(about != nullptr);

    QCOMPARE(about->parentWidget(), nullptr);
    QVERIFY(about->windowHandle()->transientParent() == nullptr);
    QCOMPARE(about->windowType(), Qt::Tool);  // kept out of the taskbar
    QVERIFY(about->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(about->windowTitle().isEmpty());
    QVERIFY(about->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(about->testAttribute(Qt::WA_QuitOnClose));

    auto* frame = about->findChild<QFrame*>(QStringLiteral("Frame1"));
    QVERIFY(frame != nullptr);
    QCOMPARE(frame->parentWidget()->size(), QSize(492, 283));  // the client area
    QCOMPARE(frame->geometry(), fromTwips(150, 60, 7080, 4050));
    QCOMPARE(about->minimumSize(), about->maximumSize());
    auto* logo = about->findChild<QLabel*>(QStringLiteral("imgLogo"));
    QVERIFY(logo != nullptr);
    QCOMPARE(logo->geometry(), fromTwips(360, 795, 2295, 1785));  // the picture stretched into it
    QVERIFY(logo->hasScaledContents());
    QCOMPARE(logo->pixmap().size(), QSize(640, 480));

    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY2((about->frameGeometry().center() - centre).manhattanLength() <= 1,
             qPrintable(QStringLiteral("%1,%2").arg(about->x()).arg(about->y())));
}

void TestFrmSplash::fixedTexts() {
    Bench b;
    QWidget* about = openAbout(b);
    QVERIFY(about != nullptr);
    const auto text = [about](const char* name) {
        auto* label = about->findChild<QLabel*>(QLatin1String(name));
        return label != nullptr ? label->text() : QStringLiteral("<missing>");
    };
    QCOMPARE(text("lblProductName"), QStringLiteral("Hideaway 100K"));
    QCOMPARE(text("lblPlatform"), QStringLiteral("For Sony CMD-J5/6/7/70"));
    QCOMPARE(text("lblVersion"), QStringLiteral("Version 1.1"));
    QCOMPARE(text("lblWarning"),
             QStringLiteral(" Warning! Use at your own risk! The Author is not responsible for "
                            "Hideaway100K use or abuse."));
    for (const char* credit : {"Label1", "Label2", "Label3", "Label4", "Label5"}) {
        QVERIFY2(!text(credit).trimmed().isEmpty() && text(credit) != QLatin1String("<missing>"),
                 credit);
    }
    int shown = 0;  // every text whole; the picture has none
    for (QLabel* label : about->findChildren<QLabel*>()) {
        shown += label->text().isEmpty() ? 0 : 1;
        QVERIFY2(label->text().isEmpty() || showsWholeText(label), qPrintable(label->objectName()));
    }
    QCOMPARE(shown, 9);
}

void TestFrmSplash::layout_data() {
    QTest::addColumn<QRect>("designBox");
    QTest::addColumn<bool>("sizedToText");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QString>("family");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("colour");  // invalid: the default text colour

    const int centred = Qt::AlignHCenter;
    const int right = Qt::AlignRight;
    const int left = Qt::AlignLeft;
    QTest::newRow("Label1") << fromTwips(120, 240, 6855, 255) << false << centred
                            << QStringLiteral("Arial") << 8.25 << false << QColor();
    QTest::newRow("Label2") << fromTwips(3675, 705, 1875, 435) << true << centred
                            << QStringLiteral("Impact") << 18.0 << false << QColor();
    QTest::newRow("lblProductName")
        << fromTwips(2850, 1140, 3615, 435) << true << centred << QStringLiteral("Impact") << 18.0
        << false << QColor(0xFF, 0x00, 0x00);
    QTest::newRow("lblPlatform") << fromTwips(3240, 2340, 3615, 360) << true << right
                                 << QStringLiteral("Arial") << 15.75 << true << QColor();
    QTest::newRow("lblVersion") << fromTwips(5580, 2700, 1275, 285) << true << right
                                << QStringLiteral("Arial") << 12.0 << true << QColor();
    QTest::newRow("Label3") << fromTwips(120, 2760, 3375, 495) << false << left
                            << QStringLiteral("MS Sans Serif") << 8.25 << false << QColor();
    QTest::newRow("Label4") << fromTwips(4560, 3060, 2415, 255) << false << left
                            << QStringLiteral("Arial") << 8.25 << false << QColor();
    QTest::newRow("Label5") << fromTwips(4560, 3270, 2415, 255) << false << left
                            << QStringLiteral("Arial") << 8.25 << false << QColor();
    QTest::newRow("lblWarning") << fromTwips(120, 3660, 6375, 195) << false << left
                                << QStringLiteral("Arial") << 8.25 << false << QColor();
}

void TestFrmSplash::layout() {
    QFETCH(QRect, designBox);
    QFETCH(bool, sizedToText);
    QFETCH(int, alignment);
    QFETCH(QString, family);
    QFETCH(qreal, points);
    QFETCH(bool, bold);
    QFETCH(QColor, colour);
    Bench b;
    QWidget* about = openAbout(b);
    QVERIFY(about != nullptr);
    auto* label = about->findChild<QLabel*>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(label != nullptr);
    QCOMPARE(label->parentWidget()->objectName(), QStringLiteral("Frame1"));
    QVERIFY2(asksForInstalledFace(label->font(), family), qPrintable(label->font().family()));
    QCOMPARE(label->font().pointSizeF(), points);
    if (family != QLatin1String("Impact")) {
        QCOMPARE(label->font().bold(), bold);
    }
    QCOMPARE(int(label->alignment() & Qt::AlignHorizontal_Mask), alignment);

    if (colour.isValid()) {
        QVERIFY(paintsColour(label, colour));
    }

    const QRect box = label->geometry();
    if (!sizedToText) {
        QCOMPARE(box.topLeft(), designBox.topLeft());
        QCOMPARE(box.height(), designBox.height());
        // Wider than the design only where the stand-in face needs it for one line, and never
        // past the frame.
        QVERIFY(box.width() >= designBox.width());
        if (box.width() > designBox.width()) {
            QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) > designBox.width());
            QVERIFY(label->parentWidget()->contentsRect().contains(box));
        }
        return;
    }
    // Sized to its text, whatever face stands in for the design's, and anchored where the
    // design box puts the edge (or centre) its alignment names.
    QCOMPARE(box.top(), designBox.top());
    QVERIFY(box.width() >= label->fontMetrics().horizontalAdvance(label->text()));
    QVERIFY(box.height() >= label->fontMetrics().height());
    if (alignment == Qt::AlignRight) {
        QCOMPARE(box.x() + box.width(), designBox.x() + designBox.width());
    } else {
        QVERIFY(qAbs(box.center().x() - designBox.center().x()) <= 1);
    }
}

void TestFrmSplash::keys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");  // what the desktop's key event carries, as X11 sends it
    QTest::addColumn<bool>("closes");

    const int none = Qt::NoModifier;
    const QString noText;
    QTest::newRow("Esc") << int(Qt::Key_Escape) << none << QStringLiteral("\x1b") << true;
    QTest::newRow("Enter") << int(Qt::Key_Return) << none << QStringLiteral("\r") << true;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier)
                                  << QStringLiteral("\r") << true;
    QTest::newRow("letter") << int(Qt::Key_Q) << none << QStringLiteral("q") << true;
    QTest::newRow("digit") << int(Qt::Key_7) << none << QStringLiteral("7") << true;
    QTest::newRow("Space") << int(Qt::Key_Space) << none << QStringLiteral(" ") << true;
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << none << QStringLiteral("\b") << true;
    QTest::newRow("Ctrl+C") << int(Qt::Key_C) << int(Qt::ControlModifier) << QStringLiteral("\x03")
                            << true;
    QTest::newRow("keypad Delete with Num Lock on")
        << int(Qt::Key_Period) << int(Qt::KeypadModifier) << QStringLiteral(".") << true;
    QTest::newRow("arrow") << int(Qt::Key_Left) << none << noText << false;
    QTest::newRow("F1") << int(Qt::Key_F1) << none << noText << false;
    QTest::newRow("Shift alone") << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << noText << false;
    QTest::newRow("Ctrl alone") << int(Qt::Key_Control) << int(Qt::ControlModifier) << noText
                                << false;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << none << QStringLiteral("\x7f") << false;
    QTest::newRow("keypad Delete")
        << int(Qt::Key_Delete) << int(Qt::KeypadModifier) << QStringLiteral("\x7f") << false;
    QTest::newRow("Alt+letter") << int(Qt::Key_F) << int(Qt::AltModifier) << QStringLiteral("f")
                                << false;
}

void TestFrmSplash::keys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(bool, closes);
    Bench b;
    QVERIFY(b.show());
    QPointer<QWidget> about = openAbout(b);
    QVERIFY(about != nullptr);

    // Through the window, as the desktop delivers keys: the window takes them before any label.
    QTest::sendKeyEvent(QTest::Click, about->windowHandle(), Qt::Key(key), text,
                        Qt::KeyboardModifiers(modifiers));
    disposeClosed();
    QCOMPARE(about.isNull() || !about->isVisible(), closes);
    QCOMPARE(about.isNull(), closes);
    QVERIFY(b.log.entries.isEmpty());
}

void TestFrmSplash::clicks_data() {
    QTest::addColumn<QString>("target");        // a control of the window, or a place on it
    QTest::addColumn<QString>("releasedOver");  // where the button comes up; empty: still down
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("closes");

    const Qt::MouseButton left = Qt::LeftButton;
    const QString frame = QStringLiteral("Frame1");
    QTest::newRow("frame surface") << frame << frame << left << true;
    QTest::newRow("frame surface, button still down") << frame << QString() << left << false;
    QTest::newRow("frame surface, released over a label")
        << frame << QStringLiteral("lblProductName") << left << false;
    QTest::newRow("label, released over the frame surface")
        << QStringLiteral("lblProductName") << frame << left << false;
    QTest::newRow("frame surface, right button") << frame << frame << Qt::RightButton << false;
    QTest::newRow("frame surface, middle button") << frame << frame << Qt::MiddleButton << false;
    QTest::newRow("credit label") << QStringLiteral("Label1") << QStringLiteral("Label1") << left
                                  << false;
    QTest::newRow("product name") << QStringLiteral("lblProductName")
                                  << QStringLiteral("lblProductName") << left << false;
    QTest::newRow("warning") << QStringLiteral("lblWarning") << QStringLiteral("lblWarning") << left
                             << false;
    QTest::newRow("picture") << QStringLiteral("imgLogo") << QStringLiteral("imgLogo") << left
                             << false;
    QTest::newRow("margin around the frame")
        << QStringLiteral("margin") << QStringLiteral("margin") << left << false;
}

void TestFrmSplash::clicks() {
    QFETCH(QString, target);
    QFETCH(QString, releasedOver);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, closes);
    Bench b;
    QVERIFY(b.show());
    QPointer<QWidget> about = openAbout(b);
    QVERIFY(about != nullptr);
    auto* frame = about->findChild<QFrame*>(QStringLiteral("Frame1"));
    QVERIFY(frame != nullptr);

    // A point of the window on the named control or place.
    const auto pointOn = [&](const QString& place) {
        if (place == QLatin1String("Frame1")) {
            const QPoint empty(440, 120);  // right of the product name, above the platform line
            return frame->childAt(empty) == nullptr ? frame->mapTo(about, empty) : QPoint(-1, -1);
        }
        if (place == QLatin1String("margin")) {
            const QPoint outside(4, 150);
            return frame->geometry().contains(outside)
                       ? QPoint(-1, -1)
                       : frame->parentWidget()->mapTo(about, outside);
        }
        auto* control = about->findChild<QWidget*>(place);
        return control != nullptr ? control->mapTo(about, control->rect().center())
                                  : QPoint(-1, -1);
    };
    const QPoint pressAt = pointOn(target);
    QVERIFY(about->rect().contains(pressAt));
    QTest::mousePress(about->windowHandle(), button, Qt::NoModifier, pressAt);
    disposeClosed();
    if (!releasedOver.isEmpty() && !about.isNull()) {
        const QPoint releaseAt = pointOn(releasedOver);
        QVERIFY(about->rect().contains(releaseAt));
        if (releaseAt != pressAt) {
            QTest::mouseMove(about->windowHandle(), releaseAt);
        }
        QTest::mouseRelease(about->windowHandle(), button, Qt::NoModifier, releaseAt);
        disposeClosed();
    }
    QCOMPARE(about.isNull() || !about->isVisible(), closes);
    QCOMPARE(about.isNull(), closes);
}

void TestFrmSplash::mainWindowWorksWhileOpenAndTakesItAlong() {
    auto b = std::make_unique<Bench>();
    QVERIFY(b->show());
    QPointer<QWidget> about = openAbout(*b);
    QVERIFY(about != nullptr);

    QVERIFY(b->click(QStringLiteral("Com3")));
    QVERIFY(b->click(QStringLiteral("CheckButton")));
    QVERIFY(!b->library.calls().isEmpty());
    QCOMPARE(b->library.calls().first(), QStringLiteral("InitGBPMode(3)"));
    QVERIFY(b->library.calls().contains(QStringLiteral("EndGBPMode()")));
    QVERIFY(!about.isNull());
    QVERIFY(about->isVisible());
    b.reset();  // the main window's end
    QVERIFY(about.isNull());
}

void TestFrmSplash::closingMainWindowAloneEndsTheProgram() {
    QApplication::setQuitOnLastWindowClosed(true);
    Bench b;
    QVERIFY(b.show());
    QTimer::singleShot(0, &b.form, [&b] { b.form.close(); });
    // Only a guard against a hang: the event loop is expected to end long before.
    QTimer::singleShot(20000, qApp, [] { QCoreApplication::exit(2); });
    const int result = QCoreApplication::exec();
    QApplication::setQuitOnLastWindowClosed(false);
    QCOMPARE(result, 0);
    QVERIFY(b.log.entries.isEmpty());
}

void TestFrmSplash::closingMainWindowKeepsProgramUntilAboutIsDismissed() {
    QApplication::setQuitOnLastWindowClosed(true);
    Bench b;
    QVERIFY(b.show());
    QPointer<QWidget> about = openAbout(b);
    QVERIFY(about != nullptr);

    QStringList events;
    QObject context;
    connect(qApp, &QGuiApplication::lastWindowClosed, &context,
            [&events] { events << QStringLiteral("last window closed"); });
    QTimer::singleShot(0, &context, [&] {
        b.form.close();
        events << QStringLiteral("main closed");
        // A later turn of the event loop: had the program ended, this would never run.
        QTimer::singleShot(0, &context, [&] {
            events << (about != nullptr && about->isVisible() ? QStringLiteral("about open")
                                                              : QStringLiteral("about gone"));
            if (about != nullptr) {
                QTest::keyClick(about->windowHandle(), Qt::Key_Escape);
            }
            events << QStringLiteral("about dismissed");
        });
    });
    QTimer::singleShot(20000, &context, [] { QCoreApplication::exit(2); });
    const int result = QCoreApplication::exec();
    QApplication::setQuitOnLastWindowClosed(false);

    QCOMPARE(result, 0);
    QCOMPARE(events, QStringList({QStringLiteral("main closed"), QStringLiteral("about open"),
                                  QStringLiteral("last window closed"),
                                  QStringLiteral("about dismissed")}));
    QVERIFY(b.log.entries.isEmpty());
}

QTEST_MAIN(TestFrmSplash)
#include "tst_frm_splash.moc"
