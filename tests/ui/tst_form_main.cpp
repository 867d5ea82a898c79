#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

#include <map>
#include <set>
#include <stdexcept>

#include "app_error.h"
#include "captions.h"
#include "com_dlg.h"
#include "form_bench.h"
#include "test_files.h"
#include "widget_checks.h"

using namespace hideaway;
using namespace hideaway::test;

namespace {

const QStringList kSlotLabels = {QStringLiteral("Label1"), QStringLiteral("Label2"),
                                 QStringLiteral("Label5"), QStringLiteral("Label6"),
                                 QStringLiteral("Label7")};

/// Shows the window and presses the row button name of slot.
bool pressInRow(Bench& b, const char* name, int slot) {
    return b.show() && b.click(numbered(name, slot));
}

/// The rows of the slots other than slot still show their start: no file, an empty bar.
void verifyOtherRowsUntouched(Bench& b, int slot) {
    for (int other = 1; other <= 5; ++other) {
        if (other != slot) {
            QCOMPARE(b.text(numbered("TextSlot", other)), QString());
            QCOMPARE(b.barValue(other), 0);
        }
    }
}

/// Records, for each watched widget, the text it showed at each of its paint events.
class PaintProbe : public QObject {
public:
    std::map<QString, QStringList> painted;

    void watch(QWidget* widget) { widget->installEventFilter(this); }

    QString last(const QString& name) const {
        const auto it = painted.find(name);
        return it == painted.end() || it->second.isEmpty() ? QStringLiteral("<never painted>")
                                                           : it->second.last();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted[watched->objectName()] << shownText(watched);
        }
        return false;
    }

private:
    static QString shownText(QObject* object) {
        if (auto* edit = qobject_cast<QLineEdit*>(object)) {
            return edit->text();
        }
        if (auto* label = qobject_cast<QLabel*>(object)) {
            return label->text();
        }
        if (auto* bar = qobject_cast<QProgressBar*>(object)) {
            return QString::number(bar->value());
        }
        return {};
    }
};

QString accessibleName(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face != nullptr ? face->text(QAccessible::Name) : QString();
}

QString untrapped(int number, const QString& description) {
    return QStringLiteral("Run-time error '%1':\n\n%2").arg(number).arg(description);
}

}  // namespace

class TestFormMain : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void startRow_data();
    void startRow();
    void startWindow();
    void geometry_data();
    void geometry();
    void fonts_data();
    void fonts();
    void colours_data();
    void colours();
    void everyStartTextIsShownWhole();
    void tabOrder_data();
    void tabOrder();
    void comSelection_data();
    void comSelection();

    void clearButtons_data();
    void clearButtons();
    void uploadButtons_data();
    void uploadButtons();
    void downloadButtons_data();
    void downloadButtons();
    void checkButtonFillsEveryRow();
    void checkThatCannotMeasureSaysSo_data();
    void checkThatCannotMeasureSaysSo();
    void uploadAndDownloadShareTheDialog();
    void buttonsStayEnabledWhileAnOperationRuns();

    void untrappedErrorIsReported_data();
    void untrappedErrorIsReported();
    void leavingWithoutAnOperation_data();
    void leavingWithoutAnOperation();

    void statusWritesArePaintedBeforeTheLibraryBlocks();
    void everyWriteIsPaintedAtOnce_data();
    void everyWriteIsPaintedAtOnce();
    void progressIsRoundedOntoTheScale_data();
    void progressIsRoundedOntoTheScale();

    void accessibleWindowNames();
};

void TestFormMain::initTestCase() {
    // Windows close here between tests; the test runner must not be asked to quit.
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestFormMain::startRow_data() {
    QTest::addColumn<int>("slot");
    for (int n = 1; n <= 5; ++n) {
        QTest::addRow("slot %d", n) << n;
    }
}

void TestFormMain::startRow() {
    QFETCH(int, slot);
    Bench b;
    QCOMPARE(b.text(numbered("TextSlot", slot)), QString());
    QCOMPARE(b.text(numbered("Slot", slot) + QStringLiteral("Bytes")), QStringLiteral("0"));
    QCOMPARE(b.text(kSlotLabels.at(slot - 1)), QStringLiteral("SLOT #%1").arg(slot));

    auto* bar = b.find<QProgressBar>(numbered("ProgressBar", slot));
    QVERIFY(bar != nullptr);
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 21000);
    QCOMPARE(bar->value(), 0);

    const std::pair<const char*, const char*> buttons[] = {
        {"ButtonDown", "DOWNLOAD"}, {"ButtonUp", "UPLOAD"}, {"ButtonClear", "CLEAR"}};
    for (const auto& [name, caption] : buttons) {
        auto* button = b.find<QPushButton>(numbered(name, slot));
        QVERIFY2(button != nullptr, name);
        QCOMPARE(button->text(), QLatin1String(caption));
        // The rows' buttons read alike; their spoken names tell the rows apart.
        QVERIFY2(accessibleName(button).contains(QString::number(slot)), name);
    }
    QCOMPARE(accessibleName(b.find(numbered("TextSlot", slot))),
             QStringLiteral("Slot %1 file").arg(slot));
    QCOMPARE(accessibleName(b.find(numbered("Slot", slot) + QStringLiteral("Bytes"))),
             QStringLiteral("Slot %1 bytes").arg(slot));
    QCOMPARE(accessibleName(bar), QStringLiteral("Slot %1 fill").arg(slot));
    QCOMPARE(accessibleName(b.find(kSlotLabels.at(slot - 1))),
             QStringLiteral("SLOT #%1").arg(slot));
}

