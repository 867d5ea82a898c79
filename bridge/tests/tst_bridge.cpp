// The command line through the Wine bridge to the simulated phone built as a Windows GBP.dll:
// what only the bridge can get wrong (a host that dies, a DLL that does not load, no Wine); the
// round trip, the call limit and the host's watch are tried over both hosts in tst_bridge_native.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include "bridge_config.h"
#include "host_processes.h"
#include "test_files.h"

using namespace hideaway::test;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

}  // namespace

class TestBridge : public QObject {
    Q_OBJECT

private slots:
    void init();

    void hostKilledDuringASlowWrite();
    void hostThatCannotStartTouchesNoSlot_data();
    void hostThatCannotStartTouchesNoSlot();
    void settingsFileNamesTheDllAndTheComPorts();
    void doctorChecksTheDll_data();
    void doctorChecksTheDll();

private:
    QProcessEnvironment environment() const;
    Run run(const QStringList& arguments, const QProcessEnvironment& environment);
    Run run(const QStringList& arguments) { return run(arguments, environment()); }
    QString phoneFile(int slot) const {
        return m_phone->filePath(QStringLiteral("nvm-18-%1.bin").arg(8 + slot, 2, 10, QChar('0')));
    }

    /// The environment with wine-bridge.conf holding text in a temporary XDG_CONFIG_HOME (none
    /// for empty text), and neither HIDEAWAY_GBP_LIBRARY nor HIDEAWAY_GBP_DLL.
    QProcessEnvironment configured(const QByteArray& text);
    QString configFile() const {
        return bridgeConfigFile(m_files->filePath(QStringLiteral("config")));
    }

    std::unique_ptr<QTemporaryDir> m_phone;
    std::unique_ptr<QTemporaryDir> m_files;
};

void TestBridge::init() {
    m_phone = std::make_unique<QTemporaryDir>();
    m_files = std::make_unique<QTemporaryDir>();
    QVERIFY(m_phone->isValid() && m_files->isValid());
}

QProcessEnvironment TestBridge::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HIDEAWAY_PHONE_DIR"), m_phone->path());
    environment.remove(QStringLiteral("HIDEAWAY_PHONE_SETTINGS"));
    environment.insert(QStringLiteral("HIDEAWAY_GBP_LIBRARY"), QStringLiteral(BRIDGE_LIBRARY));
    environment.insert(QStringLiteral("HIDEAWAY_GBP_DLL"), QStringLiteral(TEST_DLLS "/GBP.dll"));
    return environment;
}

Run TestBridge::run(const QStringList& arguments, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(CLI_PATH), arguments);
    Run result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        return result;
    }
    result.status = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void TestBridge::hostKilledDuringASlowWrite() {
    const QByteArray old = "the old content";
    QVERIFY(writeFile(phoneFile(3), old));
    const QByteArray content = randomBytes(4000, 3);
    const QString source = m_files->filePath(QStringLiteral("source.bin"));
    QVERIFY(writeFile(source, content));
    // About four seconds on the wire for the write alone.
    QProcessEnvironment slow = environment();
    slow.insert(QStringLiteral("HIDEAWAY_PHONE_SETTINGS"), QStringLiteral("baud = 9600"));

    QProcess upload;
    upload.setProcessEnvironment(slow);
    upload.start(QStringLiteral(CLI_PATH), {QStringLiteral("upload"), QStringLiteral("3"), source});
    QVERIFY(upload.waitForStarted());
    QList<qint64> hosts;
    QTRY_VERIFY_WITH_TIMEOUT(!(hosts = hostsOf(upload.processId())).isEmpty(), 60000);
    QCOMPARE(hosts.size(), 1);
    // The upload's first link empties the slot; the write follows on its second.
    QTRY_VERIFY_WITH_TIMEOUT(QFile(phoneFile(3)).size() == 0, 60000);
    QTest::qWait(1500);
    QCOMPARE(::kill(static_cast<pid_t>(hosts.first()), SIGKILL), 0);
    QVERIFY(upload.waitForFinished(60000));

    QCOMPARE(upload.exitStatus(), QProcess::NormalExit);
    QCOMPARE(upload.exitCode(), 1);
    const QString err = QString::fromUtf8(upload.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("ended during WriteNVMFile (killed by signal 9")),
             qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("the next InitGBPMode starts a new host")),
             qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral(
                 "upload to slot 3 failed: the slot did not read back as written; the slot may "
                 "now be empty or hold part of the file")),
             qPrintable(err));
    QVERIFY(content.startsWith(readFile(phoneFile(3))));
    QVERIFY(hostsOf(upload.processId()).isEmpty());

    // The next command starts a new host and works.
    const Run check = run({QStringLiteral("check")});
    QCOMPARE(check.status, 0);
}

