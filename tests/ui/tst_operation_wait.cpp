// The window while a library call is in flight: the calls run on one worker thread behind
// WorkerLibrary, and the window's thread goes on handling events without letting input act.
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <functional>
#include <optional>
#include <stdexcept>

#include "app_error.h"
#include "com_dlg.h"
#include "event_log.h"
#include "form_main.h"
#include "offscreen_notices.h"
#include "recording_view.h"
#include "scripted_dialog.h"
#include "scripted_library.h"
#include "scripted_prompt.h"
#include "slot_operations.h"
#include "slot_table.h"
#include "test_files.h"
#include "worker_library.h"

using namespace hideaway;
using namespace hideaway::test;

namespace {

/// The real window on the real WorkerLibrary over a scripted library. The holdNth call named holdAt
/// waits on the worker until whileHeld, posted to the window's thread, has run: whileHeld runs only
/// if that thread handles events during the call.
struct LiveBench {
    EventLog log;
    ScriptedLibrary scripted{log};
    WorkerLibrary worker{scripted};
    FormMain form{worker};
    PromptScript prompt;  // answers every file question with a cancel
    QString holdAt;
    int holdNth = 1;
    std::function<void()> whileHeld;
    bool heldCallSeen = false;
    QList<QThread*> callThreads;
    int quits = 0;

    LiveBench() {
        worker.setLinkObserver([this](bool open) { form.setLinkOpen(open); });
        worker.setCallObserver([this](const LibraryCall* call) { form.setCallUnderWay(call); });
        form.setMessagePresenter(
            [this](const QString& text) { log.add(QStringLiteral("Message=") + text); });
        form.setQuitHandler([this] { ++quits; });
        form.comDlg().setPrompt(scriptedPrompt(prompt));
        scripted.onCall = [this](const QString& operation) {
            callThreads << QThread::currentThread();
            if (operation != holdAt || --holdNth != 0) {
                return;
            }
            QSemaphore released;
            QMetaObject::invokeMethod(
                &form,
                [this, &released] {
                    heldCallSeen = true;
                    if (whileHeld) {
                        whileHeld();
                    }
                    released.release();
                },
                Qt::QueuedConnection);
            // A window thread that never handles events would leave the call here for good.
            released.tryAcquire(1, 5000);
        };
        form.show();
    }

    QPushButton* button(const char* name) {
        return form.findChild<QPushButton*>(QLatin1String(name));
    }
};

constexpr int kNoOverride = -1;

/// The shape of the cursor set over the whole program, or kNoOverride.
int overrideShape() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor != nullptr ? static_cast<int>(cursor->shape()) : kNoOverride;
}

/// Shows a real modal dialog for a file question, as the real prompt does, notes the cursor that
/// is over the program while it is up, and answers it with Escape.
class ModalPrompt final : public FilePrompt {
public:
    ModalPrompt(QString path, int& cursorWhileUp, bool& tookKey)
        : m_path(std::move(path)), m_cursorWhileUp(cursorWhileUp), m_tookKey(tookKey) {}

    std::optional<QString> open(const QString&, const QString&) override { return ask(); }
    std::optional<QString> save(const QString&, const QString&) override { return ask(); }

private:
    std::optional<QString> ask() {
        QDialog dialog;
        QTimer::singleShot(0, &dialog, [this, &dialog] {
            m_cursorWhileUp = overrideShape();
            QTest::keyClick(&dialog, Qt::Key_Escape);
            if (dialog.isVisible()) {
                dialog.accept();  // the key was lost; end the dialog all the same
            }
        });
        m_tookKey = dialog.exec() == QDialog::Rejected;
        return m_path;
    }

    QString m_path;
    int& m_cursorWhileUp;
    bool& m_tookKey;
};

}  // namespace

class TestOperationWait : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void callsRunOnOneWorkerWhileTheWindowTakesNoInput();
    void quitDuringACallAsksThenWaitsForTheEnd_data();
    void quitDuringACallAsksThenWaitsForTheEnd();
    void dialogsTakeInputWithoutTheWaitCursor();
    void writesAndCallsKeepTheirOrder_data();
    void writesAndCallsKeepTheirOrder();
};

void TestOperationWait::initTestCase() {
    QApplication::setQuitOnLastWindowClosed(false);
    quietOffscreenNotices();
}

