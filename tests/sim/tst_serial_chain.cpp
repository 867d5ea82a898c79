// A slot carried over a serial line through every layer: the command line, the simulated phone
// library in serial mode, a pseudo-terminal, and hideaway-phone at the far end, with a pulled
// cable, noise, a silent phone and slow answers. HIDEAWAY_SERIAL_CHAIN picks the chain:
// unset, the native library; "bridge", the Wine bridge to GBP.dll with COM1 mapped to the line;
// "windows", the Windows build's command line under Wine (HIDEAWAY_SERIAL_CLI, run through
// HIDEAWAY_SERIAL_WINE_RUN with the DLL folders HIDEAWAY_SERIAL_WINE_DLLS).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "test_files.h"

using namespace hideaway::test;

namespace {

constexpr int kSlot = 3;
constexpr int kUploadLimit = 20990;
// Far beyond any run here (a full slot at 9600 baud takes about 22 s each way), and within the
// Wine bridge's own limit for one call.
constexpr int kRunMs = 300000;

struct Run {
    int status = -1;
    QString out;
    QString err;
};

QString chain() {
    return qEnvironmentVariable("HIDEAWAY_SERIAL_CHAIN");
}

}  // namespace

class SerialChainTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fullSlotCrossesTheLine_data();
    void fullSlotCrossesTheLine();
    void faultsEndInTrueWords_data();
    void faultsEndInTrueWords();

private:
    void startPhone(const QStringList& arguments);
    void stopPhone();
    Run cli(const QStringList& arguments, int baud);
    /// A path as the command line takes it: under Wine, on the drive Z: that is the Unix root.
    QString argument(const QString& path) const {
        return chain() == QLatin1String("windows")
                   ? QStringLiteral("Z:") +
                         QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'))
                   : path;
    }
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString farSlot() const { return path(QStringLiteral("far/nvm-18-11.bin")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_phone;
};

void SerialChainTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("far")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("near")));
    if (chain() == QLatin1String("windows")) {
        // Wine's mount manager makes the COM links from the registry when its server starts.
        QProcess reg;
        reg.start(qEnvironmentVariable("HIDEAWAY_SERIAL_WINE_RUN"),
                  {qEnvironmentVariable("WINEPREFIX"),
                   qEnvironmentVariable("HIDEAWAY_SERIAL_WINE_DLLS"), QStringLiteral("reg"),
                   QStringLiteral("add"), QStringLiteral("HKLM\\Software\\Wine\\Ports"),
                   QStringLiteral("/v"), QStringLiteral("COM1"), QStringLiteral("/d"),
                   path(QStringLiteral("link")), QStringLiteral("/f")});
        QVERIFY2(reg.waitForFinished(kRunMs) && reg.exitCode() == 0, reg.readAllStandardError());
        const QString com1 =
            qEnvironmentVariable("WINEPREFIX") + QStringLiteral("/dosdevices/com1");
        QFile::remove(com1);
        QVERIFY(QFile::link(path(QStringLiteral("link")), com1));
    }
}

void SerialChainTest::cleanup() {
    stopPhone();
    // The library in serial mode keeps no NVM files of its own.
    QCOMPARE(QDir(path(QStringLiteral("near"))).entryList({QStringLiteral("nvm-*")}), {});
}

void SerialChainTest::startPhone(const QStringList& arguments) {
    stopPhone();
    m_phone = std::make_unique<QProcess>();
    m_phone->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_phone->start(QStringLiteral(PHONE_PATH),
                   QStringList{QStringLiteral("--link"), path(QStringLiteral("link")),
                               QStringLiteral("--dir"), path(QStringLiteral("far"))} +
                       arguments);
    QVERIFY2(m_phone->waitForReadyRead(10000), qPrintable(m_phone->errorString()));
    QCOMPARE(QString::fromUtf8(m_phone->readLine()),
             QStringLiteral("ready %1\n").arg(path(QStringLiteral("link"))));
}

void SerialChainTest::stopPhone() {
    if (m_phone) {
        m_phone->terminate();
        QVERIFY(m_phone->waitForFinished(10000));
        m_phone.reset();
    }
}

Run SerialChainTest::cli(const QStringList& arguments, int baud) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString device = path(QStringLiteral("link"));
    QString program = QStringLiteral(CLI_PATH);
    QStringList leading;
    if (chain() == QLatin1String("bridge")) {
        environment.insert(QStringLiteral("HIDEAWAY_GBP_COM1"), device);
        device = QStringLiteral("COM1");
    } else if (chain() == QLatin1String("windows")) {
        environment.remove(QStringLiteral("HIDEAWAY_GBP_LIBRARY"));
        program = qEnvironmentVariable("HIDEAWAY_SERIAL_WINE_RUN");
        leading = {environment.value(QStringLiteral("WINEPREFIX")),
                   qEnvironmentVariable("HIDEAWAY_SERIAL_WINE_DLLS"),
                   qEnvironmentVariable("HIDEAWAY_SERIAL_CLI")};
        device = QStringLiteral("COM1");
    } else {
        environment.insert(QStringLiteral("HIDEAWAY_GBP_LIBRARY"), QStringLiteral(LIBRARY_PATH));
        environment.insert(QStringLiteral("HIDEAWAY_PHONE_DIR"), path(QStringLiteral("near")));
    }
    environment.insert(QStringLiteral("HIDEAWAY_PHONE_SETTINGS"),
                       QStringLiteral("serial = %1;baud = %2").arg(device).arg(baud));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, leading + arguments);
    Run result;
    if (process.waitForFinished(kRunMs) && process.exitStatus() == QProcess::NormalExit) {
        result.status = process.exitCode();
    }
    process.kill();
    process.waitForFinished();
    // A Windows program's lines end in CRLF.
    result.out = QString::fromUtf8(process.readAllStandardOutput()).remove(QLatin1Char('\r'));
    result.err = QString::fromUtf8(process.readAllStandardError()).remove(QLatin1Char('\r'));
    return result;
}