void TestBridge::hostThatCannotStartTouchesNoSlot_data() {
    QTest::addColumn<QString>("dll");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("wine");
    QTest::addColumn<QString>("expected");

    const QString path = qEnvironmentVariable("PATH");
    QTest::addRow("DLL lacks a call")
        << QStringLiteral(TEST_DLLS "/GBP-lacking.dll") << path << QString()
        << QStringLiteral("wine bridge: ") +
               QStringLiteral("Z:" TEST_DLLS "/GBP-lacking.dll")
                   .replace(QLatin1Char('/'), QLatin1Char('\\')) +
               QStringLiteral(" lacks the call ReadNVMFile\n");
    QTest::addRow("not a DLL")
        << QStringLiteral(TEST_DLLS "/not-a-dll.dll") << path << QString()
        << QStringLiteral("not-a-dll.dll is not a 32-bit Windows DLL (Windows error 193, 0xc1)");
    QTest::addRow("no such DLL") << QStringLiteral(TEST_DLLS "/none.dll") << path << QString()
                                 << QStringLiteral("none.dll: no such file");
    // Where Wine runs 32-bit programs, nothing else is blamed for it.
    QTest::addRow("a wine that ends without a word")
        << QStringLiteral(TEST_DLLS "/GBP.dll") << path << QStringLiteral("/bin/false")
        << QStringLiteral("under /bin/false ended before it answered (exit status 1)\n");
    QTest::addRow("no wine on the path")
        << QStringLiteral(TEST_DLLS "/GBP.dll") << QStringLiteral("/nonexistent") << QString()
        << QStringLiteral(
               "wine bridge: the program 'wine' was not found, so the phone's DLL "
               "cannot run: install Debian's packages wine and wine32:i386");
}

void TestBridge::hostThatCannotStartTouchesNoSlot() {
    QFETCH(QString, dll);
    QFETCH(QString, path);
    QFETCH(QString, wine);
    QFETCH(QString, expected);
    QVERIFY(writeFile(phoneFile(1), "hello"));
    const QString source = m_files->filePath(QStringLiteral("source.bin"));
    QVERIFY(writeFile(source, "new"));
    QProcessEnvironment broken = environment();
    broken.insert(QStringLiteral("HIDEAWAY_GBP_DLL"), dll);
    broken.insert(QStringLiteral("PATH"), path);
    if (!wine.isEmpty()) {
        broken.insert(QStringLiteral("HIDEAWAY_WINE"), wine);
    }

    const Run upload = run({QStringLiteral("upload"), QStringLiteral("1"), source}, broken);

    QCOMPARE(upload.status, 1);
    QVERIFY2(upload.err.contains(expected), qPrintable(upload.err));
    QVERIFY2(upload.err.contains(QStringLiteral("(library result -32768)")),
             qPrintable(upload.err));
    QVERIFY2(upload.err.contains(QStringLiteral("; the slot was not touched")),
             qPrintable(upload.err));
    QCOMPARE(readFile(phoneFile(1)), QByteArray("hello"));
}