void TestOperationWait::callsRunOnOneWorkerWhileTheWindowTakesNoInput() {
    LiveBench b;
    b.button("Command2")->click();  // the about window, which a key would close
    QWidget* about = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("frmSplash") && window->isVisible()) {
            about = window;
        }
    }
    QVERIFY(about != nullptr);
    b.holdAt = QStringLiteral("ClearNVMFile");
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(0);
    int cursorInCall = kNoOverride;
    b.whileHeld = [&] {
        // A timer ticked in the call, not only the posted event that ended it.
        QTRY_VERIFY(ticks > 0);
        cursorInCall = overrideShape();
        QTest::mouseClick(b.button("ButtonClear4"), Qt::LeftButton);
        QTest::keyClick(b.button("CheckButton"), Qt::Key_Space);
        QTest::keyClick(about, Qt::Key_A);
        // An accessibility press calls click() itself, without any input event.
        b.button("ButtonUp5")->click();
    };
    b.button("ButtonClear2")->click();
    QCoreApplication::processEvents();

    QVERIFY(b.heldCallSeen);
    QCOMPARE(
        b.scripted.calls(),
        QStringList({QStringLiteral("InitGBPMode(1)"), QStringLiteral("ClearNVMFile(18,10)"),
                     QStringLiteral("GetNVMFileSize(18,10)"), QStringLiteral("EndGBPMode()")}));
    QCOMPARE(b.callThreads.size(), 4);
    QCOMPARE(b.callThreads.count(b.callThreads.first()), 4);
    QVERIFY(b.callThreads.first() != QThread::currentThread());
    QVERIFY(b.callThreads.first() == b.worker.workerThread());
    // A wait cursor while the link is open, and none once the operation is over.
    QCOMPARE(cursorInCall, int(Qt::WaitCursor));
    QCOMPARE(overrideShape(), kNoOverride);
    QCOMPARE(b.quits, 0);
    QVERIFY(about->isVisible());
    about->close();
}

void TestOperationWait::quitDuringACallAsksThenWaitsForTheEnd_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("holdAt");
    QTest::addColumn<int>("holdNth");
    QTest::addColumn<QString>("quit");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("end");
    const QStringList closed = {QStringLiteral("GetNVMFileSize(18,10)"),
                                QStringLiteral("EndGBPMode()")};
    const QStringList quit = {QStringLiteral("EndGBPMode()"), QStringLiteral("EndGBPMode()")};
    QTest::newRow("close while clearing")
        << "ButtonClear2"
        << "ClearNVMFile" << 1 << "close"
        << "Clearing slot 2 is still waiting for the phone to answer.\n\nIf you end the program "
           "now, slot 2 may be empty or still hold what it held.\n\nEnd the program now, or "
           "wait for the phone?"
        << closed;
    QTest::newRow("quit as a verified upload ends its link") << "ButtonUp1"
                                                             << "EndGBPMode" << 2 << "Command1"
                                                             << "slot 1 holds the file" << quit;
    QTest::newRow("quit as a saved download ends its link")
        << "ButtonDown5"
        << "EndGBPMode" << 1 << "Command1"
        << "the file is already written" << quit;
}

void TestOperationWait::quitDuringACallAsksThenWaitsForTheEnd() {
    QFETCH(QString, button);
    QFETCH(QString, holdAt);
    QFETCH(int, holdNth);
    QFETCH(QString, quit);
    QFETCH(QString, question);
    QFETCH(QStringList, end);
    LiveBench b;
    QVERIFY(QTest::qWaitForWindowExposed(&b.form));
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("file.bin"));
    QVERIFY(writeFile(file, QByteArray("to hide")));
    b.prompt.answers = {file};
    b.form.setEndNowDelay(50);
    b.holdAt = holdAt;
    b.holdNth = holdNth;
    QString asked;
    bool shownWhileHeld = false;
    b.whileHeld = [&] {
        if (quit == QLatin1String("close")) {
            b.form.windowHandle()->close();
        } else {
            QTest::mouseClick(b.button("Command1"), Qt::LeftButton);
        }
        QMessageBox* box = nullptr;
        QTRY_VERIFY((box = b.form.findChild<QMessageBox*>(QStringLiteral("EndNowQuestion"))) !=
                    nullptr);
        asked = box->text();
        shownWhileHeld = b.form.isVisible();
    };
    b.button(qPrintable(button))->click();

    // The question told the operation's true state; the operation went on to its end; then the
    // request to quit was carried out.
    QVERIFY2(asked.contains(question), qPrintable(asked));
    QCOMPARE(b.log.entries.mid(b.log.entries.size() - end.size()), end);
    QVERIFY(shownWhileHeld);
    QCOMPARE(b.form.isVisible(), quit != QLatin1String("close"));
    QCOMPARE(b.quits, quit == QLatin1String("close") ? 0 : 1);
}