void TestFormMain::startWindow() {
    Bench b;
    QCOMPARE(b.form.objectName(), QStringLiteral("FormMain"));
    QCOMPARE(b.form.windowTitle(), kStartCaptionText);
    QCOMPARE(b.text(QStringLiteral("Status")), QStringLiteral("OFFLINE"));
    QCOMPARE(b.text(QStringLiteral("LCDStatus")), QString());
    QCOMPARE(b.text(QStringLiteral("TotalHidden")), QStringLiteral("0"));
    QCOMPARE(b.text(QStringLiteral("Label8")), QStringLiteral("Total Hidden Bytes"));
    QCOMPARE(b.find<QPushButton>(QStringLiteral("Command1"))->text(),
             QStringLiteral("Disconnect + Quit"));
    QCOMPARE(b.find<QPushButton>(QStringLiteral("CheckButton"))->text(), QStringLiteral("Check"));
    QCOMPARE(b.find<QPushButton>(QStringLiteral("Command2"))->text(), QStringLiteral("Info"));
    for (const char* credit : {"Label3", "Label4", "Greets"}) {
        QVERIFY2(!b.text(QLatin1String(credit)).isEmpty(), credit);
    }
    QVERIFY(b.find<QObject>(QStringLiteral("ComDlg")) == &b.form.comDlg());

    for (int n = 1; n <= 5; ++n) {
        auto* com = b.find<QRadioButton>(numbered("Com", n));
        QVERIFY(com != nullptr);
        QCOMPARE(com->text(), numbered("Com", n));
        QCOMPARE(com->isChecked(), n == 1);
    }

    // Everything is usable from the start, and a user may type into every box.
    for (QAbstractButton* button : b.form.findChildren<QAbstractButton*>()) {
        QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
    }
    for (QLineEdit* box : b.form.findChildren<QLineEdit*>()) {
        QVERIFY2(!box->isReadOnly(), qPrintable(box->objectName()));
    }

    QCOMPARE(b.form.focusWidget(), b.find(QStringLiteral("Com1")));
    QVERIFY(b.show());
    b.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&b.form));
    QCOMPARE(QApplication::focusWidget(), b.find(QStringLiteral("Com1")));
    QVERIFY2(b.log.entries.isEmpty(), qPrintable(b.log.entries.join(QLatin1Char(' '))));

    // A fixed window without minimize and maximize buttons.
    QCOMPARE(b.form.size(), QSize(495, 449));
    QCOMPARE(b.form.minimumSize(), QSize(495, 449));
    QCOMPARE(b.form.maximumSize(), QSize(495, 449));
    const Qt::WindowFlags flags = b.form.windowFlags();
    QVERIFY(b.form.isWindow());
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    // The desktop places it: the window never positions itself.
    QVERIFY(!b.form.testAttribute(Qt::WA_Moved));

    const QIcon icon = b.form.windowIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));

    b.form.resize(640, 600);
    QCOMPARE(b.form.size(), QSize(495, 449));
}

