// The bridge with its host's core built natively in place of gbp-host.exe under Wine: a Ctrl-C,
// answers that break the exchange and lengths past a buffer. A round trip, a call past its limit
// and a program killed while its host is stuck run over both hosts, the Wine one where Wine runs.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "gbp_abi.h"
#include "host_processes.h"
#include "native_bridge.h"
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

}  // namespace

class TestBridgeNative : public QObject, private ScratchFolder {
    Q_OBJECT

private slots:
    void init() { QVERIFY(renew()); }

    void roundTripThroughTheBridge_data() { hosts(); }
    void roundTripThroughTheBridge();
    void callPastItsLimitEndsTheHost_data() { hosts(); }
    void callPastItsLimitEndsTheHost();
    void programKilledTakesItsHost_data();
    void programKilledTakesItsHost();
    void ctrlCLetsTheHostFinishItsCall();
    void brokenAnswerEndsTheHost_data();
    void brokenAnswerEndsTheHost();
    void hostKeepsLengthsWithinItsBuffer_data();
    void hostKeepsLengthsWithinItsBuffer();

private:
    /// One row for each host.
    static void hosts();
    /// The environment for the library's file (named without its suffix) on the host: the native
    /// host with a native library, or gbp-host.exe under Wine with the DLL, in a prefix of this
    /// test's own.
    QProcessEnvironment hostEnvironment(const QString& host, const QString& library);
};

#define SKIP_WHERE_WINE_CANNOT_RUN(host)                                   \
    do {                                                                   \
        if ((host) == QLatin1String("Wine") && !wineMissing().isEmpty()) { \
            QSKIP(qPrintable(wineMissing()));                              \
        }                                                                  \
    } while (false)

QProcessEnvironment TestBridgeNative::hostEnvironment(const QString& host, const QString& library) {
    if (host == QLatin1String("native")) {
        return nativeBridge(path(),
                            library == QLatin1String("GBP")
                                ? QStringLiteral(PHONE_LIBRARY)
                                : QStringLiteral(NATIVE_LIBRARIES "/lib%1.so").arg(library));
    }
    QProcessEnvironment wine =
        nativeBridge(path(), QStringLiteral(TEST_DLLS "/%1.dll").arg(library));
    wine.remove(QStringLiteral("HIDEAWAY_WINE"));
    wine.insert(QStringLiteral("WINEPREFIX"), QStringLiteral(WINE_PREFIX));
    return wine;
}

void TestBridgeNative::hosts() {
    QTest::addColumn<QString>("host");
    QTest::addRow("native host") << QStringLiteral("native");
    QTest::addRow("gbp-host.exe under Wine") << QStringLiteral("Wine");
}

void TestBridgeNative::roundTripThroughTheBridge() {
    QFETCH(QString, host);
    SKIP_WHERE_WINE_CANNOT_RUN(host);
    const QByteArray content = randomBytes(20990, 2);
    const QString source = path(QStringLiteral("source.bin"));
    const QString target = path(QStringLiteral("target.bin"));
    QVERIFY(writeFile(source, content));
    const QProcessEnvironment phone = hostEnvironment(host, QStringLiteral("GBP"));

    QCOMPARE(runCli({QStringLiteral("upload"), QStringLiteral("2"), source}, phone).status, 0);
    QCOMPARE(readFile(path(QStringLiteral("nvm-18-10.bin"))), content);
    const Run check = runCli({QStringLiteral("check")}, phone);
    QCOMPARE(check.status, 0);
    QVERIFY2(check.out.contains(QStringLiteral("\n2     18/10     20990\n")),
             qPrintable(check.out));
    // The bridge is named with the library it hosts, a DLL as Windows names that.
    const QString hosted = host == QLatin1String("native")
                               ? QStringLiteral(PHONE_LIBRARY)
                               : QStringLiteral("Z:" TEST_DLLS "/GBP.dll")
                                     .replace(QLatin1Char('/'), QLatin1Char('\\'));
    const QRegularExpressionMatch library =
        QRegularExpression(
            QStringLiteral("(?:^|\n)library: (.+) \\(Wine bridge to (.+)\\), (.+)\n"))
            .match(check.err);
    QVERIFY2(library.hasMatch(), qPrintable(check.err));
    QCOMPARE(library.capturedTexts().mid(1),
             (QStringList{QStringLiteral(BRIDGE_LIBRARY), hosted,
                          QStringLiteral("chosen by HIDEAWAY_GBP_LIBRARY")}));
    QCOMPARE(runCli({QStringLiteral("download"), QStringLiteral("2"), target}, phone).status, 0);
    QCOMPARE(readFile(target), content);
    QCOMPARE(runCli({QStringLiteral("clear"), QStringLiteral("2")}, phone).status, 0);
    QCOMPARE(readFile(path(QStringLiteral("nvm-18-10.bin"))), QByteArray());
}

void TestBridgeNative::callPastItsLimitEndsTheHost() {
    QFETCH(QString, host);
    SKIP_WHERE_WINE_CANNOT_RUN(host);
    QProcessEnvironment limited = hostEnvironment(host, QStringLiteral("GBP-never-returns"));
    limited.insert(QStringLiteral("HIDEAWAY_GBP_TIMEOUT"), QStringLiteral("2"));
    limited.insert(QStringLiteral("HIDEAWAY_TEST_HELPER"), QStringLiteral("1"));
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
    // Nothing the host started outlives it: its group was ended with it.
    QTRY_COMPARE_WITH_TIMEOUT(groupMembers(hosts.first()), QList<qint64>(), 5000);

    QCOMPARE(runCli({QStringLiteral("check")}, hostEnvironment(host, QStringLiteral("GBP"))).status,
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
    SKIP_WHERE_WINE_CANNOT_RUN(host);
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

    // Under Wine the host may still be starting Wine's session, and sees its input end after that.
    QTRY_VERIFY_WITH_TIMEOUT(processEnded(hosts.first()),
                             host == QLatin1String("Wine") ? 60000 : 5000);
}

// A terminal's Ctrl-C reaches the command line's whole process group. The command line stops
// after the call under way; a host in that group would die in the middle of the write instead.
void TestBridgeNative::ctrlCLetsTheHostFinishItsCall() {
    const QByteArray content = randomBytes(3000, 7);
    QVERIFY(writeFile(path(QStringLiteral("source.bin")), content));
    QProcessEnvironment slow = nativeBridge(path(), QStringLiteral(PHONE_LIBRARY));
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
    const QProcessEnvironment settings = nativeBridge(path(), QStringLiteral(PHONE_LIBRARY));
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

QTEST_GUILESS_MAIN(TestBridgeNative)
#include "tst_bridge_native.moc"
