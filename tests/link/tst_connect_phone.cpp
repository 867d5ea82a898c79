#include <QTest>

#include "app_error.h"
#include "captions.h"
#include "connect_phone.h"
#include "event_log.h"
#include "link_steps.h"
#include "recording_view.h"
#include "scripted_library.h"

using hideaway::AppError;
using hideaway::ConnectPhone;
using hideaway::ErrorCode;
using hideaway::test::EventLog;
using hideaway::test::kStartCaptionText;
using hideaway::test::openedLinkSteps;
using hideaway::test::RecordingView;
using hideaway::test::ScriptedLibrary;

namespace {

const QString kInitializing = QStringLiteral("Initializing GBP Mode...");

}  // namespace

class TestConnectPhone : public QObject {
    Q_OBJECT

private slots:
    void portChoice_data() {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("port");
        for (int n = 1; n <= 5; ++n) {
            QTest::addRow("Com%d selected", n) << QList<int>{n} << n;
        }
        QTest::newRow("none selected") << QList<int>{} << 1;
        QTest::newRow("Com2 and Com4 selected") << QList<int>{2, 4} << 4;
        QTest::newRow("Com1 and Com3 selected") << QList<int>{1, 3} << 3;
    }
    void portChoice() {
        QFETCH(QList<int>, selected);
        QFETCH(int, port);
        EventLog log;
        RecordingView view(log);
        view.selectCom(0);
        for (int com : selected) {
            view.com[static_cast<std::size_t>(com)] = true;
        }
        ScriptedLibrary library(log);

        ConnectPhone(view, library);

        QCOMPARE(library.calls(), QStringList{QStringLiteral("InitGBPMode(%1)").arg(port)});
        // Com1 is never read; the other four are read once each, in order.
        QCOMPARE(view.comReads, (QList<int>{2, 3, 4, 5}));
    }

    void selectionIsReadAfreshAtEachCall() {
        EventLog log;
        RecordingView view(log);
        ScriptedLibrary library(log);
        ConnectPhone(view, library);
        view.selectCom(4);
        ConnectPhone(view, library);
        view.selectCom(1);
        ConnectPhone(view, library);
        QCOMPARE(library.calls(),
                 (QStringList{QStringLiteral("InitGBPMode(1)"), QStringLiteral("InitGBPMode(4)"),
                              QStringLiteral("InitGBPMode(1)")}));
    }

    void initResults_data() {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("errorStatus");
        QTest::newRow("init returns -1") << -1 << QStringLiteral("Error: -1");
        QTest::newRow("init returns 5") << 5 << QStringLiteral("Error:  5");
        QTest::newRow("init returns 1") << 1 << QStringLiteral("Error:  1");
        QTest::newRow("init returns -32768") << -32768 << QStringLiteral("Error: -32768");
        QTest::newRow("init returns 32767") << 32767 << QStringLiteral("Error:  32767");
    }
    void initResults() {
        QFETCH(int, result);
        QFETCH(QString, errorStatus);
        EventLog log;
        RecordingView view(log);
        view.selectCom(3);
        ScriptedLibrary library(log);
        library.initResults = {static_cast<std::int16_t>(result)};

        QCOMPARE(int(ConnectPhone(view, library)), -1);

        const QStringList expected{
            QStringLiteral("Caption=") + kInitializing,
            QStringLiteral("Status=Open COMPORT..."),
            QStringLiteral("LCD=Connect..."),
            QStringLiteral("InitGBPMode(3)"),
            QStringLiteral("Status=") + errorStatus,
            QStringLiteral("LCD=Error!"),
            QStringLiteral("Message=Unable to initialize GBP Mode..."),
        };
        QCOMPARE(log.entries, expected);
        QCOMPARE(view.caption, kInitializing);
        QCOMPARE(view.status, errorStatus);
        QCOMPARE(view.lcd, QStringLiteral("Error!"));
    }

    void openedLink() {
        EventLog log;
        RecordingView view(log);
        ScriptedLibrary library(log);
        QCOMPARE(view.caption, kStartCaptionText);

        QCOMPARE(int(ConnectPhone(view, library)), 0);

        QCOMPARE(log.entries, openedLinkSteps());
        QVERIFY(view.messages.isEmpty());
        // The caller writes its own LCD text; until then it keeps the connecting one.
        QCOMPARE(view.lcd, QStringLiteral("Connect..."));
        QVERIFY(library.gbpModeOpen);
    }

    void libraryErrorsPassToTheCaller() {
        EventLog log;
        RecordingView view(log);
        ScriptedLibrary library(log);
        library.throws.emplace(QStringLiteral("InitGBPMode"),
                               AppError(ErrorCode::LibraryNotLoaded, QStringLiteral("GBP")));
        try {
            ConnectPhone(view, library);
            QFAIL("the error was swallowed");
        } catch (const AppError& error) {
            QCOMPARE(error.number(), 48);
        }
        QCOMPARE(view.status, QStringLiteral("Open COMPORT..."));
        QCOMPARE(view.caption, kInitializing);
        QVERIFY(view.messages.isEmpty());
        QCOMPARE(library.calls(), QStringList{QStringLiteral("InitGBPMode(1)")});
    }
};

QTEST_GUILESS_MAIN(TestConnectPhone)
#include "tst_connect_phone.moc"
