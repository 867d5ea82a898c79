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

LibraryCall call(GbpCall operation) {
    return {operation, 1, 18, 11, 0};
}

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
        guard.callBegan(call(static_cast<GbpCall>(name - std::begin(kGbpCallNames))));
        inCall = true;
    }
}

void click(QMessageBox* box, const QString& text) {
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == text) {
            button->click();
        }
    }
}

}  // namespace

class TestLeaveGuard : public QObject {
    Q_OBJECT

private slots:
    void questionSaysWhatEndingNowLeaves_data();
    void questionSaysWhatEndingNowLeaves();
    void requestWaitsForTheOperation();
    void asksOnlyWhileACallKeepsARequestWaiting();
    void answers_data();
    void answers();
};

void TestLeaveGuard::questionSaysWhatEndingNowLeaves_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("course");
    QTest::addColumn<QString>("waiting");
    QTest::addColumn<QString>("left");
    const int check = int(Kind::Check), clear = int(Kind::Clear), upload = int(Kind::Upload);
    const int download = int(Kind::Download);
    const QString cleared = QStringLiteral("InitGBPMode,ClearNVMFile,GetNVMFileSize,");
    const QString written =
        QStringLiteral("InitGBPMode,ClearNVMFile,EndGBPMode,InitGBPMode,WriteNVMFile,");
    const QString clearing = QStringLiteral("Clearing slot 3"),
                  up = QStringLiteral("The upload to slot 3");
    const QString down = QStringLiteral("The download of slot 3");
    const QString emptyOrNot = QStringLiteral("slot 3 may be empty or still hold what it held");
    const QString maybeFile = QStringLiteral("slot 3 may hold the file, part of it or nothing");
    const QString noFile = QStringLiteral("no file is written");

    QTest::newRow("check, measuring") << check << "InitGBPMode,GetNVMFileSize"
                                      << "The check"
                                      << "nothing on the phone is changed";
    QTest::newRow("ending the link") << int(Kind::Disconnect) << "EndGBPMode"
                                     << "Ending the link"
                                     << "nothing on the phone is changed";
    QTest::newRow("clear, opening the link")
        << clear << "InitGBPMode" << clearing << "slot 3 keeps what it holds";
    QTest::newRow("clear, clearing")
        << clear << "InitGBPMode,ClearNVMFile" << clearing << emptyOrNot;
    QTest::newRow("clear, measuring") << clear << cleared.chopped(1) << clearing << emptyOrNot;
    QTest::newRow("clear, ending, measured empty")
        << clear << cleared + "[emptied],EndGBPMode" << clearing << "slot 3 is empty";
    QTest::newRow("clear, ending, bytes left")
        << clear << cleared + "[not emptied],EndGBPMode" << clearing << "slot 3 is not empty";
    QTest::newRow("clear, ending, not measured")
        << clear << cleared + "EndGBPMode" << clearing << emptyOrNot;
    QTest::newRow("upload, first link")
        << upload << "InitGBPMode" << up << "slot 3 keeps what it holds";
    QTest::newRow("upload, clear before the write")
        << upload << "InitGBPMode,ClearNVMFile" << up << emptyOrNot;
    QTest::newRow("upload, second link")
        << upload << written.section(',', 0, 3) << up << emptyOrNot;
    QTest::newRow("upload, write")
        << upload << written.chopped(1) << up << "slot 3 may hold part of the file or nothing";
    QTest::newRow("upload, size") << upload << written + "GetNVMFileSize" << up << maybeFile;
    QTest::newRow("upload, verify")
        << upload << written + "GetNVMFileSize,ReadNVMFile" << up << maybeFile;
    QTest::newRow("upload, ending, verified")
        << upload << written + "GetNVMFileSize,ReadNVMFile,[verified],EndGBPMode" << up
        << "slot 3 holds the file";
    QTest::newRow("upload, ending, not verified")
        << upload << written + "GetNVMFileSize,EndGBPMode" << up << maybeFile;
    QTest::newRow("download, reading") << download << "InitGBPMode,ReadNVMFile" << down << noFile;
    QTest::newRow("download, ending, not saved")
        << download << "InitGBPMode,ReadNVMFile,EndGBPMode" << down << noFile;
    QTest::newRow("download, ending, saved")
        << download << "InitGBPMode,ReadNVMFile,[saved],EndGBPMode" << down
        << "the file is already written";
}

void TestLeaveGuard::questionSaysWhatEndingNowLeaves() {
    QFETCH(int, kind);
    QFETCH(QString, course);
    QFETCH(QString, waiting);
    QFETCH(QString, left);
    LeaveGuard guard(nullptr);
    guard.operationStarted({static_cast<Kind>(kind), 3});
    play(guard, course);
    QCOMPARE(guard.questionText(), waiting +
                                       QStringLiteral(" is still waiting for the phone to "
                                                      "answer.\n\nIf you end the program "
                                                      "now, ") +
                                       left +
                                       QStringLiteral(".\n\nEnd the program now, or wait for the "
                                                      "phone?"));
}

void TestLeaveGuard::requestWaitsForTheOperation() {
    LeaveGuard guard(nullptr);
    QVERIFY(guard.mayLeave(Quit::Close));
    guard.operationStarted({Kind::Clear, 2});
    QVERIFY(!guard.mayLeave(Quit::Disconnect));
    QVERIFY(!guard.mayLeave(Quit::Close));  // a close does not undo "Disconnect + Quit"
    QCOMPARE(guard.operationEnded(), Quit::Disconnect);
    guard.operationStarted({Kind::Check});
    QCOMPARE(guard.operationEnded(), Quit::None);  // carried out once
}

void TestLeaveGuard::asksOnlyWhileACallKeepsARequestWaiting() {
    QWidget window;
    LeaveGuard guard(&window);
    guard.setDelay(0);
    guard.operationStarted({Kind::Upload, 4});
    play(guard, QStringLiteral("InitGBPMode"));
    QTest::qWait(50);
    QVERIFY(guard.question() == nullptr);  // nobody asked to quit
    guard.callReturned();
    QVERIFY(!guard.mayLeave(Quit::Close));
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
    QCOMPARE(guard.operationEnded(), Quit::Close);
    QVERIFY(guard.question() == nullptr);
}

void TestLeaveGuard::answers_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("endings");
    QTest::newRow("End now") << QStringLiteral("End now") << 1;
    QTest::newRow("Wait") << QStringLiteral("Wait") << 0;
}

void TestLeaveGuard::answers() {
    QFETCH(QString, answer);
    QFETCH(int, endings);
    QWidget window;
    LeaveGuard guard(&window);
    guard.setDelay(0);
    int ended = 0;
    guard.setEndNow([&ended] { ++ended; });
    guard.operationStarted({Kind::Disconnect});  // asked to quit by itself
    play(guard, QStringLiteral("EndGBPMode"));
    QTRY_VERIFY(guard.question() != nullptr);
    click(guard.question(), answer);
    QCOMPARE(ended, endings);
    QTRY_VERIFY(guard.question() == nullptr);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TestLeaveGuard test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_leave_guard.moc"
