// The bridge with its host's core built natively in place of gbp-host.exe under Wine: answers
// that break the exchange, a start that is answered by something else than the host, doctor's
// reading of why a host did not start. A call past its limit and a program killed while its host
// is stuck run over both hosts, the Wine one where Wine runs.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "bridge_config.h"
#include "gbp_abi.h"
#include "host_processes.h"
#include "scratch_folder.h"
#include "test_files.h"
#include "wire.h"

using namespace hideaway::bridge;
using namespace hideaway::test;

namespace {

/// The next size bytes from the process's output, or fewer if they do not come.
QByteArray take(QProcess& process, qsizetype size) {
    while (process.bytesAvailable() < size && process.waitForReadyRead(10000)) {
    }
    return process.read(size);
}

template <typename T>
bool send(QProcess& process, const T& value) {
    return process.write(reinterpret_cast<const char*>(&value), sizeof value) == sizeof value;
}

struct Run {
    int status = -1;
    QString out;
    QString err;
};

}  // namespace

class TestBridgeNative : public QObject, private ScratchFolder {
    Q_OBJECT

private slots:
    void init() { QVERIFY(renew()); }

    void roundTripThroughTheNativeHost();
    void callPastItsLimitEndsTheHost_data();
    void callPastItsLimitEndsTheHost();
    void programKilledTakesItsHost_data();
    void programKilledTakesItsHost();
    void ctrlCLetsTheHostFinishItsCall();
    void brokenAnswerEndsTheHost_data();
    void brokenAnswerEndsTheHost();
    void startAnsweredByAnotherProgram();
    void badLimitStopsTheStart_data();
    void badLimitStopsTheStart();
    void hostKeepsLengthsWithinItsBuffer_data();
    void hostKeepsLengthsWithinItsBuffer();
    void settingsChooseTheLibrary_data();
    void settingsChooseTheLibrary();
    void doctorChecksWhatNeedsNoHost_data();
    void doctorChecksWhatNeedsNoHost();
    void doctorReadsWhyTheHostDidNotStart_data();
    void doctorReadsWhyTheHostDidNotStart();

private:
    QProcessEnvironment environment(const QString& library) const;
    /// The environment for the library's file (named without its suffix) on the host: the native
    /// host with a native library, or gbp-host.exe under Wine with the DLL, in a prefix of this
    /// test's own; skips where Wine cannot run.
    QProcessEnvironment hostEnvironment(const QString& host, const QString& library);
    Run run(const QStringList& arguments, const QProcessEnvironment& environment);
    /// The environment with wine-bridge.conf holding text in a configuration folder of the
    /// test's own (none for empty text), and neither HIDEAWAY_GBP_LIBRARY nor HIDEAWAY_GBP_DLL.
    QProcessEnvironment configured(const QByteArray& text);
    QString configFile() const { return bridgeConfigFile(path(QStringLiteral("config"))); }
};

QProcessEnvironment TestBridgeNative::environment(const QString& library) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HIDEAWAY_GBP_LIBRARY"), QStringLiteral(BRIDGE_LIBRARY));
    environment.insert(QStringLiteral("HIDEAWAY_WINE"), QStringLiteral(FAKE_WINE));
    environment.insert(QStringLiteral("HIDEAWAY_TEST_HOST"), QStringLiteral(NATIVE_HOST));
    environment.insert(QStringLiteral("HIDEAWAY_GBP_DLL"), library);
    environment.insert(QStringLiteral("WINEPREFIX"), path(QStringLiteral("prefix")));
    environment.insert(QStringLiteral("HIDEAWAY_PHONE_DIR"), path());
    environment.remove(QStringLiteral("HIDEAWAY_PHONE_SETTINGS"));
    environment.remove(QStringLiteral("HIDEAWAY_GBP_TIMEOUT"));
    return environment;
}

/// Why the Wine rows cannot run here, or empty once this test's prefix is made.
QString wineMissing() {
    static const QString why = [] {
        QProcessEnvironment wine = QProcessEnvironment::systemEnvironment();
        wine.insert(QStringLiteral("WINEPREFIX"), QStringLiteral(WINE_PREFIX));
        wine.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
        for (const QStringList& command :
             {QStringList{QStringLiteral("wine"), QStringLiteral("wineboot"),
                          QStringLiteral("--init")},
              QStringList{QStringLiteral("wineserver"), QStringLiteral("-w")}}) {
            QProcess process;
            process.setProcessEnvironment(wine);
            process.start(command.first(), command.mid(1));
            if (!process.waitForFinished(300000) || process.exitCode() != 0) {
                return QStringLiteral("Wine cannot run here: ") +
                       QString::fromLocal8Bit(process.readAllStandardError()).section(u'\n', 0, 0);
            }
        }
        return QString();
    }();
    return why;
}

