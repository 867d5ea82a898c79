// The simulated phone, end to end: the built library is loaded by path and driven through its
// C calls, as the program drives it.
#include <csignal>
#include <memory>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "gbp_abi.h"

namespace {

// The results users find documented for the simulated phone.
constexpr int kNoPhoneOnPort = 1;
constexpr int kFolderUnusable = 2;
constexpr int kSettingsUnreadable = 3;
constexpr int kPhoneInUse = 4;
constexpr int kMalformedSetting = 99;
constexpr int kNotInGbpMode = -1;
constexpr int kNoSuchNvmFile = -2;
constexpr int kIoError = -3;
constexpr int kBadArgument = -4;
constexpr int kDamagedNvmFile = -5;

constexpr int kCapacity = 21000;

/// What ReadNVMFile answered, and the bytes it placed.
using ReadAnswer = std::pair<int, QByteArray>;

QByteArray pattern(int length, int seed = 1) {
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i) {
        bytes[i] = static_cast<char>((i * 7 + seed * 13) & 0xFF);
    }
    return bytes;
}

/// The library as the program holds it: loaded by path, each call resolved by its name.
class LoadedPhone {
public:
    bool load() {
        m_library.setFileName(QStringLiteral(GBP_LIBRARY_PATH));
        if (!m_library.load()) {
            return false;
        }
        init = resolve<GbpInitGBPModeFn>("InitGBPMode");
        end = resolve<GbpEndGBPModeFn>("EndGBPMode");
        clear = resolve<GbpClearNVMFileFn>("ClearNVMFile");
        write = resolve<GbpWriteNVMFileFn>("WriteNVMFile");
        size = resolve<GbpGetNVMFileSizeFn>("GetNVMFileSize");
        read = resolve<GbpReadNVMFileFn>("ReadNVMFile");
        return init && end && clear && write && size && read;
    }
    bool unload() { return m_library.unload(); }
    bool isLoaded() const { return m_library.isLoaded(); }

    int writeBytes(int number, QByteArray bytes) {
        return write(18, static_cast<std::uint8_t>(number),
                     reinterpret_cast<std::uint8_t*>(bytes.data()),
                     static_cast<std::int32_t>(bytes.size()));
    }
    /// The read's result, and the bytes it placed when it succeeded.
    ReadAnswer readBytes(int number, int maxLength = kCapacity) {
        QByteArray buffer(maxLength, '\0');
        const int result = read(18, static_cast<std::uint8_t>(number),
                                reinterpret_cast<std::uint8_t*>(buffer.data()), maxLength);
        return {result, result >= 0 ? buffer.left(result) : QByteArray()};
    }

    GbpInitGBPModeFn init = nullptr;
    GbpEndGBPModeFn end = nullptr;
    GbpClearNVMFileFn clear = nullptr;
    GbpWriteNVMFileFn write = nullptr;
    GbpGetNVMFileSizeFn size = nullptr;
    GbpReadNVMFileFn read = nullptr;

private:
    template <typename Fn>
    Fn resolve(const char* name) {
        return reinterpret_cast<Fn>(m_library.resolve(name));
    }
    QLibrary m_library;
};

}  // namespace

class SimulatedPhoneTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void slotsPersistAcrossReload_data();
    void slotsPersistAcrossReload();
    void nvmCallsNeedGbpMode_data();
    void nvmCallsNeedGbpMode();
    void phoneAnswersOnItsPort_data();
    void phoneAnswersOnItsPort();
    void settingsReadAtEveryInit();
    void unusableFolder_data();
    void unusableFolder();
    void defaultFolder_data();
    void defaultFolder();
    void oneProgramAtATime_data();
    void oneProgramAtATime();

    void capacity_data();
    void capacity();
    void readStaysWithinMaximum_data();
    void readStaysWithinMaximum();
    void clearAndNeverWritten();
    void badCalls_data();
    void badCalls();

    void failedWriteKeepsOldContent();
    void failedRenameLeavesNoTemporary();
    void leftoverTemporaryRemovedAtInit();
    void oversizedFileIsDamaged();

    void forcedNvmResult_data();
    void forcedNvmResult();
    void forcedInit_data();
    void forcedInit();
    void forcedEndLeavesModeAsItWas();
    void nextCallsCountDown();
    void writeFaults_data();
    void writeFaults();
    void fastSerialLine();
    void malformedSetting_data();
    void malformedSetting();