void TestBridge::settingsFileNamesTheDllAndTheComPorts() {
    const QString file = configFile();
    const QProcessEnvironment settings =
        configured("# the phone\ndll = " TEST_DLLS "/GBP.dll\ncom2 = /dev/null\n");
    QVERIFY(writeFile(phoneFile(1), "hello"));

    QCOMPARE(run({QStringLiteral("check")}, settings).status, 0);
    const QString link = qEnvironmentVariable("WINEPREFIX") + QStringLiteral("/dosdevices/com2");
    QCOMPARE(QFile::symLinkTarget(link), QStringLiteral("/dev/null"));
    // Also where Wine makes the links from whenever its server starts.
    QProcess query;
    query.setProcessEnvironment(settings);
    query.start(QStringLiteral("wine"), {QStringLiteral("reg"), QStringLiteral("query"),
                                         QStringLiteral("HKLM\\Software\\Wine\\Ports"),
                                         QStringLiteral("/v"), QStringLiteral("COM2")});
    QVERIFY(query.waitForFinished(60000));
    QVERIFY2(query.readAllStandardOutput().contains("/dev/null"), "COM2 is not in the registry");

    // A line the bridge does not understand stops it before any slot is touched.
    QVERIFY(writeFile(file, "dll = " TEST_DLLS "/GBP.dll\nport = 2\n"));
    const Run refused = run({QStringLiteral("clear"), QStringLiteral("1")}, settings);
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains(
                 file + QStringLiteral(" line 2: port: not a setting of the "
                                       "bridge (dll, prefix, wine, timeout, com1 to com5)")),
             qPrintable(refused.err));
    QCOMPARE(readFile(phoneFile(1)), QByteArray("hello"));
}

QProcessEnvironment TestBridge::configured(const QByteArray& text) {
    QProcessEnvironment configured = environment();
    [&] {
        QVERIFY(configureBridge(configured, m_files->filePath(QStringLiteral("config")), text));
    }();
    return configured;
}

void TestBridge::doctorChecksTheDll_data() {
    QTest::addColumn<QString>("dll");
    QTest::addColumn<int>("status");
    // %1 in a line stands for wine-bridge.conf's path.
    QTest::addColumn<QString>("line");

    QTest::addRow("missing DLL") << QStringLiteral(TEST_DLLS "/none.dll") << 1
                                 << QStringLiteral("\nPROBLEM  DLL: " TEST_DLLS
                                                   "/none.dll: no such file; to do: correct "
                                                   "the line `dll = ` in %1\n");
    QTest::addRow("DLL lacks a call")
        << QStringLiteral(TEST_DLLS "/GBP-lacking.dll") << 1
        << QStringLiteral("\nPROBLEM  DLL's calls: ") +
               QStringLiteral("Z:" TEST_DLLS "/GBP-lacking.dll")
                   .replace(QLatin1Char('/'), QLatin1Char('\\')) +
               QStringLiteral(
                   " lacks the call ReadNVMFile; to do: use a complete phone-link DLL\n");
    QTest::addRow("good DLL") << QStringLiteral(TEST_DLLS "/GBP.dll") << 0
                              << QStringLiteral(
                                     "\nok       DLL's calls: all six: InitGBPMode, EndGBPMode, "
                                     "ClearNVMFile, WriteNVMFile, GetNVMFileSize, ReadNVMFile\n");
}

void TestBridge::doctorChecksTheDll() {
    QFETCH(QString, dll);
    QFETCH(int, status);
    QFETCH(QString, line);
    QVERIFY(writeFile(phoneFile(1), "hello"));

    const Run doctor =
        run({QStringLiteral("doctor")}, configured("dll = " + QFile::encodeName(dll) + "\n"));

    QCOMPARE(doctor.status, status);
    line.replace(QStringLiteral("%1"), configFile());
    QVERIFY2(doctor.out.contains(line), qPrintable(doctor.out));
    QVERIFY2(
        doctor.out.startsWith(QStringLiteral("ok       library: " BRIDGE_LIBRARY ", chosen by ") +
                              configFile() + QLatin1Char('\n')),
        qPrintable(doctor.out));
    // Never a call: the simulated phone has not written its slots.
    QCOMPARE(readFile(phoneFile(1)), QByteArray("hello"));
}

QTEST_GUILESS_MAIN(TestBridge)
#include "tst_bridge.moc"
