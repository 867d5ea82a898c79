#include <QTest>

#include "app_error.h"
#include "event_log.h"
#include "link_steps.h"
#include "recording_view.h"
#include "scripted_library.h"
#include "slot_operations.h"
#include "slot_table.h"

using hideaway::AppError;
using hideaway::ClearSlot;
using hideaway::ErrorCode;
using hideaway::slotRow;
using hideaway::test::EventLog;
using hideaway::test::openedLinkSteps;
using hideaway::test::RecordingView;
using hideaway::test::ScriptedLibrary;

namespace {

/// Every row holds a file, as after uploads and a check.
void fillRows(RecordingView& view) {
    for (std::size_t n = 1; n <= 5; ++n) {
        view.names[n] = QStringLiteral("File PRESENT in Slot%1!").arg(n);
        view.bytes[n] = QString::number(1000 * n);
        view.bars[n] = static_cast<float>(1000 * n);
    }
    view.total = QStringLiteral("15000");
}

void addSlotRows() {
    QTest::addColumn<int>("slot");
    for (int n = 1; n <= 5; ++n) {
        QTest::addRow("slot %d", n) << n;
    }
}

}  // namespace

class TestClearSlot : public QObject {
    Q_OBJECT

private slots:
    void clearsOnlyItsRow_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("clearResult");
        for (int n = 1; n <= 5; ++n) {
            QTest::addRow("slot %d, library answers 0", n) << n << 0;
            QTest::addRow("slot %d, library answers -1", n) << n << -1;
        }
    }
    void clearsOnlyItsRow() {
        QFETCH(int, slot);
        QFETCH(int, clearResult);
        EventLog log;
        RecordingView view(log);
        fillRows(view);
        const RecordingView before = view;
        ScriptedLibrary library(log);
        library.nvm[8 + slot] = QByteArray(300, 'x');
        library.otherResult = static_cast<std::int16_t>(clearResult);

        QVERIFY(ClearSlot(slotRow(slot), view, library));

        QStringList expected{QStringLiteral("Status=CLEARING SLOT%1...").arg(slot),
                             QStringLiteral("LCD=Clearing...")};
        expected << openedLinkSteps() << QStringLiteral("ClearNVMFile(18,%1)").arg(8 + slot)
                 << QStringLiteral("GetNVMFileSize(18,%1)").arg(8 + slot)
                 << QStringLiteral("EndGBPMode()") << QStringLiteral("Status=S%1 CLEAR").arg(slot)
                 << QStringLiteral("LCD=CLEAR") << QStringLiteral("Bar%1=0").arg(slot)
                 << QStringLiteral("Name%1=<SLOT%1 CLEAR>").arg(slot)
                 << QStringLiteral("Bytes%1=0").arg(slot);
        QCOMPARE(log.entries, expected);

        for (std::size_t n = 1; n <= 5; ++n) {
            if (n == static_cast<std::size_t>(slot)) {
                continue;
            }
            QCOMPARE(view.names[n], before.names[n]);
            QCOMPARE(view.bytes[n], before.bytes[n]);
            QCOMPARE(view.bars[n], before.bars[n]);
        }
        QCOMPARE(view.total, before.total);
        QVERIFY(library.nvm[8 + slot].isEmpty());
        QVERIFY(!library.gbpModeOpen);
    }

    // Whatever ClearNVMFile answered, a slot that does not measure 0 afterwards was not cleared.
    void failedClearLeavesTheRow_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("sizeAfter");
        for (int n = 1; n <= 5; ++n) {
            QTest::addRow("slot %d still holds 300 bytes", n) << n << 300;
            QTest::addRow("slot %d cannot be measured", n) << n << -3;
        }
    }
    void failedClearLeavesTheRow() {
        QFETCH(int, slot);
        QFETCH(int, sizeAfter);
        EventLog log;
        RecordingView view(log);
        fillRows(view);
        const RecordingView before = view;
        ScriptedLibrary library(log);
        library.sizeResults[8 + slot] = {static_cast<std::int16_t>(sizeAfter)};

        QVERIFY(!ClearSlot(slotRow(slot), view, library));

        QStringList expected{QStringLiteral("Status=CLEARING SLOT%1...").arg(slot),
                             QStringLiteral("LCD=Clearing...")};
        expected << openedLinkSteps() << QStringLiteral("ClearNVMFile(18,%1)").arg(8 + slot)
                 << QStringLiteral("GetNVMFileSize(18,%1)").arg(8 + slot)
                 << QStringLiteral("EndGBPMode()") << QStringLiteral("Status=ERROR")
                 << QStringLiteral("LCD=Error!");
        QCOMPARE(log.entries, expected);
        QCOMPARE(view.names, before.names);
        QCOMPARE(view.bytes, before.bytes);
        QCOMPARE(view.bars, before.bars);
    }

    void failedLinkLeavesTheRow_data() { addSlotRows(); }
    void failedLinkLeavesTheRow() {
        QFETCH(int, slot);
        EventLog log;
        RecordingView view(log);
        fillRows(view);
        const RecordingView before = view;
        ScriptedLibrary library(log);
        library.initResults = {-1};

        ClearSlot(slotRow(slot), view, library);

        QStringList expected{QStringLiteral("Status=CLEARING SLOT%1...").arg(slot),
                             QStringLiteral("LCD=Clearing...")};
        expected << hideaway::test::failedLinkSteps(QStringLiteral("Error: -1"));
        QCOMPARE(log.entries, expected);
        QCOMPARE(view.names, before.names);
        QCOMPARE(view.bytes, before.bytes);
        QCOMPARE(view.bars, before.bars);
        QCOMPARE(view.caption, QStringLiteral("Initializing GBP Mode..."));
    }

    void untrappedErrorLeavesTheRow() {
        EventLog log;
        RecordingView view(log);
        fillRows(view);
        const RecordingView before = view;
        ScriptedLibrary library(log);
        library.throws.emplace(QStringLiteral("ClearNVMFile"),
                               AppError(ErrorCode::EntryPointMissing, QStringLiteral("GBP")));

        QVERIFY_THROWS_EXCEPTION(AppError, ClearSlot(slotRow(3), view, library));

        QCOMPARE(library.calls(), (QStringList{QStringLiteral("InitGBPMode(1)"),
                                               QStringLiteral("ClearNVMFile(18,11)")}));
        QCOMPARE(view.names, before.names);
        QCOMPARE(view.bytes, before.bytes);
        QCOMPARE(view.status, QStringLiteral("Ready..."));
    }
};

QTEST_GUILESS_MAIN(TestClearSlot)
#include "tst_clear_slot.moc"