private:
    QString folder() const { return m_dir->filePath(QStringLiteral("phone")); }
    QString nvmFile(int number) const {
        return folder() + QStringLiteral("/nvm-18-%1.bin").arg(number, 2, 10, QLatin1Char('0'));
    }
    void writeSettings(const QByteArray& text) {
        QDir().mkpath(folder());
        QFile file(folder() + QStringLiteral("/phone.conf"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    QByteArray fileContent(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }
    QStringList leftoverTemporaries() const {
        return QDir(folder()).entryList({QStringLiteral("*.tmp-*")}, QDir::AllEntries);
    }
    /// Every entry of the phone's folder with its content and time of change.
    QStringList folderSnapshot() {
        QStringList entries;
        const QDir dir(folder());
        for (const QFileInfo& entry : dir.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                        QDir::System | QDir::NoDotAndDotDot)) {
            entries << entry.fileName() + QLatin1Char(' ') +
                           QString::number(entry.lastModified().toMSecsSinceEpoch()) +
                           QLatin1Char(' ') +
                           QString::fromLatin1(fileContent(entry.filePath()).toHex());
        }
        return entries;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    LoadedPhone m_phone;
};

void SimulatedPhoneTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("HIDEAWAY_PHONE_DIR", QFile::encodeName(folder()));
    qunsetenv("HIDEAWAY_PHONE_SETTINGS");
    QVERIFY(m_phone.load());
}

void SimulatedPhoneTest::cleanup() {
    if (m_phone.isLoaded()) {
        m_phone.end();
        m_phone.unload();
    }
    qunsetenv("HIDEAWAY_PHONE_SETTINGS");
    m_dir.reset();
}

void SimulatedPhoneTest::slotsPersistAcrossReload_data() {
    QTest::addColumn<int>("number");
    for (int slot = 1; slot <= 5; ++slot) {
        QTest::addRow("slot %d", slot) << 8 + slot;
    }
}

void SimulatedPhoneTest::slotsPersistAcrossReload() {
    QFETCH(int, number);
    const QByteArray content = pattern(1000 + number, number);
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.writeBytes(number, content), 0);
    QCOMPARE(m_phone.end(), 0);
    QVERIFY(m_phone.unload());

    QVERIFY(m_phone.load());
    // A fresh load knows nothing of the last one's GBP mode.
    QCOMPARE(m_phone.size(18, static_cast<std::uint8_t>(number)), kNotInGbpMode);
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.size(18, static_cast<std::uint8_t>(number)), content.size());
    QCOMPARE(m_phone.readBytes(number), ReadAnswer(content.size(), content));
    QCOMPARE(fileContent(nvmFile(number)), content);
}

void SimulatedPhoneTest::nvmCallsNeedGbpMode_data() {
    QTest::addColumn<QList<int>>("initPorts");
    QTest::addColumn<bool>("endFirst");
    QTest::addRow("never initialised") << QList<int>{} << false;
    QTest::addRow("after EndGBPMode") << QList<int>{1} << true;
    QTest::addRow("after init on a port with no phone") << QList<int>{2} << false;
    QTest::addRow("open, then a failed init") << QList<int>{1, 3} << false;
}

void SimulatedPhoneTest::nvmCallsNeedGbpMode() {
    QFETCH(QList<int>, initPorts);
    QFETCH(bool, endFirst);
    for (int port : initPorts) {
        m_phone.init(static_cast<std::uint8_t>(port));
    }
    if (endFirst) {
        QCOMPARE(m_phone.end(), 0);
    }
    QCOMPARE(m_phone.clear(18, 9), kNotInGbpMode);
    QCOMPARE(m_phone.writeBytes(9, "abc"), kNotInGbpMode);
    QCOMPARE(m_phone.size(18, 9), kNotInGbpMode);
    QCOMPARE(m_phone.readBytes(9).first, kNotInGbpMode);
    QVERIFY(!QFile::exists(nvmFile(9)));
    QCOMPARE(m_phone.end(), 0);
}

