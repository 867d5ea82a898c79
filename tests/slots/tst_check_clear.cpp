// Check measures all five slots over one link; CLEAR empties one slot and measures it again. Both
// start from rows that earlier operations filled, and both must leave them alone when they fail.
#include <QLocale>
#include <QScopeGuard>
#include <QTest>

#include "app_error.h"
#include "event_log.h"
#include "link_steps.h"
#include "recording_view.h"
#include "scripted_library.h"
#include "slot_operations.h"
#include "slot_table.h"

using namespace hideaway;
using namespace hideaway::test;

namespace {

/// Rows as earlier operations left them; logs "Read<n>" whenever a byte count box is read back.
class FilledView : public RecordingView {
public:
    explicit FilledView(EventLog& log) : RecordingView(log), m_readLog(log) {
        for (std::size_t n = 1; n <= 5; ++n) {
            names[n] = QStringLiteral("/home/u/old%1.bin").arg(n);
            bytes[n] = QString::number(n * 7);
            bars[n] = static_cast<float>(n * 7);
        }
        total = QStringLiteral("99");
    }

    QString slotBytes(int slot) const override {
        m_readLog.add(QStringLiteral("Read%1").arg(slot));
        return RecordingView::slotBytes(slot);
    }

    /// Whether the total and every row but skipped (0: none) still show what they did at first.
    bool rowsKept(int skipped = 0) const {
        EventLog scratch;
        const FilledView first(scratch);
        for (std::size_t n = 1; n <= 5; ++n) {
            if (n != static_cast<std::size_t>(skipped) &&
                (names[n] != first.names[n] || bytes[n] != first.bytes[n] ||
                 bars[n] != first.bars[n])) {
                return false;
            }
        }
        return total == first.total;
    }

private:
    EventLog& m_readLog;
};

struct Bench {
    EventLog log;
    FilledView view{log};
    ScriptedLibrary library{log};

    /// Check when slot is 0, else CLEAR of that slot.
    SlotOutcome run(int slot) {
        return slot == 0 ? CheckSlots(view, library) : ClearSlot(slotRow(slot), view, library);
    }
};

/// What Check (slot 0) or CLEAR of slot writes before it opens the link.
QStringList started(int slot) {
    if (slot == 0) {
        return {QStringLiteral("Status=CHECKING")};
    }
    return {QStringLiteral("Status=CLEARING SLOT%1...").arg(slot),
            QStringLiteral("LCD=Clearing...")};
}

QStringList measuringSteps() {
    QStringList steps;
    for (int n = 1; n <= 5; ++n) {
        steps << QStringLiteral("Name%1=CHECKING...").arg(n)
              << QStringLiteral("GetNVMFileSize(18,%1)").arg(8 + n);
    }
    return steps;
}

void loadSizes(ScriptedLibrary& library, const QList<int>& sizes) {
    for (int n = 1; n <= 5; ++n) {
        library.sizeResults[8 + n] = {static_cast<std::int16_t>(sizes.at(n - 1))};
    }
}

}  // namespace