void TestFormMain::geometry_data() {
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("twips");

    const auto add = [](const QString& name, const char* parent, int left, int top, int width,
                        int height) {
        QTest::newRow(qPrintable(name))
            << QString::fromLatin1(parent) << QRect(left, top, width, height);
    };
    const int nameTops[] = {1200, 2280, 3480, 4560, 5640};
    const int fillTops[] = {1560, 2760, 3840, 4920, 6000};
    const int buttonTops[] = {1920, 3120, 4200, 5280, 6360};
    for (int n = 1; n <= 5; ++n) {
        const int i = n - 1;
        add(numbered("TextSlot", n), "FormMain", 240, nameTops[i], 3135, 285);
        add(kSlotLabels.at(i), "FormMain", 3480, nameTops[i], 855, 255);
        add(numbered("ProgressBar", n), "FormMain", 240, fillTops[i], 2175, 255);
        add(numbered("Slot", n) + QStringLiteral("Bytes"), "FormMain", 2520, fillTops[i], 855, 285);
        add(numbered("ButtonDown", n), "FormMain", 240, buttonTops[i], 975, 255);
        add(numbered("ButtonUp", n), "FormMain", 1320, buttonTops[i], 975, 255);
        add(numbered("ButtonClear", n), "FormMain", 2400, buttonTops[i], 975, 255);
    }
    add(QStringLiteral("Status"), "FormMain", 480, 120, 2535, 780);
    add(QStringLiteral("Command1"), "FormMain", 4920, 240, 2295, 405);
    add(QStringLiteral("CheckButton"), "FormMain", 4920, 720, 1095, 285);
    add(QStringLiteral("Command2"), "FormMain", 6240, 720, 975, 285);
    for (int n = 1; n <= 5; ++n) {
        add(numbered("Com", n), "FormMain", 6240, 840 + 240 * n, 975, 255);
    }
    add(QStringLiteral("Label8"), "FormMain", 4560, 1200, 1455, 255);
    add(QStringLiteral("TotalHidden"), "FormMain", 4560, 1560, 1455, 285);
    add(QStringLiteral("J7"), "FormMain", 4440, 2880, 2895, 2895);
    add(QStringLiteral("LCDStatus"), "J7", 840, 1920, 1215, 375);
    add(QStringLiteral("Label3"), "FormMain", 4440, 2400, 2895, 255);
    add(QStringLiteral("Label4"), "FormMain", 4320, 5880, 3135, 375);
    add(QStringLiteral("Greets"), "FormMain", 3600, 6120, 3855, 375);
}

