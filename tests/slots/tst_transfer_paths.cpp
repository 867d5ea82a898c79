#include <QTest>

#include "app_error.h"
#include "slot_bench.h"
#include "slot_operations.h"
#include "transfer_fixtures.h"

using namespace hideaway;
using namespace hideaway::test;

// The paths upload and download share: a cancel, a refused link, a library that throws and an
// end of the link that throws on the way out. Each row names the operation it drives.

namespace {

enum class Operation { Upload, Download };

/// Answers the dialog with an upload's source, written here, or a download's target, which must
/// not come to exist on these paths.
bool answerWithFile(Operation operation, SlotBench& bench) {
    const QString file = bench.path(operation == Operation::Upload ? QStringLiteral("f.bin")
                                                                   : QStringLiteral("out.bin"));
    bench.dialog.answers = {file};
    return operation == Operation::Download || writeFile(file, "new content");
}

void run(Operation operation, int slot, SlotBench& bench, FileDialog& dialog) {
    if (operation == Operation::Upload) {
        UploadSlot(slotRow(slot), bench.view, bench.library, dialog);
    } else {
        DownloadSlot(slotRow(slot), bench.view, bench.library, dialog);
    }
}

QStringList folderEntries(const SlotBench& bench) {
    return QDir(bench.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
}

/// A dialog that fails for a reason other than a cancel; it logs the call it fails in.
struct FailingDialog : FileDialog {
    EventLog& log;
    AppError error;
    FailingDialog(EventLog& l, AppError e) : log(l), error(std::move(e)) {}
    void setCancelError(bool) override {}
    void setFilter(const QString&) override {}
    void ShowOpen() override { fail(QStringLiteral("ShowOpen")); }
    void ShowSave() override { fail(QStringLiteral("ShowSave")); }
    QString fileName() const override { return {}; }
    void fail(const QString& name) {
        log.add(name);
        throw error;
    }
};

}  // namespace

class TransferPathsTest : public QObject {
    Q_OBJECT

private slots:
    void endsWithoutWriting_data() {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<int>("slot");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<std::deque<std::int16_t>>("initResults");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("slotEmptied");
        const QStringList cancelled{QStringLiteral("LCD="), QStringLiteral("Status=CANCEL"),
                                    QStringLiteral("EndGBPMode()")};
        const QStringList refused = failedLinkSteps(QStringLiteral("Error: -1"));
        const std::deque<std::int16_t> opens;
        const std::deque<std::int16_t> refuses{-1};
        for (const SlotRow& slot : kSlotTable) {
            const int n = slot.number;
            // Slot 2 has read the phone and holds the link when the save dialog comes; the others
            // have not opened one.
            const QStringList saveAsked =
                readsFirst(n) ? linkAndRead(slot) << kSave : QStringList{kSave};
            QTest::addRow("upload, slot %d, cancelled", n)
                << Operation::Upload << n << true << opens << uploadStarted() + cancelled << false;
            QTest::addRow("download, slot %d, cancelled", n)
                << Operation::Download << n << true << opens << saveAsked + cancelled << false;
            QTest::addRow("upload, slot %d, first link refused", n)
                << Operation::Upload << n << false << refuses << uploadStarted() + refused << false;
            // The slot was cleared on the first link, so the row stops naming the former file.
            QTest::addRow("upload, slot %d, second link refused", n)
                << Operation::Upload << n << false << std::deque<std::int16_t>{0, 5}
                << uploadStarted() + openedLinkSteps() +
                       QStringList{QStringLiteral("ClearNVMFile(18,%1)").arg(slot.fileNumber),
                                   QStringLiteral("EndGBPMode()")} +
                       failedLinkSteps(QStringLiteral("Error:  5")) + rowCleared(n)
                << true;
            QTest::addRow("download, slot %d, link refused", n)
                << Operation::Download << n << false << refuses
                << (readsFirst(n) ? QStringList() : QStringList{kSave}) + refused << false;
        }
    }
    void endsWithoutWriting() {
        QFETCH(Operation, operation);
        QFETCH(int, slot);
        QFETCH(bool, cancel);
        using Results = std::deque<std::int16_t>;
        QFETCH(Results, initResults);
        QFETCH(QStringList, expected);
        QFETCH(bool, slotEmptied);
        SlotBench bench;
        QVERIFY(answerWithFile(operation, bench));
        const QStringList files = folderEntries(bench);
        if (cancel) {
            bench.dialog.answers = {std::nullopt};
        }
        bench.library.initResults = initResults;

        run(operation, slot, bench, bench.dialog);

        QCOMPARE(bench.log.entries, expected);
        QCOMPARE(bench.phone(slotRow(slot)),
                 slotEmptied ? QByteArray() : SlotBench::formerContent(slot));
        QCOMPARE(bench.rowKept(slot), !slotEmptied);
        QVERIFY(bench.othersKept(slot));
        QVERIFY(!bench.library.gbpModeOpen);
        QCOMPARE(folderEntries(bench), files);
    }