class TestCheckClear : public QObject {
    Q_OBJECT

private slots:
    void checkShowsSizes_data() {
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<QList<int>>("bars");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("total");
        QTest::addColumn<int>("endResult");

        QTest::newRow("all empty") << QList<int>{0, 0, 0, 0, 0} << QList<int>{0, 0, 0, 0, 0}
                                   << QStringList{"0", "0", "0", "0", "0"} << "0" << 0;
        QTest::newRow("all full") << QList<int>{21000, 21000, 21000, 21000, 21000}
                                  << QList<int>{21000, 21000, 21000, 21000, 21000}
                                  << QStringList{"21000", "21000", "21000", "21000", "21000"}
                                  << "105000" << 0;
        QTest::newRow("all at the 16-bit maximum")
            << QList<int>{32767, 32767, 32767, 32767, 32767}
            << QList<int>{21000, 21000, 21000, 21000, 21000}
            << QStringList{"32767", "32767", "32767", "32767", "32767"} << "163835" << 0;
        QTest::newRow("mixed edges")
            << QList<int>{1, -32768, 21001, 0, 20990} << QList<int>{1, 0, 21000, 0, 20990}
            << QStringList{"1", "0", "21001", "0", "20990"} << "41992" << 0;
        // The end of the link answers something that means nothing; the sizes still show.
        QTest::newRow("slot 4 holds 512 bytes, end returns -7")
            << QList<int>{0, 0, 0, 512, 0} << QList<int>{0, 0, 0, 512, 0}
            << QStringList{"0", "0", "0", "512", "0"} << "512" << -7;

        for (int n = 1; n <= 5; ++n) {
            const auto only = [n](int size, int rest) {
                QList<int> sizes{rest, rest, rest, rest, rest};
                sizes[n - 1] = size;
                return sizes;
            };
            const auto onlyText = [n](const QString& text) {
                QStringList texts{"0", "0", "0", "0", "0"};
                texts[n - 1] = text;
                return texts;
            };
            QTest::addRow("slot %d holds 1234 bytes", n)
                << only(1234, 0) << only(1234, 0) << onlyText("1234") << "1234" << 0;
            QTest::addRow("slot %d holds 30000 bytes", n)
                << only(30000, 0) << only(21000, 0) << onlyText("30000") << "30000" << 0;

            // The others hold 100, 200, ... 500 bytes and are shown as usual.
            QList<int> sizes{100, 200, 300, 400, 500};
            QStringList shown{"100", "200", "300", "400", "500"};
            sizes[n - 1] = -1;
            shown[n - 1] = QStringLiteral("0");
            QList<int> bars = sizes;
            bars[n - 1] = 0;
            QTest::addRow("slot %d answers -1", n)
                << sizes << bars << shown << QString::number(1500 - 100 * n) << 0;
        }
    }
    void checkShowsSizes() {
        QFETCH(QList<int>, sizes);
        QFETCH(QList<int>, bars);
        QFETCH(QStringList, shown);
        QFETCH(QString, total);
        QFETCH(int, endResult);
        Bench b;
        loadSizes(b.library, sizes);
        b.library.otherResult = static_cast<std::int16_t>(endResult);

        b.run(0);

        QStringList expected = started(0);
        expected << openedLinkSteps() << measuringSteps() << QStringLiteral("EndGBPMode()");
        for (int n = 1; n <= 5; ++n) {
            const QString& bytes = shown.at(n - 1);
            expected << QStringLiteral("Bar%1=%2").arg(n).arg(bars.at(n - 1))
                     << QStringLiteral("Bytes%1=%2").arg(n).arg(bytes)
                     << QStringLiteral("Name%1=%2")
                            .arg(n)
                            .arg(bytes == QLatin1String("0")
                                     ? QStringLiteral("<EMPTY SLOT>")
                                     : QStringLiteral("File PRESENT in Slot%1!").arg(n));
        }
        expected << QStringLiteral("LCD=CHECK");
        for (int n = 1; n <= 5; ++n) {
            expected << QStringLiteral("Read%1").arg(n);
        }
        expected << QStringLiteral("Total=") + total;

        QCOMPARE(b.log.entries, expected);
        // No final Status text: the link's "Ready..." stays.
        QCOMPARE(b.view.status, QStringLiteral("Ready..."));
        QVERIFY(!b.library.gbpModeOpen);
    }

    void checkTotalIsPlainDigitsInAnyLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::newRow("German") << QStringLiteral("de_DE");
        QTest::newRow("French") << QStringLiteral("fr_FR");
        QTest::newRow("Swiss German") << QStringLiteral("de_CH");
        QTest::newRow("Arabic, Egypt") << QStringLiteral("ar_EG");
        QTest::newRow("Hindi") << QStringLiteral("hi_IN");
    }
    void checkTotalIsPlainDigitsInAnyLocale() {
        QFETCH(QString, locale);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([&saved] { QLocale::setDefault(saved); });
        Bench b;
        loadSizes(b.library, {21000, 1234, 0, 20990, 1});

        b.run(0);

        QCOMPARE(b.view.bytes[2], QStringLiteral("1234"));
        QCOMPARE(b.view.total, QStringLiteral("43225"));
    }

    // Whatever ClearNVMFile answers, only a slot that measures 0 afterwards was cleared.
    void clear_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("clearResult");
        QTest::addColumn<int>("sizeAfter");
        for (int n = 1; n <= 5; ++n) {
            QTest::addRow("slot %d cleared, library answers 0", n) << n << 0 << 0;
            QTest::addRow("slot %d cleared, library answers -1", n) << n << -1 << 0;
            QTest::addRow("slot %d still holds 300 bytes", n) << n << 0 << 300;
            QTest::addRow("slot %d cannot be measured", n) << n << 0 << -3;
        }
    }
    void clear() {
        QFETCH(int, slot);
        QFETCH(int, clearResult);
        QFETCH(int, sizeAfter);
        Bench b;
        b.library.otherResult = static_cast<std::int16_t>(clearResult);
        b.library.sizeResults[8 + slot] = {static_cast<std::int16_t>(sizeAfter)};
        const bool cleared = sizeAfter == 0;

        QCOMPARE(bool(b.run(slot)), cleared);

        QStringList expected = started(slot) + openedLinkSteps();
        expected << QStringLiteral("ClearNVMFile(18,%1)").arg(8 + slot)
                 << QStringLiteral("GetNVMFileSize(18,%1)").arg(8 + slot)
                 << QStringLiteral("EndGBPMode()");
        if (cleared) {
            expected << QStringLiteral("Status=S%1 CLEAR").arg(slot) << QStringLiteral("LCD=CLEAR")
                     << QStringLiteral("Bar%1=0").arg(slot)
                     << QStringLiteral("Name%1=<SLOT%1 CLEAR>").arg(slot)
                     << QStringLiteral("Bytes%1=0").arg(slot);
        } else {
            expected << QStringLiteral("Status=ERROR") << QStringLiteral("LCD=Error!");
        }
        QCOMPARE(b.log.entries, expected);
        QVERIFY(b.view.rowsKept(cleared ? slot : 0));
        QVERIFY(!b.library.gbpModeOpen);
    }

    void failedLinkLeavesTheRows_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("errorStatus");
        QTest::newRow("check, init returns -1") << 0 << -1 << QStringLiteral("Error: -1");
        QTest::newRow("check, init returns 2") << 0 << 2 << QStringLiteral("Error:  2");
        for (int n = 1; n <= 5; ++n) {
            QTest::addRow("clear slot %d, init returns -1", n) << n << -1 << "Error: -1";
        }
    }
    void failedLinkLeavesTheRows() {
        QFETCH(int, slot);
        QFETCH(int, result);
        QFETCH(QString, errorStatus);
        Bench b;
        b.library.initResults = {static_cast<std::int16_t>(result)};

        QVERIFY(!b.run(slot));

        QCOMPARE(b.log.entries, started(slot) + failedLinkSteps(errorStatus));
        QVERIFY(b.view.rowsKept());
        QCOMPARE(b.view.caption, QStringLiteral("Initializing GBP Mode..."));
    }

    void untrappedErrorStopsWhereItStands_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("nth");
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("check, third measurement fails")
            << 0 << "GetNVMFileSize" << 3 << measuringSteps().mid(0, 6);
        QTest::newRow("clear slot 3, clear missing")
            << 3 << "ClearNVMFile" << 1 << QStringList{QStringLiteral("ClearNVMFile(18,11)")};
    }
    void untrappedErrorStopsWhereItStands() {
        QFETCH(int, slot);
        QFETCH(QString, call);
        QFETCH(int, nth);
        QFETCH(QStringList, steps);
        Bench b;
        int calls = 0;
        b.library.onCall = [&](const QString& operation) {
            if (operation == call && ++calls == nth) {
                throw AppError(ErrorCode::EntryPointMissing, call);
            }
        };

        QVERIFY_THROWS_EXCEPTION(AppError, b.run(slot));

        // Every write to the window is in the log: no byte count, bar or total changed.
        QCOMPARE(b.log.entries, started(slot) + openedLinkSteps() + steps);
        QCOMPARE(b.view.status, QStringLiteral("Ready..."));
    }
};

QTEST_GUILESS_MAIN(TestCheckClear)
#include "tst_check_clear.moc"