QProcessEnvironment TestBridgeNative::hostEnvironment(const QString& host, const QString& library) {
    if (host == QLatin1String("native")) {
        return environment(library == QLatin1String("GBP")
                               ? QStringLiteral(PHONE_LIBRARY)
                               : QStringLiteral(NATIVE_LIBRARIES "/lib%1.so").arg(library));
    }
    QProcessEnvironment wine = environment(QStringLiteral(TEST_DLLS "/%1.dll").arg(library));
    wine.remove(QStringLiteral("HIDEAWAY_WINE"));
    wine.insert(QStringLiteral("WINEPREFIX"), QStringLiteral(WINE_PREFIX));
    return wine;
}

Run TestBridgeNative::run(const QStringList& arguments, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(CLI_PATH), arguments);
    Run result;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit) {
        result.status = process.exitCode();
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
    }
    return result;
}

void TestBridgeNative::roundTripThroughTheNativeHost() {
    const QByteArray content = randomBytes(20990, 4);
    QVERIFY(writeFile(path(QStringLiteral("source.bin")), content));
    const QProcessEnvironment phone = environment(QStringLiteral(PHONE_LIBRARY));

    QCOMPARE(
        run({QStringLiteral("upload"), QStringLiteral("4"), path(QStringLiteral("source.bin"))},
            phone)
            .status,
        0);
    const Run download =
        run({QStringLiteral("download"), QStringLiteral("4"), path(QStringLiteral("target.bin"))},
            phone);
    QCOMPARE(download.status, 0);
    QCOMPARE(readFile(path(QStringLiteral("target.bin"))), content);
}

void TestBridgeNative::callPastItsLimitEndsTheHost_data() {
    QTest::addColumn<QString>("host");
    QTest::addRow("native host") << QStringLiteral("native");
    QTest::addRow("gbp-host.exe under Wine") << QStringLiteral("Wine");
}

void TestBridgeNative::callPastItsLimitEndsTheHost() {
    QFETCH(QString, host);
    if (host == QLatin1String("Wine") && !wineMissing().isEmpty()) {
        QSKIP(qPrintable(wineMissing()));
    }
    QProcessEnvironment limited = hostEnvironment(host, QStringLiteral("GBP-never-returns"));
    limited.insert(QStringLiteral("HIDEAWAY_GBP_TIMEOUT"), QStringLiteral("2"));
    const QString target = path(QStringLiteral("target.bin"));
    QProcess download;
    download.setProcessEnvironment(limited);
    download.start(QStringLiteral(CLI_PATH),
                   {QStringLiteral("download"), QStringLiteral("1"), target});
    QVERIFY(download.waitForStarted());
    QList<qint64> hosts;
    QTRY_VERIFY_WITH_TIMEOUT(!(hosts = hostsOf(download.processId())).isEmpty(), 60000);

    QVERIFY(download.waitForFinished(60000));
    QCOMPARE(download.exitCode(), 1);
    const QString err = QString::fromUtf8(download.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral(" did not answer ReadNVMFile in 2 s, so its host was "
                                         "ended; the next InitGBPMode starts a new host\n")) &&
                 err.contains(QStringLiteral("wine bridge: the library ")) &&
                 err.contains(QStringLiteral("GBP-never-returns.")),
             qPrintable(err));
    QVERIFY(!QFile::exists(target));
    QVERIFY(processEnded(hosts.first()));

    QCOMPARE(run({QStringLiteral("check")}, hostEnvironment(host, QStringLiteral("GBP"))).status,
             0);
}

void TestBridgeNative::programKilledTakesItsHost_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("library");
    for (const QString& host : {QStringLiteral("native"), QStringLiteral("Wine")}) {
        QTest::addRow("%s host, in a call that never returns", qPrintable(host))
            << host << QStringLiteral("GBP-never-returns");
        QTest::addRow("%s host, in a load that never ends", qPrintable(host))
            << host << QStringLiteral("GBP-blocks-in-load");
    }
}

