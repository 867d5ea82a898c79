// The four slot operations through the real loader and the simulated phone, which keeps its
// files in a temporary folder of each test's own.
#include <QCoreApplication>
#include <QTest>

#include "module1.h"
#include "recording_view.h"
#include "scripted_dialog.h"
#include "slot_operations.h"
#include "slot_table.h"
#include "transfer_fixtures.h"

using namespace hideaway;
using namespace hideaway::test;

namespace {

const QString kFailedVerification = QStringLiteral("ERROR writing SLOT Content! Please Try Again!");

// Distinct sizes, so a slot mixed up with another shows; slot 5 is a full slot.
int sizeOf(int slot) {
    return slot == 5 ? 21000 : 1000 * slot + slot;
}

QByteArray contentOf(int slot) {
    return randomBytes(sizeOf(slot), static_cast<quint32>(slot));
}

/// One button press's worth of window and dialog, over the real library.
struct Desk {
    EventLog log;
    RecordingView view{log};
    ScriptedFileDialog dialog{log};

    explicit Desk(const QString& answer = {}) { dialog.answers = {answer}; }
};

}  // namespace

class SlotsOnPhoneTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_phone = std::make_unique<QTemporaryDir>();
        m_files = std::make_unique<QTemporaryDir>();
        QVERIFY(m_phone->isValid() && m_files->isValid());
        qputenv("HIDEAWAY_PHONE_DIR", QFile::encodeName(m_phone->path()));
        qunsetenv("HIDEAWAY_PHONE_SETTINGS");
    }

    void cleanup() {
        qunsetenv("HIDEAWAY_PHONE_DIR");
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
        fillPhone();
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

        CheckSlots(view, m_library);
        verifyChecked(0);
        const QString fullTotal = view.total;

        ClearSlot(slotRow(slot), view, m_library);
        QCOMPARE(view.status, QStringLiteral("S%1 CLEAR").arg(slot));
        QCOMPARE(view.names[std::size_t(slot)], QStringLiteral("<SLOT%1 CLEAR>").arg(slot));
        QCOMPARE(view.total, fullTotal);

        CheckSlots(view, m_library);
        verifyChecked(slot);

        // The other slots still hold exactly what was put there.
        for (const SlotRow& other : kSlotTable) {
            QCOMPARE(phoneFile(other),
                     other.number == slot ? QByteArray() : contentOf(other.number));
        }
    }

    void noPhoneOnTheChosenPort() {
        fillPhone();
        EventLog log;
        RecordingView view(log);
        view.selectCom(2);

        CheckSlots(view, m_library);

        // The phone answers on COM1 only and refuses other ports with 1.
        QCOMPARE(view.status, QStringLiteral("Error:  1"));
        QCOMPARE(view.lcd, QStringLiteral("Error!"));
        QCOMPARE(view.messages, QStringList{QStringLiteral("Unable to initialize GBP Mode...")});
        QCOMPARE(view.total, QStringLiteral("0"));
        QVERIFY(log.matching(QStringLiteral("Name")).isEmpty());
    }

    void failedMeasurementShowsAsEmpty() {
        fillPhone();
        // In the phone's folder, where a phone behind a bridge's host process reads it too.
        QVERIFY(writeFile(m_phone->filePath(QStringLiteral("phone.conf")),
                          "force.GetNVMFileSize.11 = -3"));
        EventLog log;
        RecordingView view(log);

        CheckSlots(view, m_library);

        QCOMPARE(view.names[3], QStringLiteral("<EMPTY SLOT>"));
        QCOMPARE(view.bytes[3], QStringLiteral("0"));
        QCOMPARE(view.names[4], QStringLiteral("File PRESENT in Slot4!"));
        QCOMPARE(view.total, QString::number(sizeOf(1) + sizeOf(2) + sizeOf(4) + sizeOf(5)));
    }

    void roundTripIsByteIdentical_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("size");
        QRandomGenerator sizes(2024);
        for (const SlotRow& slot : kSlotTable) {
            const int n = slot.number;
            QTest::addRow("slot %d, empty file", n) << n << 0;
            QTest::addRow("slot %d, one byte", n) << n << 1;
            QTest::addRow("slot %d, upload limit", n) << n << kUploadLimit;
            const int random = static_cast<int>(sizes.bounded(2, kUploadLimit));
            QTest::addRow("slot %d, %d bytes", n, random) << n << random;
        }
    }
    void roundTripIsByteIdentical() {
        QFETCH(int, slot);
        QFETCH(int, size);
        const SlotRow& row = slotRow(slot);
        const QByteArray original = randomBytes(size, static_cast<quint32>(size * 7 + slot));
        const QString source =
            m_files->filePath(QStringLiteral("Urlaubsfotos \u00e4 %1.jpg").arg(size));
        const QString copy = m_files->filePath(QStringLiteral("back from slot %1.bin").arg(slot));
        QVERIFY(writeFile(source, original));

        Desk up(source);
        UploadSlot(row, up.view, m_library, up.dialog);
        QCOMPARE(up.view.messages, QStringList());
        QCOMPARE(up.view.status, QStringLiteral("OK"));
        QCOMPARE(up.view.names[static_cast<std::size_t>(slot)], source);
        QCOMPARE(up.view.bytes[static_cast<std::size_t>(slot)], QString::number(size));
        QCOMPARE(phoneFile(row), original);
        QVERIFY(linkClosed());

        Desk check;
        CheckSlots(check.view, m_library);
        QCOMPARE(check.view.bytes[static_cast<std::size_t>(slot)], QString::number(size));
        QCOMPARE(check.view.total, QString::number(size));

        Desk down(copy);
        DownloadSlot(row, down.view, m_library, down.dialog);
        QCOMPARE(down.view.messages, QStringList());
        QCOMPARE(down.view.status, QStringLiteral("OK"));
        QCOMPARE(down.view.lcd, QStringLiteral("OK!"));
        QCOMPARE(down.view.names[static_cast<std::size_t>(slot)], copy);
        QCOMPARE(down.view.bytes[static_cast<std::size_t>(slot)], QString::number(size));
        QCOMPARE(readFile(copy), original);
        QCOMPARE(QFileInfo(copy).size(), qint64{size});
        QVERIFY(linkClosed());
    }

    void fiveSlotsKeepTheirOwnFiles() {
        std::array<QByteArray, kSlotCount + 1> originals;
        qint64 total = 0;
        for (const SlotRow& slot : kSlotTable) {
            const auto n = static_cast<std::size_t>(slot.number);
            originals[n] =
                randomBytes(4000 + slot.number * 3000, static_cast<quint32>(slot.number));
            total += originals[n].size();
            const QString source = m_files->filePath(QStringLiteral("in%1.bin").arg(slot.number));
            QVERIFY(writeFile(source, originals[n]));
            Desk up(source);
            UploadSlot(slot, up.view, m_library, up.dialog);
            QCOMPARE(up.view.status, QStringLiteral("OK"));
        }

        Desk check;
        CheckSlots(check.view, m_library);
        QCOMPARE(check.view.total, QString::number(total));

        for (const SlotRow& slot : kSlotTable) {
            const QString copy = m_files->filePath(QStringLiteral("out%1.bin").arg(slot.number));
            Desk down(copy);
            DownloadSlot(slot, down.view, m_library, down.dialog);
            QCOMPARE(readFile(copy), originals[static_cast<std::size_t>(slot.number)]);
        }
    }

    void verificationCatchesBadWrites_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QByteArray>("settings");
        for (const SlotRow& slot : kSlotTable) {
            QTest::addRow("slot %d, short write", slot.number)
                << slot.number << QByteArray("write.short = 1");
            // The size matches; only reading the slot back shows the changed byte.
            QTest::addRow("slot %d, one byte changed", slot.number)
                << slot.number << QByteArray("write.corrupt = 5");
        }
    }
    void verificationCatchesBadWrites() {
        QFETCH(int, slot);
        QFETCH(QByteArray, settings);
        const SlotRow& row = slotRow(slot);
        qputenv("HIDEAWAY_PHONE_SETTINGS", settings);
        const QString source = m_files->filePath(QStringLiteral("in.bin"));
        QVERIFY(writeFile(source, randomBytes(100, 3)));
        Desk up(source);

        UploadSlot(row, up.view, m_library, up.dialog);

        QCOMPARE(up.view.messages, QStringList{kFailedVerification});
        const bool reports = slot == 1;
        QCOMPARE(up.view.status, reports ? QStringLiteral("ERROR") : QStringLiteral("Ready..."));
        QCOMPARE(up.view.lcd, reports ? QStringLiteral("ERROR") : QStringLiteral("Connect..."));
        const auto n = static_cast<std::size_t>(slot);
        // The slot was emptied before the write, and the row says so.
        QCOMPARE(up.view.names[n], QStringLiteral("<SLOT%1 CLEAR>").arg(slot));
        QCOMPARE(up.view.bytes[n], QStringLiteral("0"));
        QVERIFY(linkClosed());
    }

    void failedReadEndsTheLink() {
        qputenv("HIDEAWAY_PHONE_SETTINGS", "force.ReadNVMFile = -3");
        const QString copy = m_files->filePath(QStringLiteral("out.bin"));
        Desk down(copy);

        DownloadSlot(slotRow(4), down.view, m_library, down.dialog);

        QCOMPARE(down.view.status, QStringLiteral("-3"));
        QCOMPARE(down.view.lcd, QStringLiteral("ERROR!"));
        QCOMPARE(down.view.messages,
                 QStringList{QStringLiteral("Cannot Download SLOT4!!! Please retry...")});
        QVERIFY(!QFile::exists(copy));
        QVERIFY(linkClosed());
    }

    void failedSaveEndsTheLink() {
        const QString copy = m_files->filePath(QStringLiteral("missing/out.bin"));
        Desk down(copy);

        DownloadSlot(slotRow(2), down.view, m_library, down.dialog);

        QCOMPARE(down.view.messages, QStringList{QStringLiteral("Path not found: ") + copy});
        QCOMPARE(down.view.status, QStringLiteral("ERROR"));
        QCOMPARE(down.view.lcd, QStringLiteral("ERROR!"));
        QCOMPARE(down.view.names[2], QString());
        QVERIFY(linkClosed());
    }

    void libraryLackingACallLeavesAFullSlotWhole() {
        const SlotRow& row = slotRow(2);
        const QByteArray held = randomBytes(4321, 2);
        QVERIFY(writeFile(m_phone->filePath(QStringLiteral("nvm-18-10.bin")), held));
        const QString source = m_files->filePath(QStringLiteral("new.txt"));
        QVERIFY(writeFile(source, randomBytes(100, 5)));
        const QString library = QStringLiteral(HIDEAWAY_FIVE_CALLS_PATH);
        Module1 fiveCalls{QStringList{library}};
        Desk up(source);

        bool uploaded = true;
        try {
            uploaded = static_cast<bool>(UploadSlot(row, up.view, fiveCalls, up.dialog));
        } catch (const AppError& error) {
            uploaded = false;
            QCOMPARE(error.description(),
                     QStringLiteral("Can't find DLL entry point: ReadNVMFile in ") +
                         QDir::toNativeSeparators(library));
        }

        QVERIFY(!uploaded);
        QCOMPARE(phoneFile(row), held);
        QVERIFY(linkClosed());
    }