void TestFormMain::geometry() {
    QFETCH(QString, parent);
    QFETCH(QRect, twips);
    Bench b;
    QWidget* widget = b.find(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(widget != nullptr);
    QCOMPARE(widget->parentWidget()->objectName(), parent);
    QCOMPARE(widget->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
}

void TestFormMain::fonts_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<bool>("bold");

    const auto add = [](const QString& name, const char* family, qreal points, bool bold) {
        QTest::newRow(qPrintable(name)) << QString::fromLatin1(family) << points << bold;
    };
    for (int n = 1; n <= 5; ++n) {
        add(numbered("TextSlot", n), "MS Sans Serif", 8.25, false);
        add(kSlotLabels.at(n - 1), "Impact", 9.75, false);
        add(numbered("Slot", n) + QStringLiteral("Bytes"), "MS Sans Serif", 8.25, true);
        add(numbered("ButtonDown", n), "Impact", 8.25, false);
        add(numbered("ButtonUp", n), "Impact", 8.25, false);
        add(numbered("ButtonClear", n), "Impact", 8.25, false);
        add(numbered("Com", n), "MS Sans Serif", 8.25, false);
    }
    add(QStringLiteral("Status"), "Impact", 26.25, false);
    add(QStringLiteral("Command1"), "Impact", 11.25, false);
    add(QStringLiteral("CheckButton"), "Impact", 11.25, false);
    add(QStringLiteral("Command2"), "Impact", 11.25, false);
    add(QStringLiteral("Label8"), "Impact", 8.25, false);
    add(QStringLiteral("TotalHidden"), "MS Sans Serif", 8.25, true);
    add(QStringLiteral("LCDStatus"), "Arial", 9.75, true);
    add(QStringLiteral("Label3"), "Impact", 11.25, false);
    add(QStringLiteral("Label4"), "Impact", 9.75, false);
    add(QStringLiteral("Greets"), "Impact", 9.75, false);
}

void TestFormMain::fonts() {
    QFETCH(QString, family);
    QFETCH(qreal, points);
    QFETCH(bool, bold);
    Bench b;
    QWidget* widget = b.find(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(widget != nullptr);
    const QFont font = widget->font();
    QVERIFY2(asksForInstalledFace(font, family), qPrintable(font.family()));
    QCOMPARE(font.pointSizeF(), points);

    // Where the design's face is missing, the stand-in is the one installed for it.
    const QStringList installed = QFontDatabase::families();
    const QFontInfo shown(font);
    if (family == QLatin1String("Impact")) {
        if (!installed.contains(family) &&
            installed.contains(QStringLiteral("Liberation Sans Narrow"))) {
            QCOMPARE(shown.family(), QStringLiteral("Liberation Sans Narrow"));
            QVERIFY(shown.bold());
        }
    } else {
        QCOMPARE(shown.bold(), bold);
        if (!installed.contains(family) && installed.contains(QStringLiteral("Liberation Sans"))) {
            QCOMPARE(shown.family(), QStringLiteral("Liberation Sans"));
        }
    }
}

void TestFormMain::colours_data() {
    QTest::addColumn<QColor>("back");  // invalid: transparent over the window's picture
    QTest::addColumn<QColor>("text");  // invalid: the default colour
    QTest::addColumn<bool>("centred");

    const auto add = [](const QString& name, QColor back, QColor text, bool centred) {
        QTest::newRow(qPrintable(name)) << back << text << centred;
    };
    const QRgb nameBacks[] = {0xFFC0FF, 0xFF80FF, 0xFF00FF, 0xFF80FF, 0xFFC0FF};
    const QRgb labelBacks[] = {0xC0FFC0, 0x80FF80, 0x00FF00, 0x00C000, 0x008000};
    const QRgb labelTexts[] = {0x0000FF, 0x0000FF, 0x0000FF, 0xC0FFFF, 0xC0FFFF};
    const QColor yellow(0xFF, 0xFF, 0x00);
    const QColor teal(0x00, 0x80, 0x80);
    for (int n = 1; n <= 5; ++n) {
        const int i = n - 1;
        add(numbered("TextSlot", n), QColor(nameBacks[i]), QColor(), false);
        add(kSlotLabels.at(i), QColor(labelBacks[i]), QColor(labelTexts[i]), true);
        add(numbered("Slot", n) + QStringLiteral("Bytes"), teal, yellow, true);
    }
    const QColor highlightText = QApplication::palette().color(QPalette::HighlightedText);
    const QRgb comBacks[] = {0xC0C0FF, 0x8080FF, 0x0000FF, 0x0000C0, 0x000080};
    for (int n = 1; n <= 5; ++n) {
        add(numbered("Com", n), QColor(comBacks[n - 1]), highlightText, false);
    }
    add(QStringLiteral("Status"), QColor(0x80, 0x80, 0xFF), QColor(0x00, 0xFF, 0xFF), true);
    add(QStringLiteral("Label8"), QColor(0x00, 0xC0, 0xC0), QColor(0xFF, 0x00, 0x00), true);
    add(QStringLiteral("TotalHidden"), teal, yellow, true);
    add(QStringLiteral("LCDStatus"), QColor(), QColor(0x40, 0x40, 0x40), true);
    add(QStringLiteral("Label3"), QColor(), yellow, true);
    add(QStringLiteral("Label4"), QColor(), QColor(0x00, 0xFF, 0xFF), true);
    add(QStringLiteral("Greets"), QColor(), QColor(), true);
}

void TestFormMain::colours() {
    QFETCH(QColor, back);
    QFETCH(QColor, text);
    QFETCH(bool, centred);
    Bench b;
    QWidget* widget = b.find(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(widget != nullptr);

    auto* edit = qobject_cast<QLineEdit*>(widget);
    auto* label = qobject_cast<QLabel*>(widget);
    if (back.isValid()) {
        // What is painted, not what is set: a colour in a role the style ignores shows nothing.
        // The spot lies right of any centred or left-aligned text.
        const QImage shot = widget->grab().toImage();
        const QPoint spot(shot.width() - 4,
                          label != nullptr ? shot.height() - 2 : shot.height() / 2);
        QCOMPARE(shot.pixelColor(spot), back);
    } else {
        QVERIFY(label != nullptr);
        QVERIFY(!label->autoFillBackground());
    }
    if (text.isValid()) {
        const QPalette::ColorRole role = edit != nullptr ? QPalette::Text : QPalette::WindowText;
        QCOMPARE(widget->palette().color(role), text);
        if (!b.text(QString::fromLatin1(QTest::currentDataTag())).isEmpty() ||
            qobject_cast<QRadioButton*>(widget) != nullptr) {
            QVERIFY(paintsColour(widget, text));
        }
    }
    if (edit != nullptr) {
        QCOMPARE(bool(edit->alignment() & Qt::AlignHCenter), centred);
    } else if (label != nullptr) {
        QCOMPARE(bool(label->alignment() & Qt::AlignHCenter), centred);
    }
}

void TestFormMain::everyStartTextIsShownWhole() {
    Bench b;
    int labels = 0;
    for (QLabel* label : b.form.findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            ++labels;
            QVERIFY2(showsWholeText(label), qPrintable(label->objectName()));
        }
    }
    QCOMPARE(labels, 9);  // five slot labels, Label8 and the three credit lines
    for (QLineEdit* box : b.form.findChildren<QLineEdit*>()) {
        const QFontMetrics metrics = box->fontMetrics();
        QVERIFY2(metrics.horizontalAdvance(box->text()) < box->width() - 4 &&
                     metrics.height() <= box->height(),
                 qPrintable(box->objectName()));
    }
}

void TestFormMain::tabOrder_data() {
    QTest::addColumn<int>("port");
    QTest::newRow("Com1 selected") << 1;
    QTest::newRow("Com3 selected") << 3;
    QTest::newRow("Com5 selected") << 5;
}

void TestFormMain::tabOrder() {
    QFETCH(int, port);
    Bench b;
    QVERIFY(b.show());
    b.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&b.form));
    const QString selected = numbered("Com", port);
    QVERIFY(b.click(selected));
    QCOMPARE(QApplication::focusWidget(), b.find(selected));

    // Tab visits only the selected option button, and comes back to it at the end.
    const QStringList expected =
        QStringList{selected} +
        QStringLiteral(
            "ButtonDown1 ButtonUp1 ButtonDown2 ButtonUp2 Status TextSlot1 TextSlot2 "
            "ButtonClear1 ButtonClear2 Command1 J7 Slot1Bytes Slot2Bytes Command2 "
            "CheckButton Slot3Bytes ButtonClear4 ButtonClear3 TextSlot4 TextSlot3 "
            "ButtonUp4 ButtonDown4 ButtonUp3 ButtonDown3 Slot4Bytes TextSlot5 "
            "ButtonClear5 ButtonUp5 ButtonDown5 Slot5Bytes TotalHidden")
            .split(QLatin1Char(' ')) +
        QStringList{selected};
    QStringList seen = {selected};
    for (qsizetype i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(seen, expected);
}

void TestFormMain::comSelection_data() {
    QTest::addColumn<int>("port");
    for (int n = 1; n <= 5; ++n) {
        QTest::addRow("Com%d", n) << n;
    }
}

void TestFormMain::comSelection() {
    QFETCH(int, port);
    Bench b;
    QVERIFY(b.show());
    // Away from the start selection first, so that selecting the port has to clear another.
    QVERIFY(b.click(port == 4 ? QStringLiteral("Com2") : QStringLiteral("Com4")));
    QVERIFY(b.click(numbered("Com", port)));
    for (int n = 1; n <= 5; ++n) {
        QCOMPARE(b.find<QRadioButton>(numbered("Com", n))->isChecked(), n == port);
    }
    // Selecting alone does nothing else.
    QVERIFY(b.log.entries.isEmpty());
    QCOMPARE(b.text(QStringLiteral("Status")), QStringLiteral("OFFLINE"));

    QVERIFY(b.click(QStringLiteral("CheckButton")));
    QVERIFY(!b.library.calls().isEmpty());
    QCOMPARE(b.library.calls().first(), QStringLiteral("InitGBPMode(%1)").arg(port));
}

void TestFormMain::clearButtons_data() {
    QTest::addColumn<int>("slot");
    for (int n = 1; n <= 5; ++n) {
        QTest::addRow("slot %d", n) << n;
    }
}

void TestFormMain::clearButtons() {
    QFETCH(int, slot);
    Bench b;
    b.library.nvm[8 + slot] = QByteArray("kept secret");
    QVERIFY(pressInRow(b, "ButtonClear", slot));

    QCOMPARE(b.library.calls(), QStringList({QStringLiteral("InitGBPMode(1)"),
                                             QStringLiteral("ClearNVMFile(18,%1)").arg(8 + slot),
                                             QStringLiteral("GetNVMFileSize(18,%1)").arg(8 + slot),
                                             QStringLiteral("EndGBPMode()")}));
    QCOMPARE(b.text(numbered("TextSlot", slot)), QStringLiteral("<SLOT%1 CLEAR>").arg(slot));
    QCOMPARE(b.text(QStringLiteral("Status")), QStringLiteral("S%1 CLEAR").arg(slot));
    QCOMPARE(b.text(QStringLiteral("LCDStatus")), QStringLiteral("CLEAR"));
    verifyOtherRowsUntouched(b, slot);
    QVERIFY(b.messages.isEmpty());
}

void TestFormMain::uploadButtons_data() {
    clearButtons_data();
}

void TestFormMain::uploadButtons() {
    QFETCH(int, slot);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.txt"));
    const QByteArray content = QByteArray("hidden in slot ").append(QByteArray::number(slot));
    QVERIFY(writeFile(path, content));
    Bench b;
    b.prompt.answers = {path};
    QVERIFY(pressInRow(b, "ButtonUp", slot));

    QCOMPARE(b.prompt.questions.size(), 1);
    QCOMPARE(b.prompt.questions.first().kind, QStringLiteral("open"));
    QCOMPARE(b.prompt.questions.first().filter, QStringLiteral("Any Files *.* (*)"));
    QVERIFY(b.library.calls().contains(
        QStringLiteral("WriteNVMFile(18,%1,%2)").arg(8 + slot).arg(content.size())));
    QCOMPARE(b.library.nvm[8 + slot], content);
    QCOMPARE(b.text(numbered("TextSlot", slot)), path);
    QCOMPARE(b.text(numbered("Slot", slot) + QStringLiteral("Bytes")),
             QString::number(content.size()));
    QCOMPARE(b.barValue(slot), content.size());
    verifyOtherRowsUntouched(b, slot);
}

void TestFormMain::downloadButtons_data() {
    clearButtons_data();
}

void TestFormMain::downloadButtons() {
    QFETCH(int, slot);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("back.bin"));
    const QByteArray content = QByteArray("from slot ").append(QByteArray::number(slot));
    Bench b;
    b.library.nvm[8 + slot] = content;
    b.prompt.answers = {path};
    QVERIFY(pressInRow(b, "ButtonDown", slot));

    QCOMPARE(b.prompt.questions.size(), 1);
    QCOMPARE(b.prompt.questions.first().kind, QStringLiteral("save"));
    QCOMPARE(b.prompt.questions.first().filter, QStringLiteral("Bin Files *.bin (*.bin)"));
    QCOMPARE(readFile(path), content);
    QCOMPARE(b.text(numbered("TextSlot", slot)), path);
    verifyOtherRowsUntouched(b, slot);
}