// The host's watch ends it: nothing of the program is left to end it otherwise.
void TestBridgeNative::programKilledTakesItsHost() {
    QFETCH(QString, host);
    QFETCH(QString, library);
    if (host == QLatin1String("Wine") && !wineMissing().isEmpty()) {
        QSKIP(qPrintable(wineMissing()));
    }
    QProcess download;
    download.setProcessEnvironment(hostEnvironment(host, library));
    download.start(QStringLiteral(CLI_PATH), {QStringLiteral("download"), QStringLiteral("1"),
                                              path(QStringLiteral("target.bin"))});
    QVERIFY(download.waitForStarted());
    QList<qint64> hosts;
    QTRY_VERIFY_WITH_TIMEOUT(!(hosts = hostsOf(download.processId())).isEmpty(), 60000);
    // Long enough for the host to be inside the load or the call, which never end.
    QTest::qWait(host == QLatin1String("Wine") ? 5000 : 1000);
    QCOMPARE(::kill(static_cast<pid_t>(download.processId()), SIGKILL), 0);
    QVERIFY(download.waitForFinished(5000));

    QTRY_VERIFY_WITH_TIMEOUT(processEnded(hosts.first()), 5000);
}

// A terminal's Ctrl-C reaches the command line's whole process group. The command line stops
// after the call under way; a host in that group would die in the middle of the write instead.
void TestBridgeNative::ctrlCLetsTheHostFinishItsCall() {
    const QByteArray content = randomBytes(3000, 7);
    QVERIFY(writeFile(path(QStringLiteral("source.bin")), content));
    QProcessEnvironment slow = environment(QStringLiteral(PHONE_LIBRARY));
    slow.insert(QStringLiteral("HIDEAWAY_PHONE_SETTINGS"), QStringLiteral("baud = 9600"));
    QProcess upload;
    upload.setProcessEnvironment(slow);
    upload.setChildProcessModifier([] { ::setpgid(0, 0); });
    upload.start(QStringLiteral(CLI_PATH), {QStringLiteral("upload"), QStringLiteral("1"),
                                            path(QStringLiteral("source.bin"))});
    QVERIFY(upload.waitForStarted());
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT(
        (err += upload.readAllStandardError()).contains("writing 3000 bytes to slot 1"), 20000);
    QCOMPARE(::kill(-static_cast<pid_t>(upload.processId()), SIGINT), 0);
    QVERIFY(upload.waitForFinished(20000));
    err += upload.readAllStandardError();
    QCOMPARE(upload.exitCode(), 130);
    QVERIFY2(!err.contains("ended during"), err.constData());
    QCOMPARE(readFile(path(QStringLiteral("nvm-18-09.bin"))), content);
}

void TestBridgeNative::brokenAnswerEndsTheHost_data() {
    QTest::addColumn<QString>("misbehaviour");
    QTest::addRow("wrong echo") << QStringLiteral("wrong echo");
    QTest::addRow("garbage") << QStringLiteral("garbage");
}