void TestOperationWait::dialogsTakeInputWithoutTheWaitCursor() {
    // Slot 2 asks where to save while its link is open.
    LiveBench b;
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    b.scripted.nvm[10] = QByteArray(100, 'x');
    int whileUp = int(Qt::BitmapCursor);  // no such cursor is ever set: the dialog never came
    bool tookKey = false;
    b.form.comDlg().setPrompt(std::make_unique<ModalPrompt>(
        folder.filePath(QStringLiteral("slot2.bin")), whileUp, tookKey));
    int atEnd = kNoOverride;
    b.scripted.onCall = [&](const QString& operation) {
        if (operation == QLatin1String("EndGBPMode")) {
            // Read on the window's thread, which waits for this call meanwhile.
            QMetaObject::invokeMethod(
                &b.form, [&atEnd] { atEnd = overrideShape(); }, Qt::BlockingQueuedConnection);
        }
    };
    b.button("ButtonDown2")->click();

    QCOMPARE(b.form.findChild<QLineEdit*>(QStringLiteral("Status"))->text(), QStringLiteral("OK"));
    QCOMPARE(whileUp, kNoOverride);
    QVERIFY(tookKey);
    QCOMPARE(atEnd, int(Qt::WaitCursor));
    QCOMPARE(overrideShape(), kNoOverride);
}

void TestOperationWait::writesAndCallsKeepTheirOrder_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("throwingCall");
    QTest::newRow("check") << QStringLiteral("check") << 0 << QString();
    QTest::newRow("clear slot 4") << QStringLiteral("clear") << 4 << QString();
    QTest::newRow("upload slot 1") << QStringLiteral("upload") << 1 << QString();
    QTest::newRow("download slot 2, read first") << QStringLiteral("download") << 2 << QString();
    QTest::newRow("download slot 5") << QStringLiteral("download") << 5 << QString();
    QTest::newRow("upload, write throws")
        << QStringLiteral("upload") << 3 << QStringLiteral("WriteNVMFile");
    QTest::newRow("clear, library missing")
        << QStringLiteral("clear") << 1 << QStringLiteral("InitGBPMode");
}

void TestOperationWait::writesAndCallsKeepTheirOrder() {
    QFETCH(QString, operation);
    QFETCH(int, slot);
    QFETCH(QString, throwingCall);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString upload = folder.filePath(QStringLiteral("up.bin"));
    QVERIFY(writeFile(upload, QByteArray(300, 'u')));

    // The same operation once on the library itself and once through the worker.
    auto run = [&](bool throughWorker) {
        EventLog log;
        ScriptedLibrary scripted(log);
        scripted.nvm[8 + slot] = QByteArray(42, 'd');
        if (!throwingCall.isEmpty()) {
            scripted.throws.emplace(throwingCall,
                                    AppError(ErrorCode::LibraryNotLoaded, QStringLiteral("GBP")));
        }
        RecordingView view(log);
        ScriptedFileDialog dialog(log);
        dialog.answers = {operation == QLatin1String("upload")
                              ? upload
                              : folder.filePath(QStringLiteral("down%1.bin").arg(throughWorker))};
        std::optional<WorkerLibrary> worker;
        GbpLibrary* library = &scripted;
        if (throughWorker) {
            library = &worker.emplace(scripted);
        }
        try {
            if (operation == QLatin1String("check")) {
                CheckSlots(view, *library);
            } else if (operation == QLatin1String("clear")) {
                ClearSlot(slotRow(slot), view, *library);
            } else if (operation == QLatin1String("upload")) {
                UploadSlot(slotRow(slot), view, *library, dialog);
            } else {
                DownloadSlot(slotRow(slot), view, *library, dialog);
            }
        } catch (const AppError& error) {
            log.add(QStringLiteral("Untrapped=%1").arg(error.number()));
        }
        // The download's own file name differs by design; the rest must match.
        return log.entries.replaceInStrings(QStringLiteral("down1.bin"),
                                            QStringLiteral("down0.bin"));
    };
    const QStringList direct = run(false);
    QVERIFY(direct.size() > 5);
    QCOMPARE(run(true), direct);
}

QTEST_MAIN(TestOperationWait)
#include "tst_operation_wait.moc"
