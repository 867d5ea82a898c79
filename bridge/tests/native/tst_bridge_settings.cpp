// The bridge's start with the native host in place of gbp-host.exe under Wine: what chooses the
// library, a limit that is no number, a start answered by another program, what doctor finds
// before a host starts and how it reads why a host did not start.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <unistd.h>

#include "bridge_config.h"
#include "native_bridge.h"
#include "scratch_folder.h"
#include "test_files.h"

using namespace hideaway::test;

class TestBridgeSettings : public QObject, private ScratchFolder {
    Q_OBJECT

private slots:
    void init() { QVERIFY(renew()); }

    void startAnsweredByAnotherProgram();
    void badLimitStopsTheStart_data();
    void badLimitStopsTheStart();
    void settingsChooseTheLibrary_data();
    void settingsChooseTheLibrary();
    void doctorChecksWhatNeedsNoHost_data();
    void doctorChecksWhatNeedsNoHost();
    void doctorReadsWhyTheHostDidNotStart_data();
    void doctorReadsWhyTheHostDidNotStart();

private:
    QProcessEnvironment environment(const QString& library) const {
        return nativeBridge(path(), library);
    }
    Run run(const QStringList& arguments, const QProcessEnvironment& environment) {
        return runCli(arguments, environment);
    }
    /// The environment with wine-bridge.conf holding text in a configuration folder of the
    /// test's own (none for empty text), and neither HIDEAWAY_GBP_LIBRARY nor HIDEAWAY_GBP_DLL.
    QProcessEnvironment configured(const QByteArray& text);
    QString configFile() const { return bridgeConfigFile(path(QStringLiteral("config"))); }
};

void TestBridgeSettings::startAnsweredByAnotherProgram() {
    QProcessEnvironment echo = environment(QStringLiteral(PHONE_LIBRARY));
    echo.insert(QStringLiteral("HIDEAWAY_WINE"), QStringLiteral("/bin/echo"));

    const Run check = run({QStringLiteral("check")}, echo);

    QCOMPARE(check.status, 1);
    QVERIFY2(check.err.contains(QStringLiteral("under /bin/echo sent bytes that are not its "
                                               "greeting: \"")),
             qPrintable(check.err));
    QVERIFY2(!check.err.contains(QStringLiteral("32-bit")), qPrintable(check.err));
}

void TestBridgeSettings::badLimitStopsTheStart_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("expected");
    QTest::addRow("a word in the file")
        << QByteArray("timeout = soon\n") << QString()
        << QStringLiteral(
               "wine-bridge.conf line 2: timeout = soon: not a whole number of "
               "seconds from 0 (no limit) to 1000000\n");
    QTest::addRow("a negative number in the file")
        << QByteArray("timeout = -5\n") << QString()
        << QStringLiteral("wine-bridge.conf line 2: timeout = -5: not a whole number");
    QTest::addRow("the environment over a good file")
        << QByteArray("timeout = 30\n") << QStringLiteral("2s")
        << QStringLiteral(
               "wine bridge: HIDEAWAY_GBP_TIMEOUT=2s: not a whole number of seconds "
               "from 0 (no limit) to 1000000\n");
}

void TestBridgeSettings::badLimitStopsTheStart() {
    QFETCH(QByteArray, line);
    QFETCH(QString, variable);
    QFETCH(QString, expected);
    QVERIFY(QDir().mkpath(path(QStringLiteral("config/hideaway100k"))));
    QVERIFY(writeFile(path(QStringLiteral("config/hideaway100k/wine-bridge.conf")),
                      "# the phone\n" + line));
    QProcessEnvironment configured = environment(QStringLiteral(PHONE_LIBRARY));
    configured.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
    if (!variable.isEmpty()) {
        configured.insert(QStringLiteral("HIDEAWAY_GBP_TIMEOUT"), variable);
    }
    QVERIFY(writeFile(path(QStringLiteral("nvm-18-09.bin")), "hello"));

    const Run clear = run({QStringLiteral("clear"), QStringLiteral("1")}, configured);

    QCOMPARE(clear.status, 1);
    QVERIFY2(clear.err.contains(expected), qPrintable(clear.err));
    QCOMPARE(readFile(path(QStringLiteral("nvm-18-09.bin"))), QByteArray("hello"));
}

QProcessEnvironment TestBridgeSettings::configured(const QByteArray& text) {
    QProcessEnvironment configured = environment(QString());
    [&] { QVERIFY(configureBridge(configured, path(QStringLiteral("config")), text)); }();
    return configured;
}

