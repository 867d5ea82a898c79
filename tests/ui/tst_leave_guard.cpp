// The window's way out of a call that does not return, alone: the question's words at each step
// of each operation, when it is asked, what a request to quit waits for, and what its answers do.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "forwarding_library.h"
#include "leave_guard.h"

using namespace hideaway;
using Kind = LeaveGuard::Operation::Kind;
using Quit = LeaveGuard::Quit;

namespace {

/// Plays an operation's course: a call's name begins it, once the call before it has returned; a
/// fact in brackets is the operation's report. The last call stays under way.
void play(LeaveGuard& guard, const QString& course) {
    static const QMap<QString, SlotFact> facts = {
        {QStringLiteral("[emptied]"), SlotFact::Emptied},
        {QStringLiteral("[not emptied]"), SlotFact::NotEmptied},
        {QStringLiteral("[verified]"), SlotFact::Verified},
        {QStringLiteral("[saved]"), SlotFact::FileSaved}};
    bool inCall = false;
    for (const QString& step : course.split(QLatin1Char(','))) {
        if (std::exchange(inCall, false)) {
            guard.callReturned();
        }
        if (facts.contains(step)) {
            guard.noteFact(facts[step]);
            continue;
        }
        const auto* name = std::find(std::begin(kGbpCallNames), std::end(kGbpCallNames), step);
        QVERIFY2(name != std::end(kGbpCallNames), qPrintable(step));
        guard.callBegan({static_cast<GbpCall>(name - std::begin(kGbpCallNames)), 1, 18, 11, 0});
        inCall = true;
    }
}

}  // namespace

class TestLeaveGuard : public QObject {
    Q_OBJECT

private slots:
    void questionSaysWhatEndingNowLeaves_data();
    void questionSaysWhatEndingNowLeaves();
    void requestWaitsAndAsksOnlyWhileACallHoldsIt();
};

void TestLeaveGuard::questionSaysWhatEndingNowLeaves_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("course");
    QTest::addColumn<QString>("left");
    const auto add = [](const char* name, Kind kind, const QString& course, const char* left) {
        QTest::newRow(name) << int(kind) << course << QString::fromLatin1(left);
    };
    const QString measured = QStringLiteral("InitGBPMode,ClearNVMFile,GetNVMFileSize");
    const QString wrote = QStringLiteral(
        "InitGBPMode,ClearNVMFile,EndGBPMode,InitGBPMode,"
        "WriteNVMFile,GetNVMFileSize");
    const char* emptyOrNot = "slot 3 may be empty or still hold what it held";
    const char* maybeFile = "slot 3 may hold the file, part of it or nothing";

    add("check", Kind::Check, "InitGBPMode,GetNVMFileSize", "nothing on the phone is changed");
    add("ending the link", Kind::Disconnect, "EndGBPMode", "nothing on the phone is changed");
    add("clear, opening the link", Kind::Clear, "InitGBPMode", "slot 3 keeps what it holds");
    add("clear, clearing", Kind::Clear, "InitGBPMode,ClearNVMFile", emptyOrNot);
    add("clear, measuring", Kind::Clear, measured, emptyOrNot);
    add("clear, ending, measured empty", Kind::Clear, measured + ",[emptied],EndGBPMode",
        "slot 3 is empty");
    add("clear, ending, bytes left", Kind::Clear, measured + ",[not emptied],EndGBPMode",
        "slot 3 is not empty");
    add("clear, ending, not measured", Kind::Clear, measured + ",EndGBPMode", emptyOrNot);
    add("upload, first link", Kind::Upload, "InitGBPMode", "slot 3 keeps what it holds");
    add("upload, clear before the write", Kind::Upload, "InitGBPMode,ClearNVMFile", emptyOrNot);
    add("upload, second link", Kind::Upload, wrote.section(',', 0, 3), emptyOrNot);
    add("upload, write", Kind::Upload, wrote.section(',', 0, 4),
        "slot 3 may hold part of the file or nothing");
    add("upload, size", Kind::Upload, wrote, maybeFile);
    add("upload, verify", Kind::Upload, wrote + ",ReadNVMFile", maybeFile);
    add("upload, ending, verified", Kind::Upload, wrote + ",ReadNVMFile,[verified],EndGBPMode",
        "slot 3 holds the file");
    add("upload, ending, not verified", Kind::Upload, wrote + ",EndGBPMode", maybeFile);
    add("download, reading", Kind::Download, "InitGBPMode,ReadNVMFile", "no file is written");
    add("download, ending, not saved", Kind::Download, "InitGBPMode,ReadNVMFile,EndGBPMode",
        "no file is written");
    add("download, ending, saved", Kind::Download, "InitGBPMode,ReadNVMFile,[saved],EndGBPMode",
        "the file is already written");
}