void SimulatedPhoneTest::phoneAnswersOnItsPort_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("expected");
    QTest::addRow("default port 1") << QByteArray() << QByteArray() << 1 << 0;
    QTest::addRow("default, asked on 2") << QByteArray() << QByteArray() << 2 << kNoPhoneOnPort;
    QTest::addRow("port 0 never answers") << QByteArray() << QByteArray() << 0 << kNoPhoneOnPort;
    QTest::addRow("file port 4") << QByteArray("port = 4\n") << QByteArray() << 4 << 0;
    QTest::addRow("file with a byte-order mark, port 4")
        << QByteArray("\xEF\xBB\xBFport = 4\n") << QByteArray() << 4 << 0;
    QTest::addRow("file port 4, asked on 1")
        << QByteArray("port = 4\n") << QByteArray() << 1 << kNoPhoneOnPort;
    QTest::addRow("environment overrides file")
        << QByteArray("port = 4\n") << QByteArray("port = 5") << 5 << 0;
    QTest::addRow("environment overrides, file port gone")
        << QByteArray("port = 4\n") << QByteArray("port = 5") << 4 << kNoPhoneOnPort;
}

void SimulatedPhoneTest::phoneAnswersOnItsPort() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, environment);
    QFETCH(int, port);
    QFETCH(int, expected);
    writeSettings(file);
    if (!environment.isEmpty()) {
        qputenv("HIDEAWAY_PHONE_SETTINGS", environment);
    }
    QCOMPARE(m_phone.init(static_cast<std::uint8_t>(port)), expected);
    QCOMPARE(m_phone.size(18, 9), expected == 0 ? 0 : kNotInGbpMode);
}

void SimulatedPhoneTest::settingsReadAtEveryInit() {
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.end(), 0);
    writeSettings("port = 2\n");
    QCOMPARE(m_phone.init(1), kNoPhoneOnPort);
    QCOMPARE(m_phone.init(2), 0);
}

void SimulatedPhoneTest::unusableFolder_data() {
    QTest::addColumn<QString>("phoneFolder");
    QTest::addColumn<int>("expected");
    QTest::addRow("folder is a file") << QStringLiteral("plain") << kFolderUnusable;
    QTest::addRow("folder below a file") << QStringLiteral("plain/phone") << kFolderUnusable;
    QTest::addRow("phone.conf is a folder") << QStringLiteral("conf") << kSettingsUnreadable;
#ifdef Q_OS_UNIX
    QTest::addRow("phone.conf is a pipe") << QStringLiteral("pipe") << kMalformedSetting;
#endif
}

void SimulatedPhoneTest::unusableFolder() {
    QFETCH(QString, phoneFolder);
    QFETCH(int, expected);
    QFile plain(m_dir->filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("conf/phone.conf"))));
#ifdef Q_OS_UNIX
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("pipe"))));
    QCOMPARE(::mkfifo(QFile::encodeName(m_dir->filePath(QStringLiteral("pipe/phone.conf"))), 0600),
             0);
    // Reading a pipe without a writer would wait for ever; the alarm ends the test instead.
    ::alarm(20);
#endif
    qputenv("HIDEAWAY_PHONE_DIR", QFile::encodeName(m_dir->filePath(phoneFolder)));
    const int result = m_phone.init(1);
#ifdef Q_OS_UNIX
    ::alarm(0);
#endif
    QCOMPARE(result, expected);
    QCOMPARE(m_phone.size(18, 9), kNotInGbpMode);
}

void SimulatedPhoneTest::defaultFolder_data() {
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<QString>("expectedBelowTemp");
    QTest::addRow("XDG_DATA_HOME set")
        << QStringLiteral("<temp>/data") << QStringLiteral("data/hideaway100k/phone");
    QTest::addRow("XDG_DATA_HOME unset")
        << QString() << QStringLiteral("home/.local/share/hideaway100k/phone");
    QTest::addRow("XDG_DATA_HOME relative, ignored")
        << QStringLiteral("relative") << QStringLiteral("home/.local/share/hideaway100k/phone");
}

