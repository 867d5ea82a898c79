#include <QTest>

#include "app_error.h"
#include "link_steps.h"
#include "slot_bench.h"
#include "slot_operations.h"
#include "transfer_fixtures.h"

using namespace hideaway;
using namespace hideaway::test;

namespace {

const QString kSave = QStringLiteral("ShowSave[Bin Files *.bin|*.bin]");

/// The link, the reading texts and the read, as every download that reaches the phone does.
QStringList linkAndRead(const SlotRow& slot) {
    return openedLinkSteps() +
           QStringList{QStringLiteral("Status=DOWNLOADING SLOT%1...").arg(slot.number),
                       QStringLiteral("LCD=DOWNLOAD"),
                       QStringLiteral("ReadNVMFile(18,%1,21000)").arg(slot.fileNumber)};
}

/// The save dialog and the read, in the order the slot takes them.
QStringList dialogAndRead(const SlotRow& slot, bool readsFirst) {
    return readsFirst ? linkAndRead(slot) << kSave : QStringList{kSave} + linkAndRead(slot);
}

/// Rows for the five slots; slot 2 alone asks for the file name after it read the phone.
void addSlotRows(const char* what) {
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("readsFirst");
    for (const SlotRow& slot : kSlotTable) {
        QTest::addRow("slot %d, %s", slot.number, what) << slot.number << (slot.number == 2);
    }
}

}  // namespace

class DownloadSlotTest : public QObject {
    Q_OBJECT

private slots:
    void savesSlotAndShowsIt_data();
    void savesSlotAndShowsIt();
    void cancel_data();
    void cancel();
    void linkCannotOpen_data();
    void linkCannotOpen();
    void readFails_data();
    void readFails();
    void saveFails_data();
    void saveFails();
    void libraryErrorIsTrapped_data();
    void libraryErrorIsTrapped();
    void endInErrorPathIsNotTrapped();
};

void DownloadSlotTest::savesSlotAndShowsIt_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("readsFirst");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("overLongerFile");
    for (const SlotRow& slot : kSlotTable) {
        const int n = slot.number;
        const bool two = n == 2;
        QTest::addRow("slot %d, empty slot", n) << n << two << 0 << false;
        QTest::addRow("slot %d, one byte over a longer file", n) << n << two << 1 << true;
        QTest::addRow("slot %d, full slot", n) << n << two << 21000 << false;
    }
}

void DownloadSlotTest::savesSlotAndShowsIt() {
    QFETCH(int, slot);
    QFETCH(bool, readsFirst);
    QFETCH(int, size);
    QFETCH(bool, overLongerFile);
    const SlotRow& row = slotRow(slot);
    SlotBench bench;
    const QByteArray content = randomBytes(size, static_cast<quint32>(slot + size));
    bench.library.nvm[row.fileNumber] = content;
    const QString target = bench.path(QStringLiteral("Sicherung \u00e4\u00f6\u00fc \u65e5.bin"));
    if (overLongerFile) {
        QVERIFY(writeFile(target, randomBytes(30000, 1)));
    }
    bench.dialog.answers = {target};

    DownloadSlot(row, bench.view, bench.library, bench.dialog);

    const QString count = QString::number(size);
    QStringList expected = dialogAndRead(row, readsFirst);
    expected << QStringLiteral("LCD=OK!") << QStringLiteral("Name%1=").arg(slot) + target
             << QStringLiteral("Status=OK") << QStringLiteral("Bar%1=%2").arg(slot).arg(count)
             << QStringLiteral("Bytes%1=%2").arg(slot).arg(count) << QStringLiteral("EndGBPMode()");
    QCOMPARE(bench.log.entries, expected);
    QVERIFY(bench.dialog.cancelError);
    QCOMPARE(readFile(target), content);
    QCOMPARE(QFileInfo(target).size(), qint64{size});
    QCOMPARE(bench.phone(row), content);
    QVERIFY(bench.othersKept(slot));
    QCOMPARE(bench.view.bars[static_cast<std::size_t>(slot)], static_cast<float>(size));
    QVERIFY(!bench.library.gbpModeOpen);
}

void DownloadSlotTest::cancel_data() {
    addSlotRows("cancelled");
}