void TestLeaveGuard::questionSaysWhatEndingNowLeaves() {
    QFETCH(int, kind);
    QFETCH(QString, course);
    QFETCH(QString, left);
    const QMap<int, QString> waiting = {{int(Kind::Check), "The check"},
                                        {int(Kind::Disconnect), "Ending the link"},
                                        {int(Kind::Clear), "Clearing slot 3"},
                                        {int(Kind::Upload), "The upload to slot 3"},
                                        {int(Kind::Download), "The download of slot 3"}};
    LeaveGuard guard(nullptr);
    guard.operationStarted({static_cast<Kind>(kind), 3});
    play(guard, course);
    QCOMPARE(guard.questionText(), waiting[kind] +
                                       " is still waiting for the phone to answer.\n\n"
                                       "If you end the program now, " +
                                       left + ".\n\nEnd the program now, or wait for the phone?");
}

void TestLeaveGuard::requestWaitsAndAsksOnlyWhileACallHoldsIt() {
    QWidget window;
    LeaveGuard guard(&window);
    guard.setDelay(0);
    int ended = 0;
    guard.setEndNow([&ended] { ++ended; });
    const auto answer = [&guard](const char* text) {
        for (QAbstractButton* button : guard.question()->buttons()) {
            if (button->text() == QLatin1String(text)) {
                button->click();
            }
        }
    };
    QVERIFY(guard.mayLeave(Quit::Close));  // nothing runs: the window leaves at once
    guard.operationStarted({Kind::Upload, 4});
    play(guard, QStringLiteral("InitGBPMode"));
    QTest::qWait(50);
    QVERIFY(guard.question() == nullptr);  // nobody asked to quit
    guard.callReturned();
    QVERIFY(!guard.mayLeave(Quit::Disconnect));
    QTest::qWait(50);
    QVERIFY(guard.question() == nullptr);  // between calls: the operation's own dialog is up
    play(guard, QStringLiteral("ClearNVMFile"));
    QTRY_VERIFY(guard.question() != nullptr);
    QCOMPARE(window.findChild<QMessageBox*>(QStringLiteral("EndNowQuestion")), guard.question());
    QVERIFY(guard.question()->isVisible());
    guard.callReturned();  // the phone answered: the question goes, the request stays
    QVERIFY(guard.question() == nullptr);
    play(guard, QStringLiteral("EndGBPMode,InitGBPMode,WriteNVMFile"));
    QTRY_VERIFY(guard.question() != nullptr);
    QVERIFY(guard.question()->text().contains(QStringLiteral("part of the file or nothing")));
    answer("Wait");
    QTRY_VERIFY(guard.question() == nullptr);
    QVERIFY(!guard.mayLeave(Quit::Close));  // asked again; a close does not undo the disconnect
    QTRY_VERIFY(guard.question() != nullptr);
    QCOMPARE(ended, 0);
    answer("End now");
    QCOMPARE(ended, 1);
    QCOMPARE(guard.operationEnded(), Quit::Disconnect);
    QVERIFY(guard.question() == nullptr);
    guard.operationStarted({Kind::Disconnect});  // asks without a request: it is the quit itself
    play(guard, QStringLiteral("EndGBPMode"));
    QTRY_VERIFY(guard.question() != nullptr);
    QCOMPARE(guard.operationEnded(), Quit::None);  // the disconnect was carried out once
}

QTEST_MAIN(TestLeaveGuard)
#include "tst_leave_guard.moc"