void SimulatedPhoneTest::defaultFolder() {
#ifndef Q_OS_UNIX
    QSKIP("the data folders named here are those of Unix systems");
#endif
    QFETCH(QString, xdgDataHome);
    QFETCH(QString, expectedBelowTemp);
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME");
    const bool hadXdg = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    qunsetenv("HIDEAWAY_PHONE_DIR");
    qputenv("HOME", QFile::encodeName(m_dir->filePath(QStringLiteral("home"))));
    if (xdgDataHome.isNull()) {
        qunsetenv("XDG_DATA_HOME");
    } else {
        xdgDataHome.replace(QStringLiteral("<temp>"), m_dir->path());
        qputenv("XDG_DATA_HOME", QFile::encodeName(xdgDataHome));
    }
    const int result = m_phone.init(1);
    const int written = m_phone.writeBytes(9, "here");
    qputenv("HOME", oldHome);
    if (hadXdg) {
        qputenv("XDG_DATA_HOME", oldXdg);
    } else {
        qunsetenv("XDG_DATA_HOME");
    }
    QCOMPARE(result, 0);
    QCOMPARE(written, 0);
    QCOMPARE(fileContent(m_dir->filePath(expectedBelowTemp + QStringLiteral("/nvm-18-09.bin"))),
             QByteArray("here"));
}

void SimulatedPhoneTest::oneProgramAtATime_data() {
    QTest::addColumn<bool>("killed");
    QTest::addRow("other program ends GBP mode") << false;
    QTest::addRow("other program killed") << true;
}

void SimulatedPhoneTest::oneProgramAtATime() {
    QFETCH(bool, killed);
    constexpr int kWaitMs = 30000;
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.writeBytes(9, "stored"), 0);
    QCOMPARE(m_phone.end(), 0);
    writeSettings("port = 1\n");

    QProcess other;
    other.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    other.start(QStringLiteral(GBP_HOLDER_PATH));
    QVERIFY2(other.waitForReadyRead(kWaitMs), qPrintable(other.errorString()));
    QCOMPARE(other.readLine().trimmed(), QByteArray("0"));
    // What the other program's write in flight has in the folder.
    QFile inFlight(nvmFile(9) + QStringLiteral(".tmp-other"));
    QVERIFY(inFlight.open(QIODevice::WriteOnly));
    inFlight.write("half");
    inFlight.close();
    const QStringList before = folderSnapshot();

    QCOMPARE(m_phone.init(1), kPhoneInUse);
    QCOMPARE(m_phone.size(18, 9), kNotInGbpMode);
    QCOMPARE(folderSnapshot(), before);

    if (killed) {
        other.kill();
    } else {
        other.write("end\n");
        other.closeWriteChannel();
    }
    QVERIFY(other.waitForFinished(kWaitMs));
    QCOMPARE(other.exitStatus(), killed ? QProcess::CrashExit : QProcess::NormalExit);
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.readBytes(9), ReadAnswer(6, QByteArray("stored")));
}

void SimulatedPhoneTest::capacity_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("kept");
    QTest::addRow("empty write") << 0 << 0;
    QTest::addRow("largest upload, 20990") << 20990 << 20990;
    QTest::addRow("exactly full, 21000") << kCapacity << kCapacity;
    QTest::addRow("one byte over keeps 21000") << kCapacity + 1 << kCapacity;
    QTest::addRow("far over keeps 21000") << 40000 << kCapacity;
}

void SimulatedPhoneTest::capacity() {
    QFETCH(int, length);
    QFETCH(int, kept);
    const QByteArray content = pattern(length);
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.writeBytes(11, content), 0);
    QCOMPARE(m_phone.size(18, 11), kept);
    QCOMPARE(m_phone.readBytes(11), ReadAnswer(kept, content.left(kept)));
}

