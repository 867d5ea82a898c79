#include <QTest>

#include "slot_bench.h"
#include "slot_operations.h"
#include "transfer_fixtures.h"

using namespace hideaway;
using namespace hideaway::test;

namespace {

/// The save dialog and the read, in the order the slot takes them.
QStringList dialogAndRead(const SlotRow& slot) {
    return readsFirst(slot.number) ? linkAndRead(slot) << kSave
                                   : QStringList{kSave} + linkAndRead(slot);
}

}  // namespace

class DownloadSlotTest : public QObject {
    Q_OBJECT

private slots:
    void savesSlotAndShowsIt_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("overLongerFile");
        for (const SlotRow& slot : kSlotTable) {
            const int n = slot.number;
            QTest::addRow("slot %d, empty slot", n) << n << 0 << false;
            QTest::addRow("slot %d, one byte over a longer file", n) << n << 1 << true;
            QTest::addRow("slot %d, full slot", n) << n << 21000 << false;
        }
    }
    void savesSlotAndShowsIt() {
        QFETCH(int, slot);
        QFETCH(int, size);
        QFETCH(bool, overLongerFile);
        const SlotRow& row = slotRow(slot);
        SlotBench bench;
        const QByteArray content = randomBytes(size, static_cast<quint32>(slot + size));
        bench.library.nvm[row.fileNumber] = content;
        const QString target =
            bench.path(QStringLiteral("Sicherung \u00e4\u00f6\u00fc \u65e5.bin"));
        if (overLongerFile) {
            QVERIFY(writeFile(target, randomBytes(30000, 1)));
        }
        bench.dialog.answers = {target};

        DownloadSlot(row, bench.view, bench.library, bench.dialog);

        const QString count = QString::number(size);
        QStringList expected = dialogAndRead(row);
        expected << QStringLiteral("LCD=OK!") << QStringLiteral("Name%1=").arg(slot) + target
                 << QStringLiteral("Status=OK") << QStringLiteral("Bar%1=%2").arg(slot).arg(count)
                 << QStringLiteral("Bytes%1=%2").arg(slot).arg(count)
                 << QStringLiteral("EndGBPMode()");
        QCOMPARE(bench.log.entries, expected);
        QVERIFY(bench.dialog.cancelError);
        QCOMPARE(readFile(target), content);
        QCOMPARE(QFileInfo(target).size(), qint64{size});
        QCOMPARE(bench.phone(row), content);
        QVERIFY(bench.othersKept(slot));
        QCOMPARE(bench.view.bars[static_cast<std::size_t>(slot)], static_cast<float>(size));
        QVERIFY(!bench.library.gbpModeOpen);
    }

    void readFails_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("result");
        for (const SlotRow& slot : kSlotTable) {
            const int n = slot.number;
            QTest::addRow("slot %d, read returns -1", n) << n << -1;
            QTest::addRow("slot %d, read returns -3", n) << n << -3;
            QTest::addRow("slot %d, read returns more than asked", n) << n << 21001;
        }
    }
    void readFails() {
        QFETCH(int, slot);
        QFETCH(int, result);
        const SlotRow& row = slotRow(slot);
        SlotBench bench;
        bench.library.readResults[row.fileNumber] = {static_cast<std::int16_t>(result)};
        const QString target = bench.path(QStringLiteral("out.bin"));
        bench.dialog.answers = {target};

        DownloadSlot(row, bench.view, bench.library, bench.dialog);

        QStringList expected =
            readsFirst(slot) ? linkAndRead(row) : QStringList{kSave} + linkAndRead(row);
        expected << QStringLiteral("Status=%1").arg(result) << QStringLiteral("LCD=ERROR!")
                 << QStringLiteral("Message=Cannot Download SLOT%1!!! Please retry...").arg(slot)
                 << QStringLiteral("EndGBPMode()");
        QCOMPARE(bench.log.entries, expected);
        QVERIFY(!QFile::exists(target));
        QVERIFY(bench.rowKept(slot));
        QVERIFY(!bench.library.gbpModeOpen);
    }

    void saveFails_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("report");
        for (const SlotRow& slot : kSlotTable) {
            const int n = slot.number;
            QTest::addRow("slot %d, missing folder", n) << n << "missing/out.bin"
                                                        << "Path not found: ";
            QTest::addRow("slot %d, folder chosen", n) << n << "folder"
                                                       << "Path/File access error: ";
        }
    }
    void saveFails() {
        QFETCH(int, slot);
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
        QStringList expected = dialogAndRead(row);
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
};

QTEST_GUILESS_MAIN(DownloadSlotTest)
#include "tst_download_slot.moc"