void DownloadSlotTest::cancel() {
    QFETCH(int, slot);
    QFETCH(bool, readsFirst);
    const SlotRow& row = slotRow(slot);
    SlotBench bench;
    bench.dialog.answers = {std::nullopt};

    DownloadSlot(row, bench.view, bench.library, bench.dialog);

    // Slot 2 has read the phone and holds the link when the dialog is cancelled; the others have
    // not opened one.
    QStringList expected = readsFirst ? linkAndRead(row) : QStringList();
    expected << kSave << QStringLiteral("LCD=") << QStringLiteral("Status=CANCEL")
             << QStringLiteral("EndGBPMode()");
    QCOMPARE(bench.log.entries, expected);
    QCOMPARE(bench.view.messages, QStringList());
    QVERIFY(bench.rowKept(slot));
    QVERIFY(!bench.library.gbpModeOpen);
    QCOMPARE(QDir(bench.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
}

void DownloadSlotTest::linkCannotOpen_data() {
    addSlotRows("link refused");
}

void DownloadSlotTest::linkCannotOpen() {
    QFETCH(int, slot);
    QFETCH(bool, readsFirst);
    SlotBench bench;
    bench.library.initResults = {-1};
    const QString target = bench.path(QStringLiteral("out.bin"));
    bench.dialog.answers = {target};

    DownloadSlot(slotRow(slot), bench.view, bench.library, bench.dialog);

    QStringList expected = readsFirst ? QStringList() : QStringList{kSave};
    expected << failedLinkSteps(QStringLiteral("Error: -1"));
    QCOMPARE(bench.log.entries, expected);
    QVERIFY(!QFile::exists(target));
    QVERIFY(bench.rowKept(slot));
}

void DownloadSlotTest::readFails_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("readsFirst");
    QTest::addColumn<int>("result");
    for (const SlotRow& slot : kSlotTable) {
        const int n = slot.number;
        const bool two = n == 2;
        QTest::addRow("slot %d, read returns -1", n) << n << two << -1;
        QTest::addRow("slot %d, read returns -3", n) << n << two << -3;
        QTest::addRow("slot %d, read returns more than asked", n) << n << two << 21001;
    }
}

void DownloadSlotTest::readFails() {
    QFETCH(int, slot);
    QFETCH(bool, readsFirst);
    QFETCH(int, result);
    const SlotRow& row = slotRow(slot);
    SlotBench bench;
    bench.library.readResults[row.fileNumber] = {static_cast<std::int16_t>(result)};
    const QString target = bench.path(QStringLiteral("out.bin"));
    bench.dialog.answers = {target};

    DownloadSlot(row, bench.view, bench.library, bench.dialog);

    QStringList expected = readsFirst ? linkAndRead(row) : QStringList{kSave} + linkAndRead(row);
    expected << QStringLiteral("Status=%1").arg(result) << QStringLiteral("LCD=ERROR!")
             << QStringLiteral("Message=Cannot Download SLOT%1!!! Please retry...").arg(slot)
             << QStringLiteral("EndGBPMode()");
    QCOMPARE(bench.log.entries, expected);
    QVERIFY(!QFile::exists(target));
    QVERIFY(bench.rowKept(slot));
    QVERIFY(!bench.library.gbpModeOpen);
}

void DownloadSlotTest::saveFails_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("readsFirst");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("report");
    for (const SlotRow& slot : kSlotTable) {
        const int n = slot.number;
        QTest::addRow("slot %d, missing folder", n) << n << (n == 2) << "missing/out.bin"
                                                    << "Path not found: ";
        QTest::addRow("slot %d, folder chosen", n) << n << (n == 2) << "folder"
                                                   << "Path/File access error: ";
    }
}