// In this process, so that the host is seen gone before the next call starts another.
void TestBridgeNative::brokenAnswerEndsTheHost() {
    QFETCH(QString, misbehaviour);
    const QProcessEnvironment settings = environment(QStringLiteral(PHONE_LIBRARY));
    for (const QString& name : settings.keys()) {
        qputenv(name.toLocal8Bit().constData(), settings.value(name).toLocal8Bit());
    }
    qputenv("HIDEAWAY_TEST_HOST", MISBEHAVING_HOST);
    qputenv("HIDEAWAY_TEST_MISBEHAVE", misbehaviour.toLocal8Bit());
    void* bridge = dlopen(BRIDGE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    QVERIFY(bridge != nullptr);
    const auto init = reinterpret_cast<GbpInitGBPModeFn>(dlsym(bridge, "InitGBPMode"));
    const auto read = reinterpret_cast<GbpReadNVMFileFn>(dlsym(bridge, "ReadNVMFile"));
    const auto size = reinterpret_cast<GbpGetNVMFileSizeFn>(dlsym(bridge, "GetNVMFileSize"));
    QVERIFY(init != nullptr && read != nullptr && size != nullptr);
    const qint64 self = QCoreApplication::applicationPid();

    QCOMPARE(init(1), 0);
    QCOMPARE(hostsOf(self).size(), 1);
    std::uint8_t buffer[100] = {};
    QCOMPARE(read(18, 9, buffer, 100), -32768);
    QCOMPARE(hostsOf(self), QList<qint64>());

    QCOMPARE(init(1), 0);
    QCOMPARE(size(18, 9), 0);
    QCOMPARE(hostsOf(self).size(), 1);
    // That host goes the same way, so the next row starts its own.
    QCOMPARE(read(18, 9, buffer, 100), -32768);
    QCOMPARE(hostsOf(self), QList<qint64>());
    qunsetenv("HIDEAWAY_TEST_MISBEHAVE");
}

void TestBridgeNative::startAnsweredByAnotherProgram() {
    QProcessEnvironment echo = environment(QStringLiteral(PHONE_LIBRARY));
    echo.insert(QStringLiteral("HIDEAWAY_WINE"), QStringLiteral("/bin/echo"));

    const Run check = run({QStringLiteral("check")}, echo);

    QCOMPARE(check.status, 1);
    QVERIFY2(check.err.contains(QStringLiteral("under /bin/echo sent bytes that are not its "
                                               "greeting: \"")),
             qPrintable(check.err));
    QVERIFY2(!check.err.contains(QStringLiteral("32-bit")), qPrintable(check.err));
}

void TestBridgeNative::badLimitStopsTheStart_data() {
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

void TestBridgeNative::badLimitStopsTheStart() {
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

void TestBridgeNative::hostKeepsLengthsWithinItsBuffer_data() {
    QTest::addColumn<GbpCall>("operation");
    QTest::addRow("a read") << GbpCall::ReadNVMFile;
    QTest::addRow("a write") << GbpCall::WriteNVMFile;
}

// Straight to the host, past the bridge's own refusal of such lengths: whatever length it is
// asked for, the library sees no more room than the host's buffer has.
void TestBridgeNative::hostKeepsLengthsWithinItsBuffer() {
    QFETCH(GbpCall, operation);
    QProcess host;
    host.start(QStringLiteral(NATIVE_HOST), {QStringLiteral(LENGTH_PROBE)});
    QVERIFY(host.waitForStarted());
    BridgeHello hello{{}, kProtocolVersion};
    std::memcpy(hello.magic, kBridgeMagic, sizeof kBridgeMagic);
    QVERIFY(send(host, hello));
    QCOMPARE(take(host, sizeof kHelloMagic), QByteArray(kHelloMagic, sizeof kHelloMagic));
    HelloHeader header{};
    const QByteArray headerBytes = take(host, sizeof header);
    QCOMPARE(headerBytes.size(), qsizetype{sizeof header});
    std::memcpy(&header, headerBytes.constData(), sizeof header);
    QCOMPARE(header.failure, 0);
    take(host, header.textLength);

    QVERIFY(send(host, Request{operation, 18, 9, 1, kMaxTransfer + 1000}));
    if (operation == GbpCall::WriteNVMFile) {
        host.write(QByteArray(kMaxTransfer, 'x'));
    }
    const QByteArray answer = take(host, sizeof(Answer));

    QCOMPARE(answer.size(), qsizetype{sizeof(Answer)});
    QCOMPARE(static_cast<GbpCall>(answer.at(0)), operation);
    QCOMPARE(answer.mid(1), QByteArray(2, '\0'));  // the library's result: 0, not -7
    host.closeWriteChannel();
    QVERIFY(host.waitForFinished(10000));
}

QProcessEnvironment TestBridgeNative::configured(const QByteArray& text) {
    QProcessEnvironment configured = environment(QString());
    [&] { QVERIFY(configureBridge(configured, path(QStringLiteral("config")), text)); }();
    return configured;
}

void TestBridgeNative::settingsChooseTheLibrary_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("library");
    // %1 in a line stands for wine-bridge.conf's path.
    QTest::addColumn<QString>("line");

    const QByteArray bridge = "dll = " PHONE_LIBRARY "\n";
    QTest::addRow("wine-bridge.conf names a dll: the bridge")
        << bridge << QString()
        << QStringLiteral("library: " BRIDGE_LIBRARY " (Wine bridge to " PHONE_LIBRARY
                          "), chosen by %1\n");
    QTest::addRow("no wine-bridge.conf: the simulated phone")
        << QByteArray() << QString()
        << QStringLiteral("library: ") + QFileInfo(QStringLiteral(CLI_PATH)).path() +
               QStringLiteral("/libGBP.so, chosen by default: no Wine bridge is set up\n");
    QTest::addRow("HIDEAWAY_GBP_LIBRARY wins over wine-bridge.conf")
        << bridge << QStringLiteral(PHONE_LIBRARY)
        << QStringLiteral("library: " PHONE_LIBRARY ", chosen by HIDEAWAY_GBP_LIBRARY\n");
}

void TestBridgeNative::settingsChooseTheLibrary() {
    QFETCH(QByteArray, settings);
    QFETCH(QString, library);
    QFETCH(QString, line);
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
void TestBridgeNative::doctorChecksWhatNeedsNoHost_data() {
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

void TestBridgeNative::doctorChecksWhatNeedsNoHost() {
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

void TestBridgeNative::doctorReadsWhyTheHostDidNotStart_data() {
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

void TestBridgeNative::doctorReadsWhyTheHostDidNotStart() {
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

QTEST_GUILESS_MAIN(TestBridgeNative)
#include "tst_bridge_native.moc"
