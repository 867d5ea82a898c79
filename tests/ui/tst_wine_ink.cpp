// Under Wine, on the Windows platform the program uses there: every text the two windows show,
// drawn in its widget's font, puts ink on the screen for each of its visible characters, and a
// bold text is drawn bolder than the same text in regular. Started the way the program starts.
#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QTest>

#include <memory>

#include "event_log.h"
#include "form_main.h"
#include "scripted_library.h"
#include "wine_fonts.h"

using namespace hideaway;
using namespace hideaway::test;

namespace {

/// The dark pixels of the text drawn in black on white in the font.
int ink(const QString& text, const QFont& font) {
    const QFontMetrics metrics(font);
    const QSize size(metrics.horizontalAdvance(text) + 8, metrics.height() + 8);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(4, 4 + metrics.ascent()), text);
    painter.end();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            dark += qGray(image.pixel(x, y)) < 160 ? 1 : 0;
        }
    }
    return dark;
}

struct Shown {
    QString where;
    QString text;
    QFont font;
};

QList<Shown> textsOf(QWidget* window) {
    QList<Shown> shown;
    const auto add = [&shown](QWidget* widget, const QString& text) {
        if (widget->isVisible() && !text.trimmed().isEmpty()) {
            shown.append({widget->objectName(), text, widget->font()});
        }
    };
    for (QLabel* label : window->findChildren<QLabel*>()) {
        add(label, label->text());
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        add(button, button->text().remove(QLatin1Char('&')));
    }
    for (QLineEdit* box : window->findChildren<QLineEdit*>()) {
        add(box, box->text());
    }
    for (QGroupBox* box : window->findChildren<QGroupBox*>()) {
        add(box, box->title());
    }
    return shown;
}

}  // namespace

class WineInkTest : public QObject {
    Q_OBJECT

private slots:
    void runsOnTheWindowsPlatform() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("windows"));
        QVERIFY(runningUnderWine());
    }

    void everyCharacterOfBothWindowsPutsInk() {
        EventLog log;
        ScriptedLibrary library{log};
        library.nvm[9] = QByteArray(4321, 'x');
        FormMain form{library};
        form.setMessagePresenter([](const QString&) {});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // After a check the slot boxes hold their full texts ("File PRESENT in Slot1!").
        auto* check = form.findChild<QAbstractButton*>(QStringLiteral("CheckButton"));
        QVERIFY(check != nullptr);
        check->click();
        QTRY_VERIFY(log.entries.contains(QStringLiteral("EndGBPMode()")));
        form.findChild<QAbstractButton*>(QStringLiteral("Command2"))->click();
        QWidget* about = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QLatin1String("frmSplash") && widget->isVisible()) {
                about = widget;
            }
        }
        QVERIFY(about != nullptr);

        QStringList faults;
        int texts = 0;
        for (QWidget* window : {static_cast<QWidget*>(&form), about}) {
            for (const Shown& shown : textsOf(window)) {
                ++texts;
                for (const QChar c : shown.text) {
                    if (!c.isSpace() && ink(QString(c), shown.font) == 0) {
                        faults << QStringLiteral("%1: '%2' of \"%3\" in %4 %5")
                                      .arg(shown.where, QString(c), shown.text,
                                           QFontInfo(shown.font).family())
                                      .arg(shown.font.pointSizeF());
                    }
                }
                if (shown.font.bold()) {
                    QFont regular = shown.font;
                    regular.setBold(false);
                    if (ink(shown.text, shown.font) <= ink(shown.text, regular)) {
                        faults << QStringLiteral("%1: \"%2\" is not drawn bold")
                                      .arg(shown.where, shown.text);
                    }
                }
            }
        }
        QVERIFY(texts > 20);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        about->close();
    }

    // Message boxes and the file dialogs take the system's fonts: a sans-serif face for each.
    void dialogsGetASansSerifFace() {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Hideaway100K"),
                        QStringLiteral("Warning! MIT"));
        auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label != nullptr);
        const QStringList sans{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                               QStringLiteral("Tahoma"), QStringLiteral("Segoe UI"),
                               QStringLiteral("Microsoft Sans Serif")};
        for (QWidget* widget : {static_cast<QWidget*>(&box), static_cast<QWidget*>(label)}) {
            const QString family = QFontInfo(widget->font()).family();
            QVERIFY2(sans.contains(family), qPrintable(family));
            QVERIFY(ink(QStringLiteral("!"), widget->font()) > 0);
        }
    }
};

int main(int argc, char** argv) {
    // The platform the user gets: the test suite's offscreen choice is not the user's.
    qunsetenv("QT_QPA_PLATFORM");
    ApplicationArguments arguments(argc, argv);
    QApplication app(arguments.argc(), arguments.argv());
    useDialogFaceStandIn();
    WineInkTest test;
    return QTest::qExec(&test, arguments.argc(), arguments.argv());
}

#include "tst_wine_ink.moc"