void SimulatedPhoneTest::readStaysWithinMaximum_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("maxLength");
    QTest::addRow("maximum below size") << 100 << 10;
    QTest::addRow("maximum zero") << 100 << 0;
    QTest::addRow("maximum equal to size") << 100 << 100;
    QTest::addRow("full file, maximum one short") << kCapacity << kCapacity - 1;
}

void SimulatedPhoneTest::readStaysWithinMaximum() {
    QFETCH(int, stored);
    QFETCH(int, maxLength);
    const QByteArray content = pattern(stored);
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.writeBytes(12, content), 0);

    constexpr int kGuard = 16;
    QByteArray buffer(maxLength + kGuard, '\x5A');
    const int result =
        m_phone.read(18, 12, reinterpret_cast<std::uint8_t*>(buffer.data()), maxLength);
    QCOMPARE(result, qMin(stored, maxLength));
    QCOMPARE(buffer.left(result), content.left(result));
    QCOMPARE(buffer.mid(maxLength), QByteArray(kGuard, '\x5A'));
}

void SimulatedPhoneTest::clearAndNeverWritten() {
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.size(18, 13), 0);
    QCOMPARE(m_phone.readBytes(13), ReadAnswer(0, QByteArray()));

    QCOMPARE(m_phone.writeBytes(13, pattern(500)), 0);
    QCOMPARE(m_phone.clear(18, 13), 0);
    QCOMPARE(m_phone.size(18, 13), 0);
    QCOMPARE(m_phone.readBytes(13), ReadAnswer(0, QByteArray()));
    QCOMPARE(fileContent(nvmFile(13)), QByteArray());
}

void SimulatedPhoneTest::badCalls_data() {
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("expected");
    QTest::addRow("write, negative length") << QStringLiteral("write -1") << kBadArgument;
    QTest::addRow("write, no buffer") << QStringLiteral("write null") << kBadArgument;
    QTest::addRow("read, negative maximum") << QStringLiteral("read -1") << kBadArgument;
    QTest::addRow("read, no buffer") << QStringLiteral("read null") << kBadArgument;
    QTest::addRow("write, group 17") << QStringLiteral("write group17") << kNoSuchNvmFile;
    QTest::addRow("clear, group 17") << QStringLiteral("clear group17") << kNoSuchNvmFile;
    QTest::addRow("size, group 19") << QStringLiteral("size group19") << kNoSuchNvmFile;
    QTest::addRow("read, group 0") << QStringLiteral("read group0") << kNoSuchNvmFile;
}

void SimulatedPhoneTest::badCalls() {
    QFETCH(QString, call);
    QFETCH(int, expected);
    const QByteArray old = pattern(64);
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.writeBytes(10, old), 0);

    std::uint8_t bytes[4] = {1, 2, 3, 4};
    int result = 0;
    if (call == QLatin1String("write -1")) {
        result = m_phone.write(18, 10, bytes, -1);
    } else if (call == QLatin1String("write null")) {
        result = m_phone.write(18, 10, nullptr, 4);
    } else if (call == QLatin1String("read -1")) {
        result = m_phone.read(18, 10, bytes, -1);
    } else if (call == QLatin1String("read null")) {
        result = m_phone.read(18, 10, nullptr, 4);
    } else if (call == QLatin1String("write group17")) {
        result = m_phone.write(17, 10, bytes, 4);
    } else if (call == QLatin1String("clear group17")) {
        result = m_phone.clear(17, 10);
    } else if (call == QLatin1String("size group19")) {
        result = m_phone.size(19, 10);
    } else if (call == QLatin1String("read group0")) {
        result = m_phone.read(0, 10, bytes, 4);
    } else {
        QFAIL("unknown call");
    }
    QCOMPARE(result, expected);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes), 4), QByteArray("\1\2\3\4"));
    QCOMPARE(fileContent(nvmFile(10)), old);
    QCOMPARE(QDir(folder()).entryList({QStringLiteral("nvm-*")}, QDir::Files).size(), 1);
}