void TestFormMain::checkButtonFillsEveryRow() {
    Bench b;
    b.library.nvm[9] = QByteArray(100, 'a');
    b.library.nvm[11] = QByteArray(2000, 'c');
    b.library.nvm[13] = QByteArray(20990, 'e');
    QVERIFY(b.show());
    QVERIFY(b.click(QStringLiteral("CheckButton")));

    const QStringList bytes = {QStringLiteral("100"), QStringLiteral("0"), QStringLiteral("2000"),
                               QStringLiteral("0"), QStringLiteral("20990")};
    for (int n = 1; n <= 5; ++n) {
        QCOMPARE(b.text(numbered("Slot", n) + QStringLiteral("Bytes")), bytes.at(n - 1));
        QCOMPARE(b.barValue(n), bytes.at(n - 1).toInt());
        QCOMPARE(b.text(numbered("TextSlot", n)),
                 bytes.at(n - 1) == QLatin1String("0")
                     ? QStringLiteral("<EMPTY SLOT>")
                     : QStringLiteral("File PRESENT in Slot%1!").arg(n));
    }
    QCOMPARE(b.text(QStringLiteral("TotalHidden")), QStringLiteral("23090"));
}

void TestFormMain::checkThatCannotMeasureSaysSo_data() {
    QTest::addColumn<std::int16_t>("initResult");
    QTest::addColumn<std::int16_t>("slot3Size");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("messages");
    const QString unmeasured = QStringLiteral(
        "Not every slot could be measured: a slot shown as empty may still hold a file. Press "
        "Check again.");
    QTest::addRow("slot 3 not measured") << std::int16_t(0) << std::int16_t(-32768)
                                         << QStringLiteral("ERROR") << QStringList{unmeasured};
    QTest::addRow("every slot measured")
        << std::int16_t(0) << std::int16_t(0) << QStringLiteral("Ready...") << QStringList{};
    QTest::addRow("link not opened: said once")
        << std::int16_t(1) << std::int16_t(0) << QStringLiteral("Error:  1")
        << QStringList{QStringLiteral("Unable to initialize GBP Mode...")};
}