void TestBridgeSettings::settingsChooseTheLibrary_data() {
    // %2 in settings stands for a link to the simulated phone whose name holds a '#'.
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("library");
    // %1 in a line stands for wine-bridge.conf's path.
    QTest::addColumn<QString>("line");

    const QByteArray bridge = "dll = " PHONE_LIBRARY "\n";
    const QString bridged = QStringLiteral("library: " BRIDGE_LIBRARY
                                           " (Wine bridge to " PHONE_LIBRARY "), chosen by %1\n");
    QTest::addRow("wine-bridge.conf names a dll: the bridge") << bridge << QString() << bridged;
    QTest::addRow("a '#' in the dll's path is part of it")
        << QByteArray("# the phone\ndll = %2\n") << QString() << bridged;
    QTest::addRow("no wine-bridge.conf: the simulated phone")
        << QByteArray() << QString()
        << QStringLiteral("library: ") + QFileInfo(QStringLiteral(CLI_PATH)).path() +
               QStringLiteral("/libGBP.so, chosen by default: no Wine bridge is set up\n");
    QTest::addRow("HIDEAWAY_GBP_LIBRARY wins over wine-bridge.conf")
        << bridge << QStringLiteral(PHONE_LIBRARY)
        << QStringLiteral("library: " PHONE_LIBRARY ", chosen by HIDEAWAY_GBP_LIBRARY\n");
}

void TestBridgeSettings::settingsChooseTheLibrary() {
    QFETCH(QByteArray, settings);
    QFETCH(QString, library);
    QFETCH(QString, line);
    if (settings.contains("%2")) {
        QVERIFY(QFile::link(QStringLiteral(PHONE_LIBRARY), path(QStringLiteral("phone #2.so"))));
        settings.replace("%2", QFile::encodeName(path(QStringLiteral("phone #2.so"))));
    }
    QProcessEnvironment chosen = configured(settings);
    if (!library.isEmpty()) {
        chosen.insert(QStringLiteral("HIDEAWAY_GBP_LIBRARY"), library);
    }

    const Run check = run({QStringLiteral("check")}, chosen);

    QCOMPARE(check.status, 0);
    line.replace(QStringLiteral("%1"), configFile());
    QVERIFY2(check.err.contains(line), qPrintable(check.err));
}

// What doctor finds before any host starts: the DLL's file and the serial devices.
void TestBridgeSettings::doctorChecksWhatNeedsNoHost_data() {
    QTest::addColumn<QString>("dll");
    QTest::addColumn<QString>("device");
    // %1 stands for the DLL or the device, %2 for wine-bridge.conf's path.
    QTest::addColumn<QString>("line");

    QTest::addRow("missing DLL")
        << QStringLiteral("none.dll") << QString()
        << QStringLiteral(
               "PROBLEM  DLL: %1: no such file; to do: correct the line `dll = ` in %2\n");
    QTest::addRow("no such device")
        << QString() << QStringLiteral("/dev/hideaway-no-such-device")
        << QStringLiteral(
               "PROBLEM  COM1: %1: No such file or directory; to do: plug in the "
               "phone's cable, or correct `com1` in %2\n");
    QTest::addRow("not a serial device")
        << QString() << QStringLiteral("/dev/null")
        << QStringLiteral(
               "PROBLEM  COM1: %1 is not a serial device; to do: name the phone's "
               "serial device (such as /dev/ttyUSB0) as `com1` in %2\n");
    // The device is looked for when the row runs.
    QTest::addRow("a device you may not open")
        << QString() << QString()
        << QStringLiteral(
               "PROBLEM  COM1: %1, which you may not open (Permission denied); to do: "
               "add yourself to the group dialout (`sudo adduser $USER dialout`), then "
               "log in again\n");
}

