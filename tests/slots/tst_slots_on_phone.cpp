// Check and clear through the real loader and the simulated phone kept in a temporary folder.
#include <QCoreApplication>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <vector>

#include "event_log.h"
#include "module1.h"
#include "recording_view.h"
#include "slot_operations.h"
#include "slot_table.h"

using hideaway::CheckSlots;
using hideaway::ClearSlot;
using hideaway::Module1;
using hideaway::slotRow;
using hideaway::test::EventLog;
using hideaway::test::RecordingView;

namespace {

// Distinct sizes, so a slot mixed up with another shows; slot 5 is a full slot.
int sizeOf(int slot) {
    return slot == 5 ? 21000 : 1000 * slot + slot;
}

std::vector<std::uint8_t> contentOf(int slot) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(sizeOf(slot)) + 1);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 7 + static_cast<std::size_t>(slot)) & 0xFF);
    }
    return bytes;
}

}  // namespace

class TestSlotsOnPhone : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_phone;

    // Fills all five slots the way an upload does: WriteNVMFile inside GBP mode.
    void fillPhone(Module1& module) {
        QCOMPARE(int(module.InitGBPMode(1)), 0);
        for (int slot = 1; slot <= 5; ++slot) {
            std::vector<std::uint8_t> bytes = contentOf(slot);
            module.WriteNVMFile(18, static_cast<std::uint8_t>(8 + slot), bytes.data(),
                                sizeOf(slot));
        }
        module.EndGBPMode();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_phone.isValid());
        qputenv("HIDEAWAY_PHONE_DIR", QFile::encodeName(m_phone.path()));
        qunsetenv("HIDEAWAY_PHONE_SETTINGS");
    }

    void libraryComesFromTheProgramFolder() {
        Module1 module;
        module.EndGBPMode();
        QVERIFY2(module.loadedFrom().startsWith(QCoreApplication::applicationDirPath()),
                 qPrintable(module.loadedFrom()));
    }

    void checkClearCheck_data() {
        QTest::addColumn<int>("slot");
        for (int n = 1; n <= 5; ++n) {
            QTest::addRow("clear slot %d", n) << n;
        }
    }
    void checkClearCheck() {
        QFETCH(int, slot);
        Module1 module;
        fillPhone(module);
        EventLog log;
        RecordingView view(log);
        // What a check shows of the filled phone, with the slot cleared (0: none) empty.
        const auto verifyChecked = [&view](int cleared) {
            int total = 0;
            for (std::size_t n = 1; n <= 5; ++n) {
                const int size = int(n) == cleared ? 0 : sizeOf(int(n));
                total += size;
                QCOMPARE(view.names[n], size == 0
                                            ? QStringLiteral("<EMPTY SLOT>")
                                            : QStringLiteral("File PRESENT in Slot%1!").arg(n));
                QCOMPARE(view.bytes[n], QString::number(size));
                QCOMPARE(view.bars[n], float(size));
            }
            QCOMPARE(view.total, QString::number(total));
        };

        CheckSlots(view, module);
        verifyChecked(0);
        const QString fullTotal = view.total;

        ClearSlot(slotRow(slot), view, module);
        QCOMPARE(view.status, QStringLiteral("S%1 CLEAR").arg(slot));
        QCOMPARE(view.names[std::size_t(slot)], QStringLiteral("<SLOT%1 CLEAR>").arg(slot));
        QCOMPARE(view.total, fullTotal);

        CheckSlots(view, module);
        verifyChecked(slot);

        // The other slots still hold exactly what was put there.
        QCOMPARE(int(module.InitGBPMode(1)), 0);
        for (int n = 1; n <= 5; ++n) {
            if (n == slot) {
                continue;
            }
            std::vector<std::uint8_t> read(21002);
            const int count =
                module.ReadNVMFile(18, static_cast<std::uint8_t>(8 + n), read.data(), 21000);
            QCOMPARE(count, sizeOf(n));
            const std::vector<std::uint8_t> expected = contentOf(n);
            QVERIFY(std::equal(read.begin(), read.begin() + count, expected.begin()));
        }
        module.EndGBPMode();
    }

    void noPhoneOnTheChosenPort() {
        Module1 module;
        fillPhone(module);
        EventLog log;
        RecordingView view(log);
        view.selectCom(2);

        CheckSlots(view, module);

        // The phone answers on COM1 only and refuses other ports with 1.
        QCOMPARE(view.status, QStringLiteral("Error:  1"));
        QCOMPARE(view.lcd, QStringLiteral("Error!"));
        QCOMPARE(view.messages, QStringList{QStringLiteral("Unable to initialize GBP Mode...")});
        QCOMPARE(view.total, QStringLiteral("0"));
        QVERIFY(log.matching(QStringLiteral("Name")).isEmpty());
    }

    void failedMeasurementShowsAsEmpty() {
        Module1 module;
        fillPhone(module);
        // In the phone's folder, where a phone behind a bridge's host process reads it too.
        QFile settings(m_phone.filePath(QStringLiteral("phone.conf")));
        QVERIFY(settings.open(QIODevice::WriteOnly) &&
                settings.write("force.GetNVMFileSize.11 = -3") > 0 && settings.flush());
        settings.close();
        const auto restore = qScopeGuard([&settings] { settings.remove(); });
        EventLog log;
        RecordingView view(log);

        CheckSlots(view, module);

        QCOMPARE(view.names[3], QStringLiteral("<EMPTY SLOT>"));
        QCOMPARE(view.bytes[3], QStringLiteral("0"));
        QCOMPARE(view.names[4], QStringLiteral("File PRESENT in Slot4!"));
        QCOMPARE(view.total, QString::number(sizeOf(1) + sizeOf(2) + sizeOf(4) + sizeOf(5)));
    }
};

QTEST_GUILESS_MAIN(TestSlotsOnPhone)
#include "tst_slots_on_phone.moc"