void SimulatedPhoneTest::failedWriteKeepsOldContent() {
#ifndef Q_OS_UNIX
    QSKIP("needs a file size limit to break a write part-way");
#else
    const QByteArray old = pattern(300, 3);
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.writeBytes(9, old), 0);

    // A file size limit stops the next write after 100 bytes, as a full disk would; even root
    // obeys it.
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = m_phone.writeBytes(9, pattern(5000, 4));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(result, kIoError);
    QCOMPARE(fileContent(nvmFile(9)), old);
    QCOMPARE(leftoverTemporaries(), QStringList());
    QCOMPARE(m_phone.readBytes(9), ReadAnswer(old.size(), old));
#endif
}

void SimulatedPhoneTest::failedRenameLeavesNoTemporary() {
    QCOMPARE(m_phone.init(1), 0);
    // A folder in the NVM file's place cannot be replaced by a file.
    QVERIFY(QDir().mkpath(nvmFile(10) + QStringLiteral("/inside")));
    QCOMPARE(m_phone.writeBytes(10, pattern(50)), kIoError);
    QCOMPARE(m_phone.clear(18, 10), kIoError);
    QCOMPARE(m_phone.size(18, 10), kIoError);
    QCOMPARE(m_phone.readBytes(10).first, kIoError);
    QCOMPARE(leftoverTemporaries(), QStringList());
}

void SimulatedPhoneTest::leftoverTemporaryRemovedAtInit() {
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.writeBytes(11, "whole"), 0);
    QCOMPARE(m_phone.end(), 0);
    // What a crash between writing the temporary and renaming it leaves behind.
    QFile leftover(nvmFile(11) + QStringLiteral(".tmp-a1b2c3"));
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.write("half");
    leftover.close();

    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(leftoverTemporaries(), QStringList());
    QCOMPARE(m_phone.readBytes(11), ReadAnswer(5, QByteArray("whole")));
}

void SimulatedPhoneTest::oversizedFileIsDamaged() {
    QCOMPARE(m_phone.init(1), 0);
    // No write makes one; only a file put in the folder by hand can be this long.
    QFile oversized(nvmFile(12));
    QVERIFY(oversized.open(QIODevice::WriteOnly));
    oversized.write(pattern(kCapacity + 1));
    oversized.close();
    QByteArray buffer(8, '\x5A');
    QCOMPARE(m_phone.size(18, 12), kDamagedNvmFile);
    QCOMPARE(m_phone.read(18, 12, reinterpret_cast<std::uint8_t*>(buffer.data()), 8),
             kDamagedNvmFile);
    QCOMPARE(buffer, QByteArray(8, '\x5A'));
}

void SimulatedPhoneTest::forcedNvmResult_data() {
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("forced");
    // The NVM file asked for holds "stored" (6 bytes) before the call.
    QTest::addRow("size forced for all")
        << QByteArray("force.GetNVMFileSize = 7") << QStringLiteral("size") << 9 << 7 << true;
    QTest::addRow("size forced for 11, asked 11") << QByteArray("force.GetNVMFileSize.11 = -20")
                                                  << QStringLiteral("size") << 11 << -20 << true;
    QTest::addRow("size forced for 11, asked 12") << QByteArray("force.GetNVMFileSize.11 = -20")
                                                  << QStringLiteral("size") << 12 << 6 << false;
    QTest::addRow("read forced negative")
        << QByteArray("force.ReadNVMFile = -3") << QStringLiteral("read") << 10 << -3 << true;
    QTest::addRow("read forced to a count, reads nothing")
        << QByteArray("force.ReadNVMFile.10 = 4") << QStringLiteral("read") << 10 << 4 << true;
    QTest::addRow("write forced 0, writes nothing")
        << QByteArray("force.WriteNVMFile = 0") << QStringLiteral("write") << 12 << 0 << true;
    QTest::addRow("write forced for 9, asked 13")
        << QByteArray("force.WriteNVMFile.9 = -8") << QStringLiteral("write") << 13 << 0 << false;
    QTest::addRow("clear forced 0, clears nothing")
        << QByteArray("force.ClearNVMFile.13 = 0") << QStringLiteral("clear") << 13 << 0 << true;
    QTest::addRow("file rule beats general rule")
        << QByteArray("force.GetNVMFileSize = 1\nforce.GetNVMFileSize.9 = 2")
        << QStringLiteral("size") << 9 << 2 << true;
    QTest::addRow("later line replaces earlier")
        << QByteArray("force.GetNVMFileSize = 1\nforce.GetNVMFileSize = 3")
        << QStringLiteral("size") << 9 << 3 << true;
}