void TestFormMain::checkThatCannotMeasureSaysSo() {
    QFETCH(std::int16_t, initResult);
    QFETCH(std::int16_t, slot3Size);
    QFETCH(QString, status);
    QFETCH(QStringList, messages);
    Bench b;
    b.library.initResults.push_back(initResult);
    b.library.sizeResults[11].push_back(slot3Size);
    QVERIFY(b.show());
    QVERIFY(b.click(QStringLiteral("CheckButton")));

    QCOMPARE(b.text(QStringLiteral("Status")), status);
    QCOMPARE(b.messages, messages);
}

void TestFormMain::uploadAndDownloadShareTheDialog() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString uploaded = dir.filePath(QStringLiteral("diary.txt"));
    {
        QFile file(uploaded);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("dear diary");
    }
    Bench b;
    b.prompt.answers = {uploaded, dir.filePath(QStringLiteral("copy.bin"))};
    QVERIFY(b.show());
    QVERIFY(b.click(QStringLiteral("ButtonUp2")));
    QVERIFY(b.click(QStringLiteral("ButtonDown4")));

    QCOMPARE(b.prompt.questions.size(), 2);
    QCOMPARE(b.prompt.questions.at(0).start, QString());
    QCOMPARE(b.prompt.questions.at(1).start, uploaded);
    QCOMPARE(b.form.comDlg().fileName(), dir.filePath(QStringLiteral("copy.bin")));
}

void TestFormMain::buttonsStayEnabledWhileAnOperationRuns() {
    Bench b;
    QVERIFY(b.show());
    const QList<QAbstractButton*> buttons = b.form.findChildren<QAbstractButton*>();
    QCOMPARE(buttons.size(), 23);  // 15 row buttons, 3 commands, 5 ports
    int checkedDuringCalls = 0;
    b.library.onCall = [&](const QString&) {
        for (QAbstractButton* button : buttons) {
            QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
        }
        ++checkedDuringCalls;
    };
    QVERIFY(b.click(QStringLiteral("CheckButton")));
    QCOMPARE(checkedDuringCalls, 7);  // init, five sizes, end
}

