#include <QTest>

#include "slot_bench.h"
#include "slot_operations.h"
#include "transfer_fixtures.h"
#include "unprivileged.h"

using namespace hideaway;
using namespace hideaway::test;

namespace {

const QString kFailedVerification =
    QStringLiteral("Message=ERROR writing SLOT Content! Please Try Again!");

/// The steps from the first link to the size read back, for a file of length bytes.
QStringList writtenAndMeasured(const SlotRow& slot, int length) {
    const QString nvm = QStringLiteral("18,%1").arg(slot.fileNumber);
    return uploadStarted() + openedLinkSteps() +
           QStringList{QStringLiteral("ClearNVMFile(%1)").arg(nvm),
                       QStringLiteral("EndGBPMode()")} +
           openedLinkSteps() +
           QStringList{QStringLiteral("WriteNVMFile(%1,%2)").arg(nvm).arg(length),
                       QStringLiteral("GetNVMFileSize(%1)").arg(nvm)};
}

QString readBack(const SlotRow& slot) {
    return QStringLiteral("ReadNVMFile(18,%1,21000)").arg(slot.fileNumber);
}

enum class Fault { ShortWrite, ChangedByte, SizeFails, ReadBackFails, ReadBackLonger };

}  // namespace

class UploadSlotTest : public QObject {
    Q_OBJECT

private slots:
    void storesFileAndShowsIt_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("otherResult");
        for (const SlotRow& slot : kSlotTable) {
            const int n = slot.number;
            QTest::addRow("slot %d, empty file", n) << n << 0 << 0;
            QTest::addRow("slot %d, one byte", n) << n << 1 << 0;
            QTest::addRow("slot %d, upload limit", n) << n << 20990 << 0;
        }
        // Clear, write and end answer what means nothing; the size and the bytes read back decide.
        QTest::newRow("slot 4, three bytes, other calls return -7") << 4 << 3 << -7;
    }
    void storesFileAndShowsIt() {
        QFETCH(int, slot);
        QFETCH(int, size);
        QFETCH(int, otherResult);
        const SlotRow& row = slotRow(slot);
        SlotBench bench;
        bench.library.otherResult = static_cast<std::int16_t>(otherResult);
        const QString file = bench.path(
            QStringLiteral("Mein Tagebuch \u00e4\u00f6\u00fc \u65e5\u8a18 %1.bin").arg(size));
        const QByteArray bytes = randomBytes(size, static_cast<quint32>(slot * 100 + size));
        QVERIFY(writeFile(file, bytes));
        bench.dialog.answers = {file};

        UploadSlot(row, bench.view, bench.library, bench.dialog);

        const QString count = QString::number(size);
        QStringList expected = writtenAndMeasured(row, size);
        expected << readBack(row) << QStringLiteral("LCD=OK!")
                 << QStringLiteral("Name%1=").arg(slot) + file
                 << QStringLiteral("Bar%1=%2").arg(slot).arg(count) << QStringLiteral("Status=OK")
                 << QStringLiteral("Bytes%1=%2").arg(slot).arg(count)
                 << QStringLiteral("EndGBPMode()");
        QCOMPARE(bench.log.entries, expected);
        QVERIFY(bench.dialog.cancelError);
        QCOMPARE(bench.phone(row), bytes);
        QVERIFY(bench.othersKept(slot));
        QCOMPARE(bench.view.bars[static_cast<std::size_t>(slot)], static_cast<float>(size));
        QVERIFY(!bench.library.gbpModeOpen);
    }

    void fileTooLong_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<qint64>("size");
        for (const SlotRow& slot : kSlotTable) {
            QTest::addRow("slot %d, one byte above the limit", slot.number)
                << slot.number << qint64{20991};
        }
        // 4 GiB + 100 would pass as 100 bytes if its length were cut to 32 bits.
        QTest::newRow("slot 3, beyond 32 bits") << 3 << (qint64{1} << 32) + 100;
    }
    void fileTooLong() {
        QFETCH(int, slot);
        QFETCH(qint64, size);
        SlotBench bench;
        QFile file(bench.path(QStringLiteral("big.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (!file.resize(size)) {
            QSKIP("this file system cannot hold the file");
        }
        file.close();
        bench.dialog.answers = {file.fileName()};

        UploadSlot(slotRow(slot), bench.view, bench.library, bench.dialog);

        QCOMPARE(bench.log.entries,
                 (uploadStarted() +
                  QStringList{QStringLiteral("Message=FileSize MUST be under 21000 Bytes!!!"),
                              QStringLiteral("Status=ERROR"), QStringLiteral("LCD=Error!")}));
        QVERIFY(bench.rowKept(slot));
        QCOMPARE(bench.phone(slotRow(slot)), SlotBench::formerContent(slot));
    }

    void failedVerification_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("readsBack");
        QTest::addColumn<bool>("reportsError");
        for (const SlotRow& slot : kSlotTable) {
            const int n = slot.number;
            const bool one = n == 1;
            QTest::addRow("slot %d, short write", n) << n << Fault::ShortWrite << false << one;
            QTest::addRow("slot %d, one byte changed", n) << n << Fault::ChangedByte << true << one;
            QTest::addRow("slot %d, size read fails", n) << n << Fault::SizeFails << false << one;
            QTest::addRow("slot %d, read back fails", n)
                << n << Fault::ReadBackFails << true << one;
            QTest::addRow("slot %d, read back gives more", n)
                << n << Fault::ReadBackLonger << true << one;
        }
    }
    void failedVerification() {
        QFETCH(int, slot);
        QFETCH(Fault, fault);
        QFETCH(bool, readsBack);
        QFETCH(bool, reportsError);
        const SlotRow& row = slotRow(slot);
        SlotBench bench;
        const QByteArray bytes = randomBytes(100, static_cast<quint32>(slot));
        QVERIFY(writeFile(bench.path(QStringLiteral("f.bin")), bytes));
        bench.dialog.answers = {bench.path(QStringLiteral("f.bin"))};
        switch (fault) {
            case Fault::ShortWrite:
                bench.library.shortWriteBy = 1;
                break;
            case Fault::ChangedByte:
                bench.library.corruptByteAt = 5;
                break;
            case Fault::SizeFails:
                bench.library.sizeResults[row.fileNumber] = {-1};
                break;
            case Fault::ReadBackFails:
                bench.library.readResults[row.fileNumber] = {-3};
                break;
            case Fault::ReadBackLonger:
                bench.library.readResults[row.fileNumber] = {101};
                break;
        }

        UploadSlot(row, bench.view, bench.library, bench.dialog);

        QStringList expected = writtenAndMeasured(row, 100);
        if (readsBack) {
            expected << readBack(row);
        }
        expected << kFailedVerification;
        if (reportsError) {
            expected << QStringLiteral("LCD=ERROR") << QStringLiteral("Status=ERROR");
        }
        expected << rowCleared(slot) << QStringLiteral("EndGBPMode()");
        QCOMPARE(bench.log.entries, expected);
        QVERIFY(bench.othersKept(slot));
        QCOMPARE(bench.view.status,
                 reportsError ? QStringLiteral("ERROR") : QStringLiteral("Ready..."));
        QCOMPARE(bench.view.lcd,
                 reportsError ? QStringLiteral("ERROR") : QStringLiteral("Connect..."));
    }

    void fileCannotBeLoaded_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("report");
        QTest::addColumn<bool>("unprivileged");
        QTest::newRow("slot 1, name of a file that does not exist")
            << 1 << "missing.bin" << QStringLiteral("File not found") << false;
        QTest::newRow("slot 2, folder chosen")
            << 2 << "folder" << QStringLiteral("Path/File access error") << false;
        QTest::newRow("slot 3, no read permission")
            << 3 << "secret.bin" << QStringLiteral("Permission denied") << true;
#if defined(Q_OS_LINUX)
        // Its size reads 0 while it holds text: the file changed between measuring and loading.
        QTest::newRow("slot 4, file holds more than it measured")
            << 4 << "/proc/self/status" << QStringLiteral("Input past end of file") << false;
        QTest::newRow("slot 5, device chosen")
            << 5 << "/dev/zero" << QStringLiteral("Path/File access error") << false;
#endif
        QTest::newRow("slot 1, no name")
            << 1 << "" << QStringLiteral("Bad file name or number") << false;
    }
    void fileCannotBeLoaded() {
        QFETCH(int, slot);
        QFETCH(QString, choice);
        QFETCH(QString, report);
        QFETCH(bool, unprivileged);
        SlotBench bench;
        QVERIFY(QDir(bench.dir.path()).mkdir(QStringLiteral("folder")));
        QVERIFY(writeFile(bench.path(QStringLiteral("secret.bin")), "secret"));
        QVERIFY(QFile::setPermissions(bench.path(QStringLiteral("secret.bin")), QFile::WriteOwner));
        const QString path =
            choice.isEmpty() || choice.startsWith(QLatin1Char('/')) ? choice : bench.path(choice);
        bench.dialog.answers = {path};

        std::optional<Unprivileged> user;
        if (unprivileged) {
            user.emplace();
            if (!user->ok()) {
                QSKIP("cannot leave the privileged user, so every file is readable");
            }
        }
        UploadSlot(slotRow(slot), bench.view, bench.library, bench.dialog);
        user.reset();

        QCOMPARE(bench.view.messages.size(), 1);
        const QString message = bench.view.messages.first();
        const QString opening = QStringLiteral("Error while opening load dialog:\r\n") + report;
        QVERIFY2(message.startsWith(opening), qPrintable(message));
        QVERIFY2(message.contains(path), qPrintable(message));
        // The file is loaded before any link opens, so the phone never hears of it.
        QCOMPARE(bench.log.entries,
                 (uploadStarted() + QStringList{QStringLiteral("Message=") + message,
                                                QStringLiteral("EndGBPMode()")}));
        QCOMPARE(bench.view.status, QStringLiteral("UPLOAD"));
        QCOMPARE(bench.view.lcd, QStringLiteral("Uploading..."));
        QVERIFY(bench.rowKept(slot));
    }
};

QTEST_GUILESS_MAIN(UploadSlotTest)
#include "tst_upload_slot.moc"