void SerialChainTest::fullSlotCrossesTheLine_data() {
    QTest::addColumn<int>("baud");
    QTest::addRow("115200 baud") << 115200;
    QTest::addRow("9600 baud, no call cut short") << 9600;
}

void SerialChainTest::fullSlotCrossesTheLine() {
    QFETCH(int, baud);
    startPhone({QStringLiteral("--baud"), QString::number(baud)});
    const QByteArray bytes = randomBytes(kUploadLimit, static_cast<quint32>(baud));
    QVERIFY(writeFile(path(QStringLiteral("up.bin")), bytes));

    const QString slot = QString::number(kSlot);
    const Run up =
        cli({QStringLiteral("upload"), slot, argument(path(QStringLiteral("up.bin")))}, baud);
    QVERIFY2(up.status == 0, qPrintable(up.err));
    QCOMPARE(readFile(farSlot()), bytes);
    const Run down =
        cli({QStringLiteral("download"), slot, argument(path(QStringLiteral("down.bin")))}, baud);
    QVERIFY2(down.status == 0, qPrintable(down.err));
    QCOMPARE(readFile(path(QStringLiteral("down.bin"))), bytes);
}

void SerialChainTest::faultsEndInTrueWords_data() {
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    const QString partly =
        QStringLiteral("the slot may now be empty or hold part or all of the file");
    QTest::addRow("cable pulled mid-upload")
        << QStringList{QStringLiteral("--drop-after"), QStringLiteral("10000")} << 1 << partly;
    QTest::addRow("noise the retries carry through")
        << QStringList{QStringLiteral("--noise"), QStringLiteral("10000")} << 0
        << QStringLiteral("written and verified");
    QTest::addRow("noise too thick to carry")
        << QStringList{QStringLiteral("--noise"), QStringLiteral("60")} << 1 << QString();
    QTest::addRow("phone falls silent mid-upload")
        << QStringList{QStringLiteral("--silent-after"), QStringLiteral("10000")} << 1 << partly;
    QTest::addRow("phone silent from the start")
        << QStringList{QStringLiteral("--silent-after"), QStringLiteral("0")} << 1
        << QStringLiteral("the slot was not touched");
    // Each answer comes after its request was asked again: none may pass for a later one's.
    QTest::addRow("answers too late to count")
        << QStringList{QStringLiteral("--delay"), QStringLiteral("1500")} << 1
        << QStringLiteral("the slot was not touched");
    QTest::addRow("slow answers") << QStringList{QStringLiteral("--delay"), QStringLiteral("300")}
                                  << 0 << QStringLiteral("written and verified");
}

void SerialChainTest::faultsEndInTrueWords() {
    QFETCH(QStringList, fault);
    QFETCH(int, status);
    QFETCH(QString, said);
    constexpr int kBaud = 115200;
    const QByteArray old = randomBytes(3000, 1);
    const QByteArray bytes = randomBytes(kUploadLimit, 2);
    QVERIFY(writeFile(farSlot(), old));
    QVERIFY(writeFile(path(QStringLiteral("up.bin")), bytes));
    startPhone(fault);

    const Run up = cli({QStringLiteral("upload"), QString::number(kSlot),
                        argument(path(QStringLiteral("up.bin")))},
                       kBaud);
    QVERIFY2(up.status == status && (up.out + up.err).contains(said), qPrintable(up.out + up.err));
    // The library's own timeout failed the call, not the Wine bridge's last resort.
    QVERIFY2(!up.err.contains(QStringLiteral("so its host was ended")), qPrintable(up.err));
    // What the words say is true of the far phone's slot.
    const QByteArray far = readFile(farSlot());
    if (up.status == 0) {
        QCOMPARE(far, bytes);
    } else if (up.err.contains(QStringLiteral("the slot was not touched"))) {
        QCOMPARE(far, old);
    } else {
        QVERIFY2(bytes.startsWith(far), qPrintable(up.err));
    }

    // A new phone on the same line: the next check works and agrees with the far slot.
    startPhone({});
    const Run check = cli({QStringLiteral("check")}, kBaud);
    QVERIFY2(check.status == 0, qPrintable(check.err));
    QVERIFY2(
        check.out.contains(QStringLiteral("\n%1     18/11     %2\n").arg(kSlot).arg(far.size())),
        qPrintable(check.out));
}

QTEST_GUILESS_MAIN(SerialChainTest)
#include "tst_serial_chain.moc"