void SimulatedPhoneTest::forcedNvmResult() {
    QFETCH(QByteArray, setting);
    QFETCH(QString, operation);
    QFETCH(int, number);
    QFETCH(int, expected);
    QFETCH(bool, forced);
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.writeBytes(number, "stored"), 0);
    QCOMPARE(m_phone.end(), 0);
    writeSettings(setting);
    QCOMPARE(m_phone.init(1), 0);

    const auto slot = static_cast<std::uint8_t>(number);
    QByteArray buffer(32, '\x5A');
    int result = 0;
    if (operation == QLatin1String("size")) {
        result = m_phone.size(18, slot);
    } else if (operation == QLatin1String("read")) {
        result = m_phone.read(18, slot, reinterpret_cast<std::uint8_t*>(buffer.data()), 32);
    } else if (operation == QLatin1String("write")) {
        result = m_phone.writeBytes(number, "new content");
    } else {
        result = m_phone.clear(18, slot);
    }
    QCOMPARE(result, expected);
    if (forced) {
        QCOMPARE(buffer, QByteArray(32, '\x5A'));
        QCOMPARE(fileContent(nvmFile(number)), QByteArray("stored"));
    } else if (operation == QLatin1String("write")) {
        QCOMPARE(fileContent(nvmFile(number)), QByteArray("new content"));
    }
}

void SimulatedPhoneTest::forcedInit_data() {
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("open");
    QTest::addRow("init returns 5") << QByteArray("force.InitGBPMode = 5") << 1 << 5 << false;
    QTest::addRow("init returns -1") << QByteArray("force.InitGBPMode = -1") << 1 << -1 << false;
    QTest::addRow("init returns 0 on any port")
        << QByteArray("force.InitGBPMode = 0") << 3 << 0 << true;
}

void SimulatedPhoneTest::forcedInit() {
    QFETCH(QByteArray, setting);
    QFETCH(int, port);
    QFETCH(int, expected);
    QFETCH(bool, open);
    writeSettings(setting);
    QCOMPARE(m_phone.init(static_cast<std::uint8_t>(port)), expected);
    QCOMPARE(m_phone.size(18, 9), open ? 0 : kNotInGbpMode);
}

void SimulatedPhoneTest::forcedEndLeavesModeAsItWas() {
    writeSettings("force.EndGBPMode = 7 next 1");
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.end(), 7);
    QCOMPARE(m_phone.size(18, 9), 0);
    QCOMPARE(m_phone.end(), 0);
    QCOMPARE(m_phone.size(18, 9), kNotInGbpMode);
}

void SimulatedPhoneTest::nextCallsCountDown() {
    writeSettings("force.GetNVMFileSize.9 = -7 next 2\n");
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.size(18, 10), 0);  // another file's call does not count
    QCOMPARE(m_phone.size(18, 9), -7);
    QCOMPARE(m_phone.end(), 0);
    // The same settings read again keep their count...
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.size(18, 9), -7);
    QCOMPARE(m_phone.size(18, 9), 0);
    QCOMPARE(m_phone.end(), 0);
    // ...changed settings start a new one...
    qputenv("HIDEAWAY_PHONE_SETTINGS", "write.short = 0");
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.size(18, 9), -7);
    QCOMPARE(m_phone.end(), 0);
    // ...and so does a fresh load of the library.
    QVERIFY(m_phone.unload());
    QVERIFY(m_phone.load());
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.size(18, 9), -7);
    QCOMPARE(m_phone.size(18, 9), -7);
    QCOMPARE(m_phone.size(18, 9), 0);

    // A spent file rule falls back to the rule for every file.
    qputenv("HIDEAWAY_PHONE_SETTINGS", "force.GetNVMFileSize = 3");
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.size(18, 9), -7);
    QCOMPARE(m_phone.size(18, 9), -7);
    QCOMPARE(m_phone.size(18, 9), 3);
}

