#include <QLocale>
#include <QScopeGuard>
#include <QTest>

#include "app_error.h"
#include "event_log.h"
#include "link_steps.h"
#include "recording_view.h"
#include "scripted_library.h"
#include "slot_operations.h"

using hideaway::AppError;
using hideaway::CheckSlots;
using hideaway::ErrorCode;
using hideaway::test::EventLog;
using hideaway::test::openedLinkSteps;
using hideaway::test::RecordingView;
using hideaway::test::ScriptedLibrary;

namespace {

/// Also logs "Read<n>" whenever a byte count box is read back.
class ReadBackView : public RecordingView {
public:
    explicit ReadBackView(EventLog& log) : RecordingView(log), m_readLog(log) {
        // What earlier operations left in the rows; a check replaces all of it.
        for (int n = 1; n <= 5; ++n) {
            names[static_cast<std::size_t>(n)] = QStringLiteral("/home/u/old%1.bin").arg(n);
            bytes[static_cast<std::size_t>(n)] = QString::number(n * 7);
            bars[static_cast<std::size_t>(n)] = static_cast<float>(n * 7);
        }
        total = QStringLiteral("99");
    }

    QString slotBytes(int slot) const override {
        m_readLog.add(QStringLiteral("Read%1").arg(slot));
        return RecordingView::slotBytes(slot);
    }

private:
    EventLog& m_readLog;
};

QString presentText(int n) {
    return QStringLiteral("File PRESENT in Slot%1!").arg(n);
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

class TestCheckSlots : public QObject {
    Q_OBJECT

private slots:
    void shownSizes_data() {
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<QList<int>>("bars");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("total");

        QTest::newRow("all empty") << QList<int>{0, 0, 0, 0, 0} << QList<int>{0, 0, 0, 0, 0}
                                   << QStringList{"0", "0", "0", "0", "0"} << "0";
        QTest::newRow("all full") << QList<int>{21000, 21000, 21000, 21000, 21000}
                                  << QList<int>{21000, 21000, 21000, 21000, 21000}
                                  << QStringList{"21000", "21000", "21000", "21000", "21000"}
                                  << "105000";
        QTest::newRow("all at the 16-bit maximum")
            << QList<int>{32767, 32767, 32767, 32767, 32767}
            << QList<int>{21000, 21000, 21000, 21000, 21000}
            << QStringList{"32767", "32767", "32767", "32767", "32767"} << "163835";
        QTest::newRow("mixed edges")
            << QList<int>{1, -32768, 21001, 0, 20990} << QList<int>{1, 0, 21000, 0, 20990}
            << QStringList{"1", "0", "21001", "0", "20990"} << "41992";

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
                << only(1234, 0) << only(1234, 0) << onlyText("1234") << "1234";
            QTest::addRow("slot %d holds 30000 bytes", n)
                << only(30000, 0) << only(21000, 0) << onlyText("30000") << "30000";

            // The others hold 100, 200, ... 500 bytes and are shown as usual.
            QList<int> sizes{100, 200, 300, 400, 500};
            QStringList shown{"100", "200", "300", "400", "500"};
            sizes[n - 1] = -1;
            shown[n - 1] = QStringLiteral("0");
            QList<int> bars = sizes;
            bars[n - 1] = 0;
            QTest::addRow("slot %d answers -1", n)
                << sizes << bars << shown << QString::number(1500 - 100 * n);
        }
    }
    void shownSizes() {
        QFETCH(QList<int>, sizes);
        QFETCH(QList<int>, bars);
        QFETCH(QStringList, shown);
        QFETCH(QString, total);
        EventLog log;
        ReadBackView view(log);
        ScriptedLibrary library(log);
        loadSizes(library, sizes);

        CheckSlots(view, library);

        QStringList expected{QStringLiteral("Status=CHECKING")};
        expected << openedLinkSteps() << measuringSteps() << QStringLiteral("EndGBPMode()");
        for (int n = 1; n <= 5; ++n) {
            const QString& bytes = shown.at(n - 1);
            expected << QStringLiteral("Bar%1=%2").arg(n).arg(bars.at(n - 1))
                     << QStringLiteral("Bytes%1=%2").arg(n).arg(bytes)
                     << QStringLiteral("Name%1=%2")
                            .arg(n)
                            .arg(bytes == QLatin1String("0") ? QStringLiteral("<EMPTY SLOT>")
                                                             : presentText(n));
        }
        expected << QStringLiteral("LCD=CHECK");
        for (int n = 1; n <= 5; ++n) {
            expected << QStringLiteral("Read%1").arg(n);
        }
        expected << QStringLiteral("Total=") + total;

        QCOMPARE(log.entries, expected);
        // No final Status text: the link's "Ready..." stays.
        QCOMPARE(view.status, QStringLiteral("Ready..."));
        QVERIFY(!library.gbpModeOpen);
    }

    void failedLinkLeavesEverything_data() {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("errorStatus");
        QTest::newRow("init returns -1") << -1 << QStringLiteral("Error: -1");
        QTest::newRow("init returns 2") << 2 << QStringLiteral("Error:  2");
    }
    void failedLinkLeavesEverything() {
        QFETCH(int, result);
        QFETCH(QString, errorStatus);
        EventLog log;
        ReadBackView view(log);
        const ReadBackView before(log);
        log.clear();
        ScriptedLibrary library(log);
        library.initResults = {static_cast<std::int16_t>(result)};

        CheckSlots(view, library);

        QStringList expected{QStringLiteral("Status=CHECKING")};
        expected << hideaway::test::failedLinkSteps(errorStatus);
        QCOMPARE(log.entries, expected);
        QCOMPARE(view.names, before.names);
        QCOMPARE(view.bytes, before.bytes);
        QCOMPARE(view.bars, before.bars);
        QCOMPARE(view.total, before.total);
        QCOMPARE(view.caption, QStringLiteral("Initializing GBP Mode..."));
    }

    void totalIsPlainDigitsInAnyLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::newRow("German") << QStringLiteral("de_DE");
        QTest::newRow("French") << QStringLiteral("fr_FR");
        QTest::newRow("Swiss German") << QStringLiteral("de_CH");
        QTest::newRow("Arabic, Egypt") << QStringLiteral("ar_EG");
        QTest::newRow("Hindi") << QStringLiteral("hi_IN");
    }
    void totalIsPlainDigitsInAnyLocale() {
        QFETCH(QString, locale);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([&saved] { QLocale::setDefault(saved); });
        EventLog log;
        RecordingView view(log);
        ScriptedLibrary library(log);
        loadSizes(library, {21000, 1234, 0, 20990, 1});

        CheckSlots(view, library);

        QCOMPARE(view.bytes[2], QStringLiteral("1234"));
        QCOMPARE(view.total, QStringLiteral("43225"));
    }