    void libraryErrorIsTrapped_data() {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("nth");
        QTest::addColumn<ErrorCode>("code");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("lastStatus");
        QTest::addColumn<QString>("lastLcd");
        QTest::addColumn<bool>("emptied");
        QTest::addColumn<bool>("rowCleared");
        const auto upload = [](const char* name, int slot, const char* call, int nth,
                               const char* lastStatus, bool emptied, bool cleared) {
            QTest::newRow(name)
                << Operation::Upload << slot << QString::fromLatin1(call) << nth
                << ErrorCode::EntryPointMissing
                << QStringLiteral(
                       "Error while opening load dialog:\r\nCan't find DLL entry point: %1 in GBP")
                       .arg(QLatin1String(call))
                << QString::fromLatin1(lastStatus) << QStringLiteral("Connect...") << emptied
                << cleared;
        };
        upload("upload, slot 1, library not loaded", 1, "InitGBPMode", 1, "Open COMPORT...", false,
               false);
        upload("upload, slot 2, clear missing", 2, "ClearNVMFile", 1, "Ready...", false, false);
        // From here on the slot has been emptied, so the row must stop naming the former file.
        upload("upload, slot 1, first link's end fails", 1, "EndGBPMode", 1, "Ready...", true,
               true);
        upload("upload, slot 2, second link fails", 2, "InitGBPMode", 2, "Open COMPORT...", true,
               true);
        upload("upload, slot 3, write missing", 3, "WriteNVMFile", 1, "Ready...", true, true);
        upload("upload, slot 4, size missing", 4, "GetNVMFileSize", 1, "Ready...", false, true);
        upload("upload, slot 5, read missing", 5, "ReadNVMFile", 1, "Ready...", false, true);

        const auto download = [](const char* name, int slot, const char* call, ErrorCode code,
                                 const char* shown, const char* lastStatus, const char* lastLcd) {
            QTest::newRow(name) << Operation::Download << slot << QString::fromLatin1(call) << 1
                                << code
                                << QStringLiteral("Error while opening save dialog:\r\n") +
                                       QLatin1String(shown)
                                << QString::fromLatin1(lastStatus) << QString::fromLatin1(lastLcd)
                                << false << false;
        };
        download("download, slot 1, library not loaded", 1, "InitGBPMode",
                 ErrorCode::LibraryNotLoaded, "Error in loading DLL: InitGBPMode",
                 "Open COMPORT...", "Connect...");
        download("download, slot 2, library not loaded", 2, "InitGBPMode",
                 ErrorCode::LibraryNotLoaded, "Error in loading DLL: InitGBPMode",
                 "Open COMPORT...", "Connect...");
        download("download, slot 3, read missing", 3, "ReadNVMFile", ErrorCode::EntryPointMissing,
                 "Can't find DLL entry point: ReadNVMFile", "DOWNLOADING SLOT3...", "DOWNLOAD");
        download("download, slot 2, read missing", 2, "ReadNVMFile", ErrorCode::EntryPointMissing,
                 "Can't find DLL entry point: ReadNVMFile", "DOWNLOADING SLOT2...", "DOWNLOAD");
        download("download, slot 4, dialog fails", 4, "ShowSave", ErrorCode::BadFileName,
                 "Bad file name or number: ShowSave", "OFFLINE", "");
        download("download, slot 2, dialog fails", 2, "ShowSave", ErrorCode::BadFileName,
                 "Bad file name or number: ShowSave", "DOWNLOADING SLOT2...", "DOWNLOAD");
    }
    void libraryErrorIsTrapped() {
        QFETCH(Operation, operation);
        QFETCH(int, slot);
        QFETCH(QString, call);
        QFETCH(int, nth);
        QFETCH(ErrorCode, code);
        QFETCH(QString, shown);
        QFETCH(QString, lastStatus);
        QFETCH(QString, lastLcd);
        QFETCH(bool, emptied);
        QFETCH(bool, rowCleared);
        SlotBench bench;
        QVERIFY(answerWithFile(operation, bench));
        const QStringList files = folderEntries(bench);
        const AppError error(
            code, operation == Operation::Upload ? call + QStringLiteral(" in GBP") : call);
        FailingDialog failingDialog(bench.log, error);
        const bool dialogFails = call.startsWith(QStringLiteral("Show"));
        int calls = 0;
        bench.library.onCall = [&](const QString& name) {
            if (!dialogFails && name == call && ++calls == nth) {
                throw error;
            }
        };

        run(operation, slot, bench,
            dialogFails ? static_cast<FileDialog&>(failingDialog) : bench.dialog);

        QCOMPARE(bench.view.messages, QStringList{shown});
        // The failed call, the message, the row emptied if the slot lost its file, the link closed.
        QStringList tail{QStringLiteral("Message=") + shown};
        if (rowCleared) {
            tail << ::rowCleared(slot);
        }
        tail << QStringLiteral("EndGBPMode()");
        QVERIFY(bench.log.entries.size() > tail.size());
        const qsizetype failed = bench.log.entries.size() - tail.size() - 1;
        QVERIFY2(bench.log.entries.at(failed).startsWith(call),
                 qPrintable(bench.log.entries.join(QLatin1Char('|'))));
        QCOMPARE(bench.log.entries.mid(failed + 1), tail);
        QCOMPARE(bench.view.status, lastStatus);
        QCOMPARE(bench.view.lcd, lastLcd);
        QCOMPARE(bench.rowKept(slot), !rowCleared);
        QCOMPARE(bench.phone(slotRow(slot)).isEmpty(), emptied);
        QCOMPARE(folderEntries(bench), files);
    }

    void endInErrorPathIsNotTrapped_data() {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<int>("slot");
        QTest::newRow("upload, slot 1") << Operation::Upload << 1;
        QTest::newRow("download, slot 3") << Operation::Download << 3;
    }
    void endInErrorPathIsNotTrapped() {
        QFETCH(Operation, operation);
        QFETCH(int, slot);
        SlotBench bench;
        bench.dialog.answers = {std::nullopt};
        bench.library.throws.emplace(QStringLiteral("EndGBPMode"),
                                     AppError(ErrorCode::LibraryNotLoaded, QStringLiteral("GBP")));

        QVERIFY_THROWS_EXCEPTION(AppError, run(operation, slot, bench, bench.dialog));

        QCOMPARE(bench.view.status, QStringLiteral("CANCEL"));
        QCOMPARE(bench.library.calls(), QStringList{QStringLiteral("EndGBPMode()")});
        QCOMPARE(bench.view.messages, QStringList());
    }
};

QTEST_GUILESS_MAIN(TransferPathsTest)
#include "tst_transfer_paths.moc"