void TestFormMain::untrappedErrorIsReported_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("report");

    const QString missing = QStringLiteral("Can't find DLL entry point");
    QTest::newRow("check, library missing")
        << QStringLiteral("CheckButton") << QStringLiteral("InitGBPMode")
        << int(ErrorCode::LibraryNotLoaded) << QStringLiteral("Error in loading DLL");
    QTest::newRow("clear, operation missing")
        << QStringLiteral("ButtonClear3") << QStringLiteral("ClearNVMFile")
        << int(ErrorCode::EntryPointMissing) << missing;
    QTest::newRow("upload cancelled, EndGBPMode missing")
        << QStringLiteral("ButtonUp2") << QStringLiteral("EndGBPMode")
        << int(ErrorCode::EntryPointMissing) << missing;
    QTest::newRow("download cancelled, EndGBPMode missing")
        << QStringLiteral("ButtonDown5") << QStringLiteral("EndGBPMode")
        << int(ErrorCode::EntryPointMissing) << missing;
    // Not one of the tool's own errors: it has no number.
    QTest::newRow("check, foreign error")
        << QStringLiteral("CheckButton") << QStringLiteral("GetNVMFileSize") << 0 << QString();
}

void TestFormMain::untrappedErrorIsReported() {
    QFETCH(QString, button);
    QFETCH(QString, failing);
    QFETCH(int, code);
    QFETCH(QString, report);
    const AppError error(static_cast<ErrorCode>(code), failing + QStringLiteral(" in GBP"));
    Bench b;
    b.library.onCall = [&](const QString& operation) {
        if (operation == failing && code == 0) {
            throw std::runtime_error("out of buffers");
        } else if (operation == failing) {
            throw error;
        }
    };
    QVERIFY(b.show());
    QVERIFY(b.click(button));

    QCOMPARE(b.messages,
             QStringList{code == 0 ? QStringLiteral("Run-time error:\n\nout of buffers")
                                   : untrapped(code, report + QStringLiteral(": ") + failing +
                                                         QStringLiteral(" in GBP"))});
    QVERIFY(b.form.isVisible());
    QCOMPARE(b.quits, 0);

    // The window goes on: the next operation runs normally.
    b.library.onCall = nullptr;
    b.messages.clear();
    QVERIFY(b.click(QStringLiteral("CheckButton")));
    QVERIFY(b.messages.isEmpty());
    QCOMPARE(b.text(QStringLiteral("LCDStatus")), QStringLiteral("CHECK"));
}

void TestFormMain::leavingWithoutAnOperation_data() {
    QTest::addColumn<bool>("close");
    QTest::addColumn<bool>("endFails");
    QTest::addColumn<QStringList>("log");
    const QString endMissing =
        QStringLiteral("Message=") +
        untrapped(453, QStringLiteral("Can't find DLL entry point: EndGBPMode in GBP"));
    QTest::newRow("Disconnect + Quit") << false << false << QStringList{"EndGBPMode()", "Quit"};
    QTest::newRow("Disconnect + Quit, EndGBPMode missing")
        << false << true << QStringList{"EndGBPMode()", endMissing, "Quit"};
    QTest::newRow("the close command runs nothing") << true << false << QStringList{};
}

void TestFormMain::leavingWithoutAnOperation() {
    QFETCH(bool, close);
    QFETCH(bool, endFails);
    QFETCH(QStringList, log);
    Bench b;
    if (endFails) {
        b.library.throws.emplace(
            QStringLiteral("EndGBPMode"),
            AppError(ErrorCode::EntryPointMissing, QStringLiteral("EndGBPMode in GBP")));
    }
    QVERIFY(b.show());
    QVERIFY(b.click(QStringLiteral("Com4")));
    if (close) {
        b.form.windowHandle()->close();
    } else {
        QVERIFY(b.click(QStringLiteral("Command1")));
    }
    QCOMPARE(b.log.entries, log);
    QCOMPARE(b.form.isVisible(), !close);
}

void TestFormMain::statusWritesArePaintedBeforeTheLibraryBlocks() {
    Bench b;
    QVERIFY(b.show());
    PaintProbe probe;
    probe.watch(b.find(QStringLiteral("Status")));
    probe.watch(b.find(QStringLiteral("LCDStatus")));
    QStringList statusAtInit;
    QString lcdAtInit;
    b.library.onCall = [&](const QString& operation) {
        if (operation == QLatin1String("InitGBPMode")) {
            statusAtInit = probe.painted[QStringLiteral("Status")];
            lcdAtInit = probe.last(QStringLiteral("LCDStatus"));
        }
    };
    QVERIFY(b.click(QStringLiteral("ButtonClear2")));

    // The handler never returns to the event loop before InitGBPMode, so these paints can only
    // come from the writes themselves.
    QVERIFY2(statusAtInit.contains(QStringLiteral("CLEARING SLOT2...")),
             qPrintable(statusAtInit.join(QLatin1Char('|'))));
    QCOMPARE(statusAtInit.last(), QStringLiteral("Open COMPORT..."));
    QCOMPARE(lcdAtInit, QStringLiteral("Connect..."));

    // The check shows each row's "CHECKING..." before it measures that slot.
    for (int n = 1; n <= 5; ++n) {
        probe.watch(b.find(numbered("TextSlot", n)));
    }
    QStringList shownAtMeasure;
    b.library.onCall = [&](const QString& operation) {
        if (operation == QLatin1String("GetNVMFileSize")) {
            shownAtMeasure << probe.last(numbered("TextSlot", int(shownAtMeasure.size()) + 1));
        }
    };
    QVERIFY(b.click(QStringLiteral("CheckButton")));
    QCOMPARE(shownAtMeasure, QStringList(5, QStringLiteral("CHECKING...")));
}