void SimulatedPhoneTest::writeFaults_data() {
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("flipped");
    QTest::addRow("short by 3") << QByteArray("write.short = 3") << 10 << 7 << -1;
    QTest::addRow("short by more than written") << QByteArray("write.short = 20") << 10 << 0 << -1;
    QTest::addRow("short after capacity")
        << QByteArray("write.short = 5") << kCapacity + 5 << kCapacity - 5 << -1;
    QTest::addRow("corrupt first byte") << QByteArray("write.corrupt = 0") << 10 << 10 << 0;
    QTest::addRow("corrupt last byte") << QByteArray("write.corrupt = 9") << 10 << 10 << 9;
    QTest::addRow("corrupt past the end") << QByteArray("write.corrupt = 10") << 10 << 10 << -1;
    QTest::addRow("short and corrupt")
        << QByteArray("write.short = 2\nwrite.corrupt = 4") << 10 << 8 << 4;
}

void SimulatedPhoneTest::writeFaults() {
    QFETCH(QByteArray, setting);
    QFETCH(int, length);
    QFETCH(int, stored);
    QFETCH(int, flipped);
    writeSettings(setting);
    QCOMPARE(m_phone.init(1), 0);
    const QByteArray content = pattern(length);
    QCOMPARE(m_phone.writeBytes(9, content), 0);

    QByteArray expected = content.left(stored);
    if (flipped >= 0) {
        expected[flipped] = static_cast<char>(expected[flipped] ^ 0xFF);
    }
    QCOMPARE(m_phone.size(18, 9), stored);
    QCOMPARE(m_phone.readBytes(9), ReadAnswer(stored, expected));
}

void SimulatedPhoneTest::fastSerialLine() {
    // Four megabaud: a few bytes cost microseconds, and the line must not change them.
    writeSettings("baud = 4000000");
    QCOMPARE(m_phone.init(1), 0);
    QCOMPARE(m_phone.writeBytes(9, "line"), 0);
    QCOMPARE(m_phone.readBytes(9), ReadAnswer(4, QByteArray("line")));
}

void SimulatedPhoneTest::malformedSetting_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("environment");
    // Why each kind of line is malformed is checked where the settings are read.
    QTest::addRow("phone.conf: unknown key") << QByteArray("# phone\nspeed = 3\n") << QByteArray();
    QTest::addRow("environment: next without count")
        << QByteArray("port = 1") << QByteArray("baud = 0;force.ReadNVMFile = -1 next");
    // Settings are a few lines; a huge text must not cost a check seconds and gigabytes.
    QTest::addRow("phone.conf over 64 KiB")
        << QByteArray("port = 1\n#") + QByteArray(64 * 1024, 'x') << QByteArray();
    QTest::addRow("environment over 64 KiB")
        << QByteArray("port = 1") << QByteArray("baud = 0;#") + QByteArray(64 * 1024, 'x');
}

void SimulatedPhoneTest::malformedSetting() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, environment);
    QCOMPARE(m_phone.init(1), 0);
    writeSettings(file);
    if (!environment.isEmpty()) {
        qputenv("HIDEAWAY_PHONE_SETTINGS", environment);
        if (qgetenv("HIDEAWAY_PHONE_SETTINGS") != environment) {
            // Windows holds at most 32767 characters in a variable: no such setting can reach
            // the phone there.
            qunsetenv("HIDEAWAY_PHONE_SETTINGS");
            QSKIP("the environment cannot hold this value here");
        }
    }
    QCOMPARE(m_phone.init(1), kMalformedSetting);
    QCOMPARE(m_phone.size(18, 9), kNotInGbpMode);

    // Once mended, the phone answers again.
    writeSettings("port = 1\n");
    qunsetenv("HIDEAWAY_PHONE_SETTINGS");
    QCOMPARE(m_phone.init(1), 0);
}

QTEST_GUILESS_MAIN(SimulatedPhoneTest)
#include "tst_simulated_phone.moc"