void TestBridgeSettings::doctorChecksWhatNeedsNoHost() {
    QFETCH(QString, dll);
    QFETCH(QString, device);
    QFETCH(QString, line);
    if (dll.isEmpty() && device.isEmpty()) {
        if (geteuid() == 0) {
            QSKIP("runs as root, who may open every device, so no device shows the fault");
        }
        for (const char* candidate : {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0", "/dev/ttyACM0"}) {
            if (QFileInfo::exists(QLatin1String(candidate)) &&
                access(candidate, R_OK | W_OK) != 0) {
                device = QLatin1String(candidate);
                break;
            }
        }
        if (device.isEmpty()) {
            QSKIP("this machine has no serial device that this user may not open");
        }
    }
    // A DLL that is not there, so that no host starts: the ports are checked all the same.
    const QString named = path(dll.isEmpty() ? QStringLiteral("none.dll") : dll);
    QByteArray settings = "dll = " + QFile::encodeName(named) + "\n";
    if (!device.isEmpty()) {
        settings += "com1 = " + QFile::encodeName(device) + "\n";
    }

    const Run doctor = run({QStringLiteral("doctor")}, configured(settings));

    QCOMPARE(doctor.status, 1);
    line.replace(QStringLiteral("%1"), dll.isEmpty() ? device : named)
        .replace(QStringLiteral("%2"), configFile());
    QVERIFY2(doctor.out.contains(QLatin1Char('\n') + line), qPrintable(doctor.out));
    QVERIFY2(
        doctor.out.startsWith(QStringLiteral("ok       library: " BRIDGE_LIBRARY ", chosen by ") +
                              configFile() + QLatin1Char('\n')),
        qPrintable(doctor.out));
}

void TestBridgeSettings::doctorReadsWhyTheHostDidNotStart_data() {
    QTest::addColumn<bool>("wine32");
    QTest::addColumn<QStringList>("variables");
    // %1 in a line stands for the wine program, %2 for the prefix.
    QTest::addColumn<QStringList>("lines");
    // Debian's wine runs its 64-bit half alone, which cannot run the 32-bit host.
    QTest::addRow("a wine without its 32-bit half")
        << false << QStringList{QStringLiteral("HIDEAWAY_TEST_HOST=/bin/false")}
        << QStringList{QStringLiteral(
               "PROBLEM  Wine's 32-bit half: Wine's 32-bit half is not installed, which the "
               "32-bit host needs; to do: install Debian's packages wine and wine32:i386 (first "
               "`dpkg --add-architecture i386`)\n")};
    // The native host cannot load a Windows DLL, as a real host cannot load a broken one.
    QTest::addRow("a DLL that does not load")
        << true << QStringList()
        << QStringList{
               QStringLiteral("ok       Wine's 32-bit half: the bridge's host, a 32-bit "
                              "Windows program, runs\n"),
               QStringLiteral("PROBLEM  Wine bridge: " TEST_DLLS "/GBP.dll did not load (")};
    QTest::addRow("a wine whose reg fails")
        << true
        << QStringList{QStringLiteral("HIDEAWAY_TEST_REG_STATUS=3"),
                       QStringLiteral("HIDEAWAY_GBP_COM1=/dev/null")}
        << QStringList{QStringLiteral(
               "PROBLEM  Wine bridge: `%1 reg add HKLM\\Software\\Wine\\Ports /v COM1 /d "
               "/dev/null /f` did not prepare the Wine prefix %2 (exit status 3); to do: remove "
               "a half-made prefix and try again; run the command yourself, without WINEDEBUG, "
               "to see why\n")};
}

void TestBridgeSettings::doctorReadsWhyTheHostDidNotStart() {
    QFETCH(bool, wine32);
    QFETCH(QStringList, variables);
    QFETCH(QStringList, lines);
    // A wine in a folder of Debian's layout: its halves in ../lib/wine.
    const QString wine = path(QStringLiteral("usr/bin/wine"));
    const QString halves = path(QStringLiteral("usr/lib/wine/"));
    QVERIFY(QDir().mkpath(QFileInfo(wine).path()) && QDir().mkpath(halves));
    QVERIFY(QFile::link(QStringLiteral(FAKE_WINE), wine));
    for (const QString& half : wine32
                                   ? QStringList{QStringLiteral("wine"), QStringLiteral("wine64")}
                                   : QStringList{QStringLiteral("wine64")}) {
        QVERIFY(QFile::link(QStringLiteral("/bin/true"), halves + half));
    }
    QProcessEnvironment settings = configured("dll = " TEST_DLLS "/GBP.dll\n");
    settings.insert(QStringLiteral("HIDEAWAY_WINE"), wine);
    for (const QString& variable : variables) {
        settings.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    }

    const Run doctor = run({QStringLiteral("doctor")}, settings);

    QCOMPARE(doctor.status, 1);
    for (QString line : lines) {
        line.replace(QStringLiteral("%1"), wine)
            .replace(QStringLiteral("%2"), path(QStringLiteral("prefix")));
        QVERIFY2(doctor.out.contains(QLatin1Char('\n') + line), qPrintable(doctor.out));
    }
    QCOMPARE(doctor.out.contains(QStringLiteral("\nok       Wine's 32-bit half")),
             lines.first().startsWith(QStringLiteral("ok       Wine's 32-bit half")));
}

QTEST_GUILESS_MAIN(TestBridgeSettings)
#include "tst_bridge_settings.moc"