void TestFormMain::everyWriteIsPaintedAtOnce_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("value");

    QTest::newRow("Status") << QStringLiteral("Status") << QStringLiteral("Ready...");
    // Wider than the box: with the cursor at the end it would read "NG SLOT1...".
    QTest::newRow("Status, wider than its box")
        << QStringLiteral("Status") << QStringLiteral("DOWNLOADING SLOT1...");
    QTest::newRow("LCDStatus") << QStringLiteral("LCDStatus") << QStringLiteral("Error!");
    QTest::newRow("slot 3 name") << QStringLiteral("TextSlot3") << QStringLiteral("<EMPTY SLOT>");
    QTest::newRow("slot 3 name, wider than its box")
        << QStringLiteral("TextSlot3")
        << QStringLiteral("/home/someone/documents/a rather long folder/slot3.bin");
    QTest::newRow("slot 4 bytes") << QStringLiteral("Slot4Bytes") << QStringLiteral("4321");
    QTest::newRow("slot 2 bar") << QStringLiteral("ProgressBar2") << QStringLiteral("777");
    QTest::newRow("total") << QStringLiteral("TotalHidden") << QStringLiteral("65535");
}

void TestFormMain::everyWriteIsPaintedAtOnce() {
    QFETCH(QString, control);
    QFETCH(QString, value);
    Bench b;
    QVERIFY(b.show());
    PaintProbe probe;
    QWidget* widget = b.find(control);
    QVERIFY(widget != nullptr);
    probe.watch(widget);

    SlotView& view = b.form;
    if (control == QLatin1String("Status")) {
        view.setStatus(value);
    } else if (control == QLatin1String("LCDStatus")) {
        view.setLcdStatus(value);
    } else if (control == QLatin1String("TextSlot3")) {
        view.setSlotName(3, value);
    } else if (control == QLatin1String("Slot4Bytes")) {
        view.setSlotBytes(4, value);
    } else if (control == QLatin1String("ProgressBar2")) {
        view.setSlotProgress(2, value.toFloat());
    } else {
        view.setTotalHidden(value);
    }
    // No event processing in between: the write painted the control itself.
    QCOMPARE(probe.last(control), value);
    // A text box shows the start of its text.
    if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        QCOMPARE(box->cursorPosition(), 0);
    }
}

void TestFormMain::progressIsRoundedOntoTheScale_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("shown");
    QTest::newRow("half rounds up") << 1234.5F << 1235;
    QTest::newRow("fraction rounds down") << 99.4F << 99;
    QTest::newRow("full slot") << 21000.0F << 21000;
    QTest::newRow("beyond the scale") << 25000.0F << 21000;
    QTest::newRow("below the scale") << -3.0F << 0;
}

void TestFormMain::progressIsRoundedOntoTheScale() {
    QFETCH(float, value);
    QFETCH(int, shown);
    Bench b;
    b.form.setSlotProgress(4, 500.0F);
    b.form.setSlotProgress(4, value);
    QCOMPARE(b.barValue(4), shown);
    QCOMPARE(b.barValue(3), 0);
    QCOMPARE(b.barValue(5), 0);
}

void TestFormMain::accessibleWindowNames() {
    Bench b;
    QCOMPARE(accessibleName(b.find(QStringLiteral("Status"))), QStringLiteral("Status"));
    QCOMPARE(accessibleName(b.find(QStringLiteral("J7"))), QStringLiteral("Phone display"));
    QCOMPARE(accessibleName(b.find(QStringLiteral("TotalHidden"))),
             QStringLiteral("Total hidden bytes"));
    for (const char* label : {"Label8", "Label3", "Label4", "Greets"}) {
        QCOMPARE(accessibleName(b.find(QLatin1String(label))), b.text(QLatin1String(label)));
    }
    b.form.setLcdStatus(QStringLiteral("OK!"));
    QCOMPARE(accessibleName(b.find(QStringLiteral("LCDStatus"))), QStringLiteral("OK!"));

    // Every focusable control has a name of its own.
    std::set<QString> names;
    int focusable = 0;
    for (QWidget* widget : b.form.findChildren<QWidget*>()) {
        if ((widget->focusPolicy() & Qt::TabFocus) == 0) {
            continue;
        }
        ++focusable;
        const QString name = accessibleName(widget);
        QVERIFY2(!name.trimmed().isEmpty(), qPrintable(widget->objectName()));
        QVERIFY2(names.insert(name).second, qPrintable(name));
    }
    QCOMPARE(focusable, 36);
}

QTEST_MAIN(TestFormMain)
#include "tst_form_main.moc"