private:
    // Fills all five slots the way an upload does: WriteNVMFile inside GBP mode.
    void fillPhone() {
        QCOMPARE(int(m_library.InitGBPMode(1)), 0);
        for (int slot = 1; slot <= 5; ++slot) {
            QByteArray bytes = contentOf(slot);
            m_library.WriteNVMFile(18, static_cast<std::uint8_t>(8 + slot),
                                   reinterpret_cast<std::uint8_t*>(bytes.data()), sizeOf(slot));
        }
        m_library.EndGBPMode();
    }
    QByteArray phoneFile(const SlotRow& slot) const {
        return readFile(m_phone->filePath(
            QStringLiteral("nvm-18-%1.bin").arg(slot.fileNumber, 2, 10, QLatin1Char('0'))));
    }
    /// Outside GBP mode the phone answers every NVM call with -1.
    bool linkClosed() { return m_library.GetNVMFileSize(kSlotFileGroup, 9) == -1; }

    std::unique_ptr<QTemporaryDir> m_phone;
    std::unique_ptr<QTemporaryDir> m_files;
    Module1 m_library{QStringList{QStringLiteral(HIDEAWAY_GBP_PATH)}};
};

QTEST_GUILESS_MAIN(SlotsOnPhoneTest)
#include "tst_slots_on_phone.moc"