void DownloadSlotTest::saveFails() {
    QFETCH(int, slot);
    QFETCH(bool, readsFirst);
    QFETCH(QString, target);
    QFETCH(QString, report);
    const SlotRow& row = slotRow(slot);
    SlotBench bench;
    QVERIFY(QDir(bench.dir.path()).mkdir(QStringLiteral("folder")));
    bench.dialog.answers = {bench.path(target)};

    DownloadSlot(row, bench.view, bench.library, bench.dialog);

    QCOMPARE(bench.view.messages.size(), 1);
    const QString message = bench.view.messages.first();
    QVERIFY2(message.startsWith(report + bench.path(target)), qPrintable(message));
    // A failed save is not reported as a download: the row keeps the former file.
    QStringList expected = dialogAndRead(row, readsFirst);
    expected << QStringLiteral("Message=") + message << QStringLiteral("Status=ERROR")
             << QStringLiteral("LCD=ERROR!") << QStringLiteral("EndGBPMode()");
    QCOMPARE(bench.log.entries, expected);
    QVERIFY(bench.rowKept(slot));
    QVERIFY(!bench.library.gbpModeOpen);
    QVERIFY(!QFile::exists(bench.path(QStringLiteral("missing"))));
    QCOMPARE(QDir(bench.path(QStringLiteral("folder")))
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
}

void DownloadSlotTest::libraryErrorIsTrapped_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<ErrorCode>("code");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("lastStatus");
    QTest::addColumn<QString>("lastLcd");
    QTest::newRow("slot 1, library not loaded")
        << 1 << "InitGBPMode" << ErrorCode::LibraryNotLoaded << "Error in loading DLL: InitGBPMode"
        << "Open COMPORT..."
        << "Connect...";
    QTest::newRow("slot 2, library not loaded")
        << 2 << "InitGBPMode" << ErrorCode::LibraryNotLoaded << "Error in loading DLL: InitGBPMode"
        << "Open COMPORT..."
        << "Connect...";
    QTest::newRow("slot 3, read missing") << 3 << "ReadNVMFile" << ErrorCode::EntryPointMissing
                                          << "Can't find DLL entry point: ReadNVMFile"
                                          << "DOWNLOADING SLOT3..."
                                          << "DOWNLOAD";
    QTest::newRow("slot 2, read missing") << 2 << "ReadNVMFile" << ErrorCode::EntryPointMissing
                                          << "Can't find DLL entry point: ReadNVMFile"
                                          << "DOWNLOADING SLOT2..."
                                          << "DOWNLOAD";
    QTest::newRow("slot 4, dialog fails")
        << 4 << "ShowSave" << ErrorCode::BadFileName << "Bad file name or number: ShowSave"
        << "OFFLINE"
        << "";
    QTest::newRow("slot 2, dialog fails")
        << 2 << "ShowSave" << ErrorCode::BadFileName << "Bad file name or number: ShowSave"
        << "DOWNLOADING SLOT2..."
        << "DOWNLOAD";
}

void DownloadSlotTest::libraryErrorIsTrapped() {
    QFETCH(int, slot);
    QFETCH(QString, operation);
    QFETCH(ErrorCode, code);
    QFETCH(QString, shown);
    QFETCH(QString, lastStatus);
    QFETCH(QString, lastLcd);
    SlotBench bench;
    const QString target = bench.path(QStringLiteral("out.bin"));
    const AppError error(code, operation);
    // A dialog that fails for a reason other than a cancel.
    struct FailingDialog : FileDialog {
        AppError error;
        explicit FailingDialog(AppError e) : error(std::move(e)) {}
        void setCancelError(bool) override {}
        void setFilter(const QString&) override {}
        void ShowOpen() override { throw error; }
        void ShowSave() override { throw error; }
        QString fileName() const override { return {}; }
    } failingDialog(error);
    const bool dialogFails = operation == QStringLiteral("ShowSave");
    if (!dialogFails) {
        bench.library.throws.emplace(operation, error);
    }
    bench.dialog.answers = {target};

    DownloadSlot(slotRow(slot), bench.view, bench.library,
                 dialogFails ? static_cast<FileDialog&>(failingDialog) : bench.dialog);

    QCOMPARE(bench.view.messages,
             QStringList{QStringLiteral("Error while opening save dialog:\r\n") + shown});
    QCOMPARE(bench.log.entries.last(), QStringLiteral("EndGBPMode()"));
    QCOMPARE(bench.view.status, lastStatus);
    QCOMPARE(bench.view.lcd, lastLcd);
    QVERIFY(!QFile::exists(target));
    QVERIFY(bench.rowKept(slot));
}

void DownloadSlotTest::endInErrorPathIsNotTrapped() {
    SlotBench bench;
    bench.dialog.answers = {std::nullopt};
    bench.library.throws.emplace(QStringLiteral("EndGBPMode"),
                                 AppError(ErrorCode::LibraryNotLoaded, QStringLiteral("GBP")));

    QVERIFY_THROWS_EXCEPTION(AppError,
                             DownloadSlot(slotRow(3), bench.view, bench.library, bench.dialog));

    QCOMPARE(bench.view.status, QStringLiteral("CANCEL"));
    QCOMPARE(bench.library.calls(), QStringList{QStringLiteral("EndGBPMode()")});
}

QTEST_GUILESS_MAIN(DownloadSlotTest)
#include "tst_download_slot.moc"