    void endGBPModeFailureStillShowsTheSizes() {
        EventLog log;
        RecordingView view(log);
        ScriptedLibrary library(log);
        library.otherResult = -7;
        loadSizes(library, {0, 0, 0, 512, 0});

        CheckSlots(view, library);

        QCOMPARE(view.names[4], presentText(4));
        QCOMPARE(view.total, QStringLiteral("512"));
        QCOMPARE(view.lcd, QStringLiteral("CHECK"));
    }

    void untrappedErrorStopsTheCheckWhereItStands() {
        EventLog log;
        ReadBackView view(log);
        const ReadBackView before(log);
        log.clear();
        ScriptedLibrary library(log);
        int measured = 0;
        library.onCall = [&measured](const QString& operation) {
            if (operation == QLatin1String("GetNVMFileSize") && ++measured == 3) {
                throw AppError(ErrorCode::EntryPointMissing, QStringLiteral("GetNVMFileSize"));
            }
        };

        QVERIFY_THROWS_EXCEPTION(AppError, CheckSlots(view, library));

        QStringList expected{QStringLiteral("Status=CHECKING")};
        expected << openedLinkSteps() << measuringSteps().mid(0, 6);
        QCOMPARE(log.entries, expected);
        QCOMPARE(view.bytes, before.bytes);
        QCOMPARE(view.total, before.total);
    }
};

QTEST_GUILESS_MAIN(TestCheckSlots)
#include "tst_check_slots.moc"
