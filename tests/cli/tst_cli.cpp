#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <functional>
#include <map>
#include <memory>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <aclapi.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include "test_files.h"

using hideaway::test::randomBytes;
using hideaway::test::readFile;
using hideaway::test::writeFile;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
    /// All the program said, for a failure's message.
    QByteArray said() const {
        return QStringLiteral("exit %1\n--- standard output:\n%2--- standard error:\n%3")
            .arg(QString::number(status), out, err)
            .toUtf8();
    }
};

/// A program's output as text with its line ends made one: a Windows program ends lines in CRLF.
QString textOf(const QByteArray& output) {
    return QString::fromUtf8(output).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QByteArray sha256(const QByteArray& data) {
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

/// A backup manifest as the program writes it, with the entries given.
QByteArray manifest(const QByteArray& entries) {
    return R"({"format": "hideaway100k backup", "version": 1, "slots": [)" + entries + "]}";
}

QByteArray entry(int slot, const QByteArray& content) {
    return QStringLiteral(R"({"slot": %1, "bytes": %2, "sha256": "%3"})")
        .arg(slot)
        .arg(content.size())
        .arg(QString::fromLatin1(sha256(content)))
        .toLatin1();
}

/// Variables to add to a run's environment, by name.
using Variables = QList<std::pair<QString, QString>>;

/// Sets a run up with variables added to its environment.
std::function<void(QProcess&)> withEnvironment(const Variables& variables) {
    return [variables](QProcess& process) {
        QProcessEnvironment environment = process.processEnvironment();
        for (const auto& [name, value] : variables) {
            environment.insert(name, value);
        }
        process.setProcessEnvironment(environment);
    };
}

#if defined(HIDEAWAY_FAIL_CALL_LIBRARY)
/// Sets a run up with library preloaded and variables added to its environment.
std::function<void(QProcess&)> preloading(const QString& library, Variables variables) {
    // A sanitizer build wants its own library first; these only watch or fail a call.
    variables << std::pair{QStringLiteral("LD_PRELOAD"), library}
              << std::pair{QStringLiteral("ASAN_OPTIONS"),
                           qEnvironmentVariable("ASAN_OPTIONS") +
                               QStringLiteral(":verify_asan_link_order=0")};
    return withEnvironment(variables);
}
#endif

#if defined(_WIN32)
BOOL WINAPI ignoreCtrlC(DWORD type) {
    return type == CTRL_C_EVENT ? TRUE : FALSE;
}

/// Who besides the current user may open the file or folder: empty when every entry of its access
/// list that allows anything is the current user's or the system's own, and one is the user's.
/// (Wine keeps no access lists; it reads them back from the Unix mode, with SYSTEM in them.)
QString othersAllowed(const QString& path) {
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    if (GetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS) {
        return QStringLiteral("no access list");
    }
    HANDLE token = nullptr;
    char user[256] = {};
    DWORD size = sizeof user;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) ||
        !GetTokenInformation(token, TokenUser, user, size, &size)) {
        LocalFree(descriptor);
        return QStringLiteral("the current user is not known");
    }
    CloseHandle(token);
    const PSID self = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
    char systemSid[SECURITY_MAX_SID_SIZE] = {};
    size = sizeof systemSid;
    CreateWellKnownSid(WinLocalSystemSid, nullptr, systemSid, &size);
    QString others = list == nullptr ? QStringLiteral("everyone (no list)") : QString();
    bool selfAllowed = false;
    for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(list, i, &entry) ||
            static_cast<ACE_HEADER*>(entry)->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            continue;
        }
        const PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart;
        if (EqualSid(sid, self)) {
            selfAllowed = true;
        } else if (!EqualSid(sid, systemSid)) {
            others += QStringLiteral("entry %1 ").arg(i);
        }
    }
    LocalFree(descriptor);
    return selfAllowed ? others : QStringLiteral("not the user");
}
#endif

}  // namespace

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void init();

    void backupClearRestoreGivesTheSameSlots();
    void badBackupIsRefusedBeforeTheLink_data();
    void badBackupIsRefusedBeforeTheLink();
    void failedRestoreNamesTheSlotsWritten();
    void exitStatus_data();
    void exitStatus();
    void failedClearIsNoClear();
    void signalStopsTheRun_data();
    void signalStopsTheRun();
    void stoppedBackupAndRestoreKeepTheBackup();
    void runEndsWhenItsSignalWatchCannotBeWokenByAWrite();
    void backupKilledAtEveryStepLeavesOneCompleteBackup();
    void backupIsOnTheDiskBeforeItIsInPlace();
    void failedBackupSaysWhereTheLastCompleteOneIs_data();
    void failedBackupSaysWhereTheLastCompleteOneIs();
    void secondRunOnAFolderGivesUpWhileTheFirstHoldsIt_data();
    void secondRunOnAFolderGivesUpWhileTheFirstHoldsIt();
    void slotTooLargeForAnUploadStaysInTheBackup();
    void unwritableResultFails_data();
    void unwritableResultFails();
    void fileSizeLimitIsAnOrdinaryError();
    void nameThatCannotBeHandedOnIsRefused();
    void messagesSayWhatHappened_data();
    void messagesSayWhatHappened();
    void backupLeavesALinksTargetAlone();
    void missingLibraryReadsTheSameForEveryCommand_data();
    void missingLibraryReadsTheSameForEveryCommand();
    void verbosity_data();
    void verbosity();
    void pathsAreWrittenAsTheSystemWritesThem();
    void doctorSaysTheSimulatedPhoneIsNoPhone();
    void doctorNamesTheCallALibraryLacks();

private:
    Run run(const QStringList& arguments, const QByteArray& settings = {},
            const std::function<void(QProcess&)>& setUp = {});
    Run interrupted(const QStringList& arguments, const QByteArray& atStep, const QList<int>& sent,
                    const QByteArray& said);
    QString backupState(const QString& folder);
    QProcessEnvironment phoneEnvironment() const;
    /// Makes the backup `pristine` of one phone, then changes the phone and makes the backup
    /// `reference` of it; gives what restore puts back from each.
    std::pair<QString, QString> twoBackups();
    /// Makes folder a copy of the backup `pristine`.
    void startFromPristine(const QString& folder);
    QString phoneFile(int slot) const {
        return m_phone->filePath(QStringLiteral("nvm-18-%1.bin").arg(8 + slot, 2, 10, QChar('0')));
    }
    QString file(const QString& name) const { return m_files->filePath(name); }
    /// From here on, runs the tests' build of the program, which takes the test switches.
    void useTestBuild() { m_program = QStringLiteral(HIDEAWAY_CLI_TEST_PATH); }

    QString m_program;
    std::unique_ptr<QTemporaryDir> m_phone;
    std::unique_ptr<QTemporaryDir> m_files;
};

void CliTest::init() {
    m_program = QStringLiteral(HIDEAWAY_CLI_PATH);
    m_phone = std::make_unique<QTemporaryDir>();
    m_files = std::make_unique<QTemporaryDir>();
    QVERIFY(m_phone->isValid() && m_files->isValid());
}

/// The test's own environment, with the simulated phone in its own folder and no settings.
QProcessEnvironment CliTest::phoneEnvironment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HIDEAWAY_PHONE_DIR"), m_phone->path());
    environment.remove(QStringLiteral("HIDEAWAY_PHONE_SETTINGS"));
    return environment;
}

Run CliTest::run(const QStringList& arguments, const QByteArray& settings,
                 const std::function<void(QProcess&)>& setUp) {
    QProcessEnvironment environment = phoneEnvironment();
    if (!settings.isEmpty()) {
        environment.insert(QStringLiteral("HIDEAWAY_PHONE_SETTINGS"), QString::fromUtf8(settings));
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    if (setUp) {
        setUp(process);
    }
    process.start(m_program, arguments);
    Run result;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit) {
        result.status = process.exitCode();
    }
    result.out = textOf(process.readAllStandardOutput());
    result.err = textOf(process.readAllStandardError());
    return result;
}

void CliTest::backupClearRestoreGivesTheSameSlots() {
    // Slots 2 and 4 stay empty; the others hold one byte, some bytes and the most an upload takes.
    const std::map<int, QByteArray> originals = {
        {1, randomBytes(1, 1)}, {3, randomBytes(5000, 3)}, {5, randomBytes(20990, 5)}};
    for (const auto& [slot, content] : originals) {
        QVERIFY(writeFile(phoneFile(slot), content));
    }
    const QString folder = file(QStringLiteral("backup of the phone"));

    const Run backup = run({QStringLiteral("backup"), folder});
    QCOMPARE(backup.status, 0);
    QJsonArray listed = QJsonDocument::fromJson(readFile(folder + QStringLiteral("/manifest.json")))
                            .object()
                            .value(QStringLiteral("slots"))
                            .toArray();
    QCOMPARE(listed.size(), 3);
    for (const QJsonValue& value : listed) {
        const int slot = value.toObject().value(QStringLiteral("slot")).toInt();
        QCOMPARE(readFile(folder + QStringLiteral("/slot%1.bin").arg(slot)), originals.at(slot));
    }
#if !defined(_WIN32)
    // What the user hides is for the owner's eyes only, and checkable without this tool.
    for (const QString& name : QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot) +
                                   QStringList{QStringLiteral(".")}) {
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(folder + QLatin1Char('/') + name).constData(), &info), 0);
        QVERIFY2((info.st_mode & 077) == 0, qPrintable(name));
    }
#else
    // What the user hides is for the current user's eyes only there too.
    for (const QString& name : QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot) +
                                   QStringList{QStringLiteral(".")}) {
        const QString fault = othersAllowed(folder + QLatin1Char('/') + name);
        QVERIFY2(fault.isEmpty(), qPrintable(name + QStringLiteral(": ") + fault));
    }
#endif
#if !defined(_WIN32)
    QProcess sums;
    sums.setWorkingDirectory(folder);
    sums.start(QStringLiteral("sha256sum"), {QStringLiteral("-c"), QStringLiteral("SHA256SUMS")});
    QVERIFY(sums.waitForFinished());
    QCOMPARE(sums.exitCode(), 0);
    QCOMPARE(sums.readAllStandardOutput().count("OK\n"), 4);
#endif

    // A later backup that fails half-way must leave this one whole: slot 1 changes, slot 3's read
    // fails.
    const QDir::Filters everything = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    const QStringList kept = QDir(folder).entryList(everything);
    const QByteArray keptManifest = readFile(folder + QStringLiteral("/manifest.json"));
    QVERIFY(writeFile(phoneFile(1), "changed"));
    QCOMPARE(run({QStringLiteral("backup"), folder}, "force.ReadNVMFile.11 = -1").status, 1);
    QCOMPARE(QDir(folder).entryList(everything), kept);
    QCOMPARE(readFile(folder + QStringLiteral("/manifest.json")), keptManifest);
    QCOMPARE(readFile(folder + QStringLiteral("/slot1.bin")), originals.at(1));

    for (const auto& [slot, content] : originals) {
        QCOMPARE(run({QStringLiteral("clear"), QString::number(slot)}).status, 0);
        QCOMPARE(readFile(phoneFile(slot)), QByteArray());
    }

    const Run restore = run({QStringLiteral("restore"), folder});
    QCOMPARE(restore.status, 0);
    for (const auto& [slot, content] : originals) {
        QCOMPARE(readFile(phoneFile(slot)), content);
    }

    const Run check = run({QStringLiteral("check"), QStringLiteral("--json")});
    QCOMPARE(check.status, 0);
    const QJsonObject survey = QJsonDocument::fromJson(check.out.toUtf8()).object();
    QCOMPARE(survey.value(QStringLiteral("total")).toInt(), 1 + 5000 + 20990);
    const QJsonArray rows = survey.value(QStringLiteral("slots")).toArray();
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows.at(1).toObject().value(QStringLiteral("bytes")).toInt(), 0);
    QCOMPARE(rows.at(2).toObject().value(QStringLiteral("bytes")).toInt(), 5000);
}

void CliTest::badBackupIsRefusedBeforeTheLink_data() {
    QTest::addColumn<QByteArray>("manifestText");
    QTest::addColumn<QByteArray>("slot3File");
    QTest::addColumn<QString>("expected");

    const QByteArray listed = randomBytes(100, 7);
    QByteArray changed = listed;
    changed[50] = static_cast<char>(changed[50] ^ 1);
    const QByteArray tooLong = randomBytes(21001, 8);

    QTest::newRow("checksum does not match")
        << manifest(entry(3, listed)) << changed
        << QStringLiteral("manifest.json: slot 3: slot3.bin does not match its SHA-256");
    QTest::newRow("size does not match")
        << manifest(entry(3, listed)) << listed.left(99)
        << QStringLiteral("manifest.json: slot 3: slot3.bin does not hold the 100 bytes listed");
    QTest::newRow("file missing")
        << manifest(entry(3, listed)) << QByteArray()
        << QStringLiteral("manifest.json: slot 3: slot3.bin is missing or unreadable");
    QTest::newRow("slot listed twice")
        << manifest(entry(3, listed) + ',' + entry(3, listed)) << listed
        << QStringLiteral("manifest.json: slot 3: listed more than once");
    QTest::newRow("slot 6") << manifest(entry(6, listed)) << listed
                            << QStringLiteral(
                                   "manifest.json: every entry needs a slot from 1 to 5");
    QTest::newRow("more than a slot holds")
        << manifest(entry(3, tooLong)) << tooLong
        << QStringLiteral("manifest.json: slot 3: 21001 bytes, more than a slot holds (21000)");
    QTest::newRow("not JSON") << manifest(entry(3, listed)).chopped(1) << listed
                              << QStringLiteral("manifest.json: not well-formed JSON");
}

void CliTest::badBackupIsRefusedBeforeTheLink() {
    QFETCH(QByteArray, manifestText);
    QFETCH(QByteArray, slot3File);
    QFETCH(QString, expected);
    const QString folder = file(QStringLiteral("backup"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeFile(folder + QStringLiteral("/manifest.json"), manifestText));
    if (!slot3File.isEmpty()) {
        QVERIFY(writeFile(folder + QStringLiteral("/slot3.bin"), slot3File));
    }

    // Any library call would fail the link and say so; the refusal must come first.
    const Run restore = run({QStringLiteral("restore"), folder}, "force.InitGBPMode = 1");

    QCOMPARE(restore.status, 1);
    QVERIFY2(restore.err.startsWith(QStringLiteral("hideaway100k-cli: ") + expected),
             qPrintable(restore.err));
    QVERIFY2(!restore.err.contains(QStringLiteral("status: ")), qPrintable(restore.err));
    QCOMPARE(restore.out, QString());
}

void CliTest::failedRestoreNamesTheSlotsWritten() {
    const QString folder = file(QStringLiteral("backup"));
    QVERIFY(QDir().mkpath(folder));
    QByteArray entries;
    for (const int slot : {1, 3, 5}) {
        const QByteArray content = randomBytes(300, static_cast<quint32>(slot));
        QVERIFY(writeFile(folder + QStringLiteral("/slot%1.bin").arg(slot), content));
        entries += (entries.isEmpty() ? "" : ",") + entry(slot, content);
    }
    QVERIFY(writeFile(folder + QStringLiteral("/manifest.json"), manifest(entries)));

    const Run restore = run({QStringLiteral("restore"), folder}, "force.WriteNVMFile.11 = -3");

    QCOMPARE(restore.status, 1);
    QVERIFY2(
        restore.err.contains(
            "hideaway100k-cli: restore stopped at slot 3: the slot did not read back as "
            "written; the slot may now be empty or hold part or all of the file. Slots written and "
            "verified: 1. Slots not written: 5.\n"),
        qPrintable(restore.err));
    QCOMPARE(readFile(phoneFile(1)), readFile(folder + QStringLiteral("/slot1.bin")));
    QVERIFY(!QFile::exists(phoneFile(5)));
}

void CliTest::exitStatus_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("status");

    QTest::newRow("link fails") << QStringList{"check"} << QByteArray("force.InitGBPMode = 1") << 1;
    QTest::newRow("phone on another port") << QStringList{"check"} << QByteArray("port = 3") << 1;
    QTest::newRow("port chosen") << QStringList{"--port", "3", "check"} << QByteArray("port = 3")
                                 << 0;
    QTest::newRow("download over an existing file")
        << QStringList{"download", "2", "EXISTING"} << QByteArray() << 1;
    QTest::newRow("port out of range") << QStringList{"--port", "6", "check"} << QByteArray() << 2;
    QTest::newRow("slot out of range") << QStringList{"clear", "6"} << QByteArray() << 2;
    QTest::newRow("file missing") << QStringList{"upload", "2"} << QByteArray() << 2;
    QTest::newRow("unknown command") << QStringList{"format"} << QByteArray() << 2;
    QTest::newRow("force without download") << QStringList{"--force", "check"} << QByteArray() << 2;
}

void CliTest::exitStatus() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, settings);
    QFETCH(int, status);
    const QString existing = file(QStringLiteral("kept.bin"));
    QVERIFY(writeFile(existing, "keep me"));
    arguments.replaceInStrings(QStringLiteral("EXISTING"), existing);

    const Run result = run(arguments, settings);

    QCOMPARE(result.status, status);
    // Results go to standard output only when everything was done.
    QCOMPARE(result.out.isEmpty(), status != 0);
    QCOMPARE(readFile(existing), QByteArray("keep me"));
}

void CliTest::failedClearIsNoClear() {
    QVERIFY(writeFile(phoneFile(1), "hello"));

    const Run failed =
        run({QStringLiteral("clear"), QStringLiteral("1")}, "force.ClearNVMFile = -3");
    QCOMPARE(failed.status, 1);
    QVERIFY2(failed.err.endsWith(QStringLiteral("hideaway100k-cli: slot 1 was not cleared: it "
                                                "still holds 5 bytes (the library answered the "
                                                "clear with -3)\n")),
             qPrintable(failed.err));
    QCOMPARE(failed.out, QString());
    QCOMPARE(readFile(phoneFile(1)), QByteArray("hello"));

    // An empty slot is cleared, whatever the library answered.
    const Run empty =
        run({QStringLiteral("clear"), QStringLiteral("2")}, "force.ClearNVMFile = -3");
    QCOMPARE(empty.status, 0);
    QCOMPARE(empty.out, QStringLiteral("slot 2: cleared\n"));
}

void CliTest::signalStopsTheRun_data() {
    QTest::addColumn<QList<int>>("sent");
    QTest::addColumn<QByteArray>("atStep");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("report");

    const QByteArray writing = "writing 3000 bytes to slot 2\n";
    const QString stopping = QStringLiteral(
        "hideaway100k-cli: Ctrl-C: stopping once slot 2 is finished; press Ctrl-C again to stop "
        "at once\n");
    const QString finished = QStringLiteral("hideaway100k-cli: stopped once slot 2 was finished\n");
    // Between the upload's two links, where a slot stopped there would be left empty.
    QTest::newRow("Ctrl-C after the clear")
        << QList<int>{SIGINT} << QByteArray("emptying slot 2\n") << 130 << stopping << finished;
    QTest::newRow("Ctrl-C during the write")
        << QList<int>{SIGINT} << writing << 130 << stopping << finished;
    QTest::newRow("SIGTERM") << QList<int>{SIGTERM} << writing << 143
                             << QStringLiteral(
                                    "hideaway100k-cli: SIGTERM: stopping once slot 2 is "
                                    "finished\n")
                             << finished;
    QTest::newRow("Ctrl-C twice") << QList<int>{SIGINT, SIGINT} << writing << 130 << stopping
                                  << QStringLiteral(
                                         "hideaway100k-cli: stopped at once: slot 2 may hold part "
                                         "of the file or nothing\n");
}

/// Runs the program with the phone on a 9600-baud line until it writes atStep on standard error,
/// then sends each signal in turn, each once the program has said said. On Windows a helper in
/// the program's console presses Ctrl-C there, once for each byte it reads.
Run CliTest::interrupted(const QStringList& arguments, const QByteArray& atStep,
                         const QList<int>& sent, const QByteArray& said) {
    Run result;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HIDEAWAY_PHONE_DIR"), m_phone->path());
    environment.insert(QStringLiteral("HIDEAWAY_PHONE_SETTINGS"), QStringLiteral("baud = 9600"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setReadChannel(QProcess::StandardError);
#if defined(_WIN32)
    // Should the Ctrl-C reach this console too, it is not the test's end.
    SetConsoleCtrlHandler(ignoreCtrlC, TRUE);
    process.start(QStringLiteral(HIDEAWAY_CTRL_C_PATH),
                  QStringList{QDir::toNativeSeparators(m_program)} + arguments);
    const auto send = [&process](int) {
        return process.write("c", 1) == 1 && process.waitForBytesWritten(30000);
    };
#else
    process.start(m_program, arguments);
    const auto send = [&process](int signal) {
        return ::kill(static_cast<pid_t>(process.processId()), signal) == 0;
    };
#endif
    QByteArray err;
    const auto waitFor = [&](const QByteArray& text) {
        while (!err.contains(text) && process.waitForReadyRead(30000)) {
            err += process.readAllStandardError();
            err.replace("\r\n", "\n");
        }
        return err.contains(text);
    };
    bool delivered = waitFor(atStep);
    for (const int signal : sent) {
        delivered = delivered && send(signal) && waitFor(said);
    }
    process.closeWriteChannel();
    if (process.waitForFinished(30000) && delivered &&
        process.exitStatus() == QProcess::NormalExit) {
        result.status = process.exitCode();
    }
    result.out = textOf(process.readAllStandardOutput());
    result.err = textOf(err + process.readAllStandardError());
    return result;
}

void CliTest::signalStopsTheRun() {
    QFETCH(QList<int>, sent);
    QFETCH(QByteArray, atStep);
    QFETCH(int, status);
    QFETCH(QString, said);
    QFETCH(QString, report);
#if defined(_WIN32)
    if (sent.contains(SIGTERM)) {
        QSKIP("no SIGTERM on Windows");
    }
#endif
    // The write takes about three seconds on the line.
    const QByteArray content = randomBytes(3000, 2);
    QVERIFY(writeFile(phoneFile(2), "what the slot held"));
    QVERIFY(writeFile(file(QStringLiteral("up.bin")), content));

    const Run upload = interrupted({QStringLiteral("--verbose"), QStringLiteral("upload"),
                                    QStringLiteral("2"), file(QStringLiteral("up.bin"))},
                                   atStep, sent, said.toUtf8());

    // A first stop lets the slot in progress finish: cleared, written and read back.
    const bool finished = sent.size() == 1;
    QVERIFY2(upload.status == status && upload.err.endsWith(report) &&
                 upload.out == (finished ? "slot 2: 3000 bytes written and verified\n" : ""),
             upload.said().constData());
    if (finished) {
        QCOMPARE(readFile(phoneFile(2)), content);
    }
    // The phone is free for the next run.
    QCOMPARE(run({QStringLiteral("check")}).status, 0);
}

void CliTest::stoppedBackupAndRestoreKeepTheBackup() {
#if defined(_WIN32)
    QSKIP("the console's Ctrl-C is tried on an upload; what follows it is the same everywhere");
#else
    const QByteArray said = "press Ctrl-C again to stop at once\n";
    QVERIFY(writeFile(phoneFile(1), randomBytes(3000, 1)));
    QVERIFY(writeFile(phoneFile(3), randomBytes(100, 3)));
    const QString folder = file(QStringLiteral("backup"));
    QCOMPARE(run({QStringLiteral("backup"), folder}).status, 0);
    const QString old = backupState(folder);
    QVERIFY(writeFile(phoneFile(1), randomBytes(3000, 11)));

    // Stopped while slot 1 is read: slot 3 is never read, and the old backup stays whole.
    const Run backup =
        interrupted({QStringLiteral("backup"), folder}, "reading slot 1\n", {SIGINT}, said);
    QCOMPARE(backup.status, 130);
    QVERIFY2(backup.err.endsWith(
                 QStringLiteral("hideaway100k-cli: slot 3 could not be saved (the run was stopped "
                                "before the link to the phone on COM1 opened; no file was "
                                "written); the previous backup is complete in %1\n"
                                "hideaway100k-cli: stopped once slot 1 was finished\n")
                     .arg(QDir::toNativeSeparators(folder))),
             backup.said().constData());
    QCOMPARE(backupState(folder), old);
    QCOMPARE(QDir(folder).entryList({QStringLiteral(".*")},
                                    QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());

    // Stopped while slot 1 is read back: slot 1 is restored, slot 3 not touched.
    QVERIFY(QFile::remove(phoneFile(1)) && QFile::remove(phoneFile(3)));
    const Run restore =
        interrupted({QStringLiteral("restore"), folder}, "reading slot 1\n", {SIGINT}, said);
    QCOMPARE(restore.status, 130);
    QVERIFY2(restore.err.endsWith(QStringLiteral(
                 "hideaway100k-cli: restore stopped at slot 3: the run was stopped before the "
                 "upload was done; the slot was not touched. Slots written and verified: 1. Slots "
                 "not written: 3.\nhideaway100k-cli: stopped once slot 1 was finished\n")),
             restore.said().constData());
    QVERIFY(!QFile::exists(phoneFile(3)));
#endif
}

void CliTest::runEndsWhenItsSignalWatchCannotBeWokenByAWrite() {
#if !defined(HIDEAWAY_FAIL_CALL_LIBRARY)
    QSKIP("system calls are failed through a preloaded library, on Linux only");
#else
    if (!qEnvironmentVariableIsEmpty("HIDEAWAY_GBP_LIBRARY")) {
        QSKIP(
            "tried on the library beside the program: the bridge's host and Wine's server would "
            "share the preload or the limit");
    }
    // Every write to a pipe fails, as when memory runs out; the output goes to files instead.
    QVERIFY(writeFile(file(QStringLiteral("up.bin")), "new content"));
    const QString out = file(QStringLiteral("out.txt"));
    const auto failing = preloading(QStringLiteral(HIDEAWAY_FAIL_CALL_LIBRARY),
                                    {{"HIDEAWAY_FAIL_CALL", "write"},
                                     {"HIDEAWAY_FAIL_AT", "1+"},
                                     {"HIDEAWAY_FAIL_UNDER", "pipe:"},
                                     {"HIDEAWAY_FAIL_ERRNO", QString::number(ENOMEM)}});
    const Run upload = run({"upload", "2", file(QStringLiteral("up.bin"))}, {}, [&](QProcess& p) {
        failing(p);
        p.setStandardOutputFile(out);
        p.setStandardErrorFile(out + QStringLiteral(".err"));
    });

    QVERIFY2(upload.status == 0, readFile(out + QStringLiteral(".err")).constData());
    QCOMPARE(readFile(out), QByteArray("slot 2: 11 bytes written and verified\n"));
#endif
}

/// What restore puts on an empty phone from folder: each slot's content, or why it refused.
QString CliTest::backupState(const QString& folder) {
    QTemporaryDir phone;
    const Run restore =
        run({QStringLiteral("restore"), folder}, {},
            withEnvironment({{QStringLiteral("HIDEAWAY_PHONE_DIR"), phone.path()}}));
    if (restore.status != 0) {
        return QStringLiteral("refused: ") + restore.err;
    }
    QStringList contents;
    for (int slot = 1; slot <= 5; ++slot) {
        const QString path =
            phone.filePath(QStringLiteral("nvm-18-%1.bin").arg(8 + slot, 2, 10, QChar('0')));
        contents << (QFile::exists(path) ? QString::fromLatin1(sha256(readFile(path))) : "-");
    }
    return contents.join(QLatin1Char(' '));
}

std::pair<QString, QString> CliTest::twoBackups() {
    const QString pristine = file(QStringLiteral("pristine"));
    const bool oldMade = writeFile(phoneFile(1), randomBytes(700, 1)) &&
                         writeFile(phoneFile(3), randomBytes(900, 3)) &&
                         run({QStringLiteral("backup"), pristine}).status == 0;
    const QString old = backupState(pristine);
    // The new backup changes slot 1, drops slot 3 and adds slot 5.
    const QString reference = file(QStringLiteral("reference"));
    const bool freshMade = writeFile(phoneFile(1), randomBytes(800, 11)) &&
                           QFile::remove(phoneFile(3)) &&
                           writeFile(phoneFile(5), randomBytes(20990, 5)) &&
                           run({QStringLiteral("backup"), reference}).status == 0;
    const QString fresh = backupState(reference);
    if (!oldMade || !freshMade || fresh == old || fresh.startsWith(QStringLiteral("refused"))) {
        return {};
    }
    return {old, fresh};
}

void CliTest::startFromPristine(const QString& folder) {
    const QString pristine = file(QStringLiteral("pristine"));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    for (const QString& name : QDir(pristine).entryList(QDir::Files)) {
        QFile::copy(pristine + QLatin1Char('/') + name, folder + QLatin1Char('/') + name);
    }
}

void CliTest::backupKilledAtEveryStepLeavesOneCompleteBackup() {
    useTestBuild();
    const auto [old, fresh] = twoBackups();
    QVERIFY(!fresh.isEmpty());
    const QString folder = file(QStringLiteral("backup"));
    const QDir::Filters everything = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    // Killed before each step in turn: the old backup until the new one is complete, then the
    // new one, and never anything else.
    bool sawNew = false;
    int step = 1;
    for (;; ++step) {
        QVERIFY(step < 100);
        startFromPristine(folder);
        const Run killed = run({QStringLiteral("backup"), folder}, {},
                               withEnvironment({{QStringLiteral("HIDEAWAY_TEST_BACKUP_KILL_AT"),
                                                 QString::number(step)}}));
        if (killed.status == 0) {
            break;  // the backup has fewer steps than this
        }
#if defined(_WIN32)
        QCOMPARE(killed.status, 137);  // no signals there: the process ends at once with 137
#else
        QCOMPARE(killed.status, -1);
#endif
        const QString state = backupState(folder);
        sawNew = sawNew || state == fresh;
        QVERIFY2(state == (sawNew ? fresh : old), qPrintable(QStringLiteral("step %1").arg(step)));

        // The next backup finishes what the killed one left and removes its staging.
        QCOMPARE(run({QStringLiteral("backup"), folder}).status, 0);
        QCOMPARE(QDir(folder).entryList({QStringLiteral(".backup-*")}, everything), QStringList());
        QCOMPARE(backupState(folder), fresh);
    }
    QVERIFY2(step > 10, qPrintable(QString::number(step)));
    QVERIFY(sawNew);
    QCOMPARE(backupState(folder), fresh);

    // Something in the way of a file of the backup stops it before the folder changes.
    startFromPristine(folder);
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/slot5.bin")));
    QCOMPARE(run({QStringLiteral("backup"), folder}).status, 1);
    QCOMPARE(backupState(folder), old);

    // The installed program has no such switch.
    m_program = QStringLiteral(HIDEAWAY_CLI_PATH);
    startFromPristine(folder);
    const Run shipped = run(
        {QStringLiteral("backup"), folder}, {},
        withEnvironment({{QStringLiteral("HIDEAWAY_TEST_BACKUP_KILL_AT"), QStringLiteral("1")}}));
    QCOMPARE(shipped.status, 0);
    QCOMPARE(backupState(folder), fresh);
}

void CliTest::backupIsOnTheDiskBeforeItIsInPlace() {
#if !defined(HIDEAWAY_SYNC_LOG_LIBRARY)
    QSKIP("the flushes are seen through a preloaded library, on Linux only");
#else
    if (!qEnvironmentVariableIsEmpty("HIDEAWAY_GBP_LIBRARY")) {
        QSKIP(
            "tried on the library beside the program: the bridge's host and Wine's server would "
            "share the preload or the limit");
    }
    for (int slot = 1; slot <= 5; ++slot) {
        QVERIFY(writeFile(phoneFile(slot), randomBytes(20990, slot)));
    }
    // Named as the system names an open file, which is how the log names a flushed one.
    const QString folder =
        QFileInfo(m_files->path()).canonicalFilePath() + QStringLiteral("/backup");
    const QString log = file(QStringLiteral("sync.log"));
    const Run backup = run({QStringLiteral("backup"), folder}, {},
                           preloading(QStringLiteral(HIDEAWAY_SYNC_LOG_LIBRARY),
                                      {{QStringLiteral("HIDEAWAY_SYNC_LOG"), log}}));
    QCOMPARE(backup.status, 0);

    QList<QStringList> events;
    for (const QByteArray& line : readFile(log).split('\n')) {
        if (!line.isEmpty()) {
            events << QString::fromUtf8(line).split(QLatin1Char('\t'));
        }
    }
    const QStringList backupFiles{QStringLiteral("slot1.bin"), QStringLiteral("slot2.bin"),
                                  QStringLiteral("slot3.bin"), QStringLiteral("slot4.bin"),
                                  QStringLiteral("slot5.bin"), QStringLiteral("manifest.json"),
                                  QStringLiteral("SHA256SUMS")};
    QStringList flushed;
    int placed = 0;
    for (qsizetype i = 0; i < events.size(); ++i) {
        const QStringList& event = events.at(i);
        if (event.at(0) == QLatin1String("flush")) {
            flushed << event.at(1);
            continue;
        }
        const QString& from = event.at(1);
        const QFileInfo to(event.at(2));
        if (to.path() != folder) {
            continue;  // a file saved inside the staging folder, which is flushed as a whole
        }
        const QString what = event.join(QLatin1Char(' '));
        // What a rename publishes is on the disk before it...
        if (to.fileName() == QLatin1String(".backup-complete")) {
            for (const QString& name : backupFiles) {
                QVERIFY2(flushed.contains(from + QLatin1Char('/') + name), qPrintable(what));
            }
            QVERIFY2(flushed.contains(from), qPrintable(what));
        } else if (backupFiles.contains(to.fileName())) {
            QVERIFY2(flushed.contains(from), qPrintable(what));
            ++placed;
        }
        // ...and the rename itself before the next one.
        bool folderFlushed = false;
        for (qsizetype j = i + 1; j < events.size() && events.at(j).at(0) != "rename"; ++j) {
            folderFlushed = folderFlushed || events.at(j).at(1) == folder;
        }
        QVERIFY2(folderFlushed, qPrintable(what));
    }
    QCOMPARE(placed, backupFiles.size());
#endif
}

void CliTest::failedBackupSaysWhereTheLastCompleteOneIs_data() {
    QTest::addColumn<QString>("call");
    // Else the folder holds what a killed first backup left: the previous backup complete in
    // .backup-complete, none in the folder itself, and a staging folder.
    QTest::addColumn<bool>("afterAPreviousBackup");
    for (const char* call :
         {"open", "read", "write", "fsync", "rename", "unlink", "mkdir", "rmdir"}) {
        QTest::addRow("%s", call) << QString::fromLatin1(call) << true;
        QTest::addRow("%s, after a killed backup", call) << QString::fromLatin1(call) << false;
    }
}

void CliTest::failedBackupSaysWhereTheLastCompleteOneIs() {
#if !defined(HIDEAWAY_FAIL_CALL_LIBRARY)
    QSKIP("system calls are failed through a preloaded library, on Linux only");
#else
    if (!qEnvironmentVariableIsEmpty("HIDEAWAY_GBP_LIBRARY")) {
        QSKIP("the backup folder's steps are the same whatever library reads the slots");
    }
    QFETCH(QString, call);
    QFETCH(bool, afterAPreviousBackup);
    const auto [old, fresh] = twoBackups();
    QVERIFY(!fresh.isEmpty());
    // Named as the system names an open file, which is how the library tells a call on it.
    const QString folder =
        QFileInfo(m_files->path()).canonicalFilePath() + QStringLiteral("/backup");
    const QString complete = folder + QStringLiteral("/.backup-complete");
    const QString log = file(QStringLiteral("failed.log"));
    // Each call of the kind on the backup folder fails in turn, until the backup makes no more.
    int n = 1;
    for (;; ++n) {
        QVERIFY(n < 100);
        QDir(folder).removeRecursively();
        startFromPristine(afterAPreviousBackup ? folder : complete);
        QVERIFY(afterAPreviousBackup || QDir().mkpath(folder + QStringLiteral("/.backup-Xy12/x")));
        QFile::remove(log);
        const Run backup = run({QStringLiteral("backup"), folder}, {},
                               preloading(QStringLiteral(HIDEAWAY_FAIL_CALL_LIBRARY),
                                          {{QStringLiteral("HIDEAWAY_FAIL_CALL"), call},
                                           {QStringLiteral("HIDEAWAY_FAIL_AT"), QString::number(n)},
                                           {QStringLiteral("HIDEAWAY_FAIL_UNDER"), folder},
                                           {QStringLiteral("HIDEAWAY_FAIL_LOG"), log}}));
        const QString failed = QString::fromUtf8(readFile(log)).trimmed();
        if (failed.isEmpty()) {
            QCOMPARE(backup.status, 0);
            break;
        }
        const QString state = backupState(folder);
        const QByteArray what = (failed + QStringLiteral(": ") + backup.err).toUtf8();
        if (backup.status == 0) {
            QVERIFY2(state == fresh && !QFileInfo::exists(complete), what.constData());
            continue;
        }
        QVERIFY2(backup.status == 1, what.constData());
        // What the message says must be what restore finds.
        QVERIFY2(state == fresh || state == old, what.constData());
        const QString where =
            QStringLiteral("the %1 backup is complete in %2")
                .arg(state == fresh ? QStringLiteral("new") : QStringLiteral("previous"),
                     QFileInfo(complete).isDir()
                         ? complete + QStringLiteral(", where restore takes it from")
                         : folder);
        QVERIFY2(backup.err.endsWith(QStringLiteral("; ") + where + QLatin1Char('\n')),
                 what.constData());
        // Whatever the run left is named as no backup, for the next one to remove.
        for (const QString& left :
             QDir(folder).entryList({QStringLiteral(".backup-*")},
                                    QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
            QVERIFY2(left == QLatin1String(".backup-complete") || backup.err.contains(left),
                     what.constData());
        }
    }
    QVERIFY2(n > 1, "the backup made no such call");
#endif
}

void CliTest::secondRunOnAFolderGivesUpWhileTheFirstHoldsIt_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("firstNamed");
    QTest::addRow("backup, then backup") << "backup"
                                         << "backup"
                                         << "a backup into it";
    QTest::addRow("backup, then restore") << "backup"
                                          << "restore"
                                          << "a backup into it";
    QTest::addRow("restore, then backup") << "restore"
                                          << "backup"
                                          << "a restore from it";
}

void CliTest::secondRunOnAFolderGivesUpWhileTheFirstHoldsIt() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, firstNamed);
    useTestBuild();
    const QByteArray original = randomBytes(3000, 2);
    QVERIFY(writeFile(phoneFile(2), original));
    const QString folder = file(QStringLiteral("backup"));
    QCOMPARE(run({QStringLiteral("backup"), folder}).status, 0);
    const QString lockFile = folder + QStringLiteral("/.hideaway100k.lock");
    QVERIFY(!QFile::exists(lockFile));
    // Whichever second run went ahead would show: a backup in the folder, a restore on the phone.
    QVERIFY(writeFile(phoneFile(2), "changed"));

    // The first run stops once it holds the folder and says so; a pipe, not a clock, orders them.
    QProcess holder;
    // The program names folders in the system's own form.
    const QString shown = QDir::toNativeSeparators(folder);
    const auto startHolding = [&] {
        QProcessEnvironment environment = phoneEnvironment();
        environment.insert(QStringLiteral("HIDEAWAY_TEST_HOLD_FOLDER"), QStringLiteral("1"));
        holder.setProcessEnvironment(environment);
        holder.setReadChannel(QProcess::StandardError);
        holder.start(m_program, {first, folder});
        QByteArray said;
        while (!said.contains("holding " + QFile::encodeName(shown))) {
            QVERIFY2(holder.waitForReadyRead(60000), said.constData());
            said += holder.readAllStandardError();
        }
    };
    startHolding();
    if (QTest::currentTestFailed()) {
        return;
    }

    const Run refused = run({second, folder});
    QCOMPARE(refused.status, 1);
    const QString expected =
        QStringLiteral(
            "hideaway100k-cli: %1 is in use by hideaway100k-cli-test (process %2, %3); "
            "try again once that has finished")
            .arg(shown, QString::number(holder.processId()), firstNamed);
    QVERIFY2(refused.err.contains(expected), qPrintable(refused.err));
    QCOMPARE(readFile(folder + QStringLiteral("/slot2.bin")), original);
    QCOMPARE(readFile(phoneFile(2)), QByteArray("changed"));

    // Let go, the first run finishes its work and leaves nothing of the lock behind.
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(60000));
    QCOMPARE(holder.exitStatus(), QProcess::NormalExit);
    QCOMPARE(holder.exitCode(), 0);
    QVERIFY(!QFile::exists(lockFile));

    // A run killed while it holds the folder blocks nobody.
    startHolding();
    if (QTest::currentTestFailed()) {
        return;
    }
    holder.kill();
    QVERIFY(holder.waitForFinished(60000));
    QCOMPARE(run({second, folder}).status, 0);
}

void CliTest::slotTooLargeForAnUploadStaysInTheBackup() {
    const QByteArray large = randomBytes(20995, 2);
    const QByteArray small = randomBytes(100, 4);
    QVERIFY(writeFile(phoneFile(2), large));
    QVERIFY(writeFile(phoneFile(4), small));
    const QString folder = file(QStringLiteral("backup"));
    const Run backup = run({QStringLiteral("backup"), folder});
    QCOMPARE(backup.status, 0);
    QVERIFY2(backup.err.contains(QStringLiteral("warning: slot 2 holds 20995 bytes")),
             qPrintable(backup.err));
    QVERIFY(QFile::remove(phoneFile(2)) && QFile::remove(phoneFile(4)));

    const Run restore = run({QStringLiteral("restore"), folder});

    QCOMPARE(restore.status, 1);
    QCOMPARE(readFile(phoneFile(4)), small);
    QVERIFY(!QFile::exists(phoneFile(2)));
    QVERIFY2(
        restore.err.contains(
            QStringLiteral(
                "hideaway100k-cli: slot 2 holds 20995 bytes, more than an upload takes (20990), "
                "and was not restored; its bytes stay in %1\n")
                .arg(QDir::toNativeSeparators(folder + QStringLiteral("/slot2.bin")))),
        qPrintable(restore.err));
    QCOMPARE(readFile(folder + QStringLiteral("/slot2.bin")), large);
}

void CliTest::unwritableResultFails_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addRow("check --json") << QStringList{"check", "--json"};
    QTest::addRow("backup") << QStringList{"backup", "FOLDER"};
    QTest::addRow("--help") << QStringList{"--help"};
}

void CliTest::unwritableResultFails() {
#if defined(_WIN32)
    QSKIP("POSIX only: /dev/full, file-size limits and raw byte names");
#else
    QFETCH(QStringList, arguments);
    QVERIFY(writeFile(phoneFile(1), "hello"));
    arguments.replaceInStrings(QStringLiteral("FOLDER"), file(QStringLiteral("backup")));

    const Run result = run(arguments, {}, [](QProcess& process) {
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
    });

    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.endsWith(
                 QStringLiteral("hideaway100k-cli: write error: No space left on device\n")),
             qPrintable(result.err));
#endif
}

void CliTest::fileSizeLimitIsAnOrdinaryError() {
#if defined(_WIN32)
    QSKIP("POSIX only: /dev/full, file-size limits and raw byte names");
#else
    if (!qEnvironmentVariableIsEmpty("HIDEAWAY_GBP_LIBRARY")) {
        QSKIP(
            "tried on the library beside the program: the bridge's host and Wine's server would "
            "share the preload or the limit");
    }
    QVERIFY(writeFile(phoneFile(2), randomBytes(20000, 2)));
    const auto limited = [](QProcess& process) {
        process.setChildProcessModifier([] {
            std::signal(SIGXFSZ, SIG_DFL);
            const rlimit limit{8192, 8192};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
    };
    const QString target = file(QStringLiteral("t.bin"));
    const Run download = run({"download", "2", target, "--force"}, {}, limited);
    QCOMPARE(download.status, 1);
    QVERIFY2(download.err.contains(QStringLiteral("File too large")), qPrintable(download.err));
    QVERIFY(!QFile::exists(target));

    const QString folder = file(QStringLiteral("backup"));
    QCOMPARE(run({QStringLiteral("backup"), folder}, {}, limited).status, 1);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
#endif
}

void CliTest::nameThatCannotBeHandedOnIsRefused() {
#if defined(_WIN32)
    QSKIP("POSIX only: /dev/full, file-size limits and raw byte names");
#else
    QVERIFY(writeFile(phoneFile(2), "secret"));
    // What the raw names would turn into, were they taken as text.
    const QString mangledUpload = file(QString::fromUtf8("s-\xEF\xBF\xBD.bin"));
    QVERIFY(writeFile(mangledUpload, "not this one"));
    // The shell hands on the raw bytes that QProcess cannot.
    const auto runInFiles = [this](const QString& script) {
        QProcess process;
        process.setProcessEnvironment(phoneEnvironment());
        process.setWorkingDirectory(m_files->path());
        process.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), script, QStringLiteral(HIDEAWAY_CLI_PATH)});
        process.waitForFinished();
        return std::pair{process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    };
    const auto [downloadStatus, downloadError] = runInFiles(
        QStringLiteral(R"sh(exec "$0" download 2 "$(printf 'n-\377\376.bin')" --force)sh"));
    QCOMPARE(downloadStatus, 2);
    QVERIFY2(downloadError.contains(QStringLiteral("'n-\\xFF\\xFE.bin' is not valid text")),
             qPrintable(downloadError));
    const auto [uploadStatus, uploadError] = runInFiles(QStringLiteral(
        R"sh(name=$(printf 's-\377.bin'); printf x > "$name"; "$0" upload 1 "$name"; s=$?; rm -f "$name"; exit $s)sh"));
    QCOMPARE(uploadStatus, 2);
    QVERIFY2(uploadError.contains(QStringLiteral("'s-\\xFF.bin' is not valid text")),
             qPrintable(uploadError));
    QVERIFY(!QFile::exists(phoneFile(1)));
    // Nothing was written or read in place of either name.
    QVERIFY(!QFile::exists(file(QString::fromUtf8("n-\xEF\xBF\xBD\xEF\xBF\xBD.bin"))));
#endif
}

void CliTest::messagesSayWhatHappened_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("expected");

    const QString guide = QStringLiteral("see \"When something goes wrong\" in the user's guide");
    QTest::addRow("upload of a missing file")
        << QStringList{"upload", "2", "/nonexistent/file"} << QByteArray() << 1
        << QStringLiteral(
               "hideaway100k-cli: upload to slot 2 failed: File not found: %1; the "
               "slot was not touched\n")
               .arg(QDir::toNativeSeparators(
                   QFileInfo(QStringLiteral("/nonexistent/file")).absoluteFilePath()));
    QTest::addRow("upload over the limit")
        << QStringList{"upload", "2", "BIG"} << QByteArray() << 1
        << QStringLiteral(
               "hideaway100k-cli: upload to slot 2 failed: BIG holds 20991 bytes, more than an "
               "upload takes (20990); the slot was not touched\n");
    QTest::addRow("settings not valid")
        << QStringList{"check"} << QByteArray("force.InitGBPMode = 99") << 1
        << QStringLiteral(
               "hideaway100k-cli: the link to the phone on COM1 did not open (library "
               "result 99); ") +
               guide + QLatin1Char('\n');
    QTest::addRow("phone taken between the upload's links")
        << QStringList{"upload", "3", "FILE"} << QByteArray("force.InitGBPMode = 4 after 1") << 1
        << QStringLiteral(
               "hideaway100k-cli: upload to slot 3 failed: the slot was emptied over "
               "the upload's first link, but the second link did not open (library "
               "result 4): another program took the phone between the two links");
    QTest::addRow("restore without a phone")
        << QStringList{"restore", "BACKUP"} << QByteArray("port = 2") << 1
        << QStringLiteral(
               "hideaway100k-cli: restore stopped at slot 1: the link to the phone on "
               "COM1 did not open (library result 1); ") +
               guide +
               QStringLiteral(
                   "; the slot was not touched. Slots written and verified: none. "
                   "Slots not written: 1.\n");
    QTest::addRow("check beyond what a slot holds")
        << QStringList{"check"} << QByteArray("force.GetNVMFileSize.10 = 30000") << 0
        << QStringLiteral(
               "hideaway100k-cli: warning: slot 2 reports 30000 bytes, more than a "
               "slot holds (21000)");
    QTest::addRow("check with a slot not measured")
        << QStringList{"check"} << QByteArray("force.GetNVMFileSize.10 = -1") << 1
        << QStringLiteral(
               "hideaway100k-cli: check failed: could not measure slot 2 (library result -1)\n");
    QTest::addRow("backup of one slot") << QStringList{"backup", "FOLDER"} << QByteArray() << 0
                                        << QStringLiteral("backup of 1 slot (5 bytes) in ");
    // A file where a complete backup is put in place is a leftover like any other.
    QTest::addRow("backup beside a stray file")
        << QStringList{"backup", "STRAY"} << QByteArray() << 0
        << QStringLiteral(
               "removing STRAY, left by an "
               "earlier backup\n");
}

void CliTest::messagesSayWhatHappened() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, settings);
    QFETCH(int, status);
    QFETCH(QString, expected);
    QVERIFY(writeFile(phoneFile(1), "hello"));
    QVERIFY(writeFile(file(QStringLiteral("up.bin")), "new content"));
    QVERIFY(writeFile(file(QStringLiteral("big.bin")), randomBytes(20991, 9)));
    const QString backup = file(QStringLiteral("ready"));
    QVERIFY(QDir().mkpath(backup));
    QVERIFY(writeFile(backup + QStringLiteral("/slot1.bin"), "hello"));
    QVERIFY(writeFile(backup + QStringLiteral("/manifest.json"), manifest(entry(1, "hello"))));
    QVERIFY(writeFile(phoneFile(1), "other"));
    arguments.replaceInStrings(QStringLiteral("FILE"), file(QStringLiteral("up.bin")));
    arguments.replaceInStrings(QStringLiteral("BIG"), file(QStringLiteral("big.bin")));
    expected.replace(QStringLiteral("BIG"),
                     QDir::toNativeSeparators(file(QStringLiteral("big.bin"))));
    arguments.replaceInStrings(QStringLiteral("BACKUP"), backup);
    arguments.replaceInStrings(QStringLiteral("FOLDER"), file(QStringLiteral("new")));
    const QString stray = file(QStringLiteral("stray/.backup-complete"));
    QVERIFY(QDir().mkpath(file(QStringLiteral("stray"))) && writeFile(stray, "not a backup"));
    arguments.replaceInStrings(QStringLiteral("STRAY"), file(QStringLiteral("stray")));
    expected.replace(QStringLiteral("STRAY"), QDir::toNativeSeparators(stray));

    const Run result = run(arguments, settings);

    QVERIFY2(result.status == status && (result.err + result.out).contains(expected),
             result.said().constData());
    // Nothing the window would say in its own words.
    QVERIFY2(!result.err.contains(QStringLiteral("dialog")), qPrintable(result.err));
    QVERIFY2(!result.err.contains(QStringLiteral("may now be empty")), qPrintable(result.err));
    QCOMPARE(readFile(phoneFile(1)), QByteArray("other"));
}

// A link by the complete backup's name is a leftover too: the folder it names keeps its files.
void CliTest::backupLeavesALinksTargetAlone() {
    const QString target = file(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(target) && writeFile(target + QStringLiteral("/keep.bin"), "mine"));
    QVERIFY(QDir().mkpath(file(QStringLiteral("linked"))));
    if (!QFile::link(target, file(QStringLiteral("linked/.backup-complete")))) {
        QSKIP("this system makes no symbolic link here");
    }
    QVERIFY(writeFile(phoneFile(1), "hello"));
    const Run result = run({QStringLiteral("backup"), file(QStringLiteral("linked"))});
    QVERIFY2(result.status == 0, result.said().constData());
    QCOMPARE(readFile(target + QStringLiteral("/keep.bin")), QByteArray("mine"));
}

void CliTest::missingLibraryReadsTheSameForEveryCommand_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("before");  // what the line says before the library
    QTest::addColumn<QString>("after");   // and after the guide

    const QString program = QStringLiteral("hideaway100k-cli: ");
    QTest::addRow("check") << QStringList{"check"} << program << QString();
    QTest::addRow("upload") << QStringList{"upload", "2", "FILE"} << program << QString();
    QTest::addRow("download") << QStringList{"download", "2", "NEW"} << program << QString();
    QTest::addRow("clear") << QStringList{"clear", "2"} << program << QString();
    QTest::addRow("backup") << QStringList{"backup", "NEW"} << program
                            << QStringLiteral("; no complete backup is in ");
    QTest::addRow("restore") << QStringList{"restore", "BACKUP"}
                             << program + QStringLiteral("restore stopped at slot 1: ")
                             << QStringLiteral(
                                    "; the slot was not touched. Slots written and verified: "
                                    "none. Slots not written: 1.");
}

void CliTest::missingLibraryReadsTheSameForEveryCommand() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, before);
    QFETCH(QString, after);
    const QString backup = file(QStringLiteral("backup"));
    QVERIFY(QDir().mkpath(backup));
    QVERIFY(writeFile(backup + QStringLiteral("/slot1.bin"), "hello"));
    QVERIFY(writeFile(backup + QStringLiteral("/manifest.json"), manifest(entry(1, "hello"))));
    QVERIFY(writeFile(file(QStringLiteral("up.bin")), "new content"));
    arguments.replaceInStrings(QStringLiteral("FILE"), file(QStringLiteral("up.bin")));
    arguments.replaceInStrings(QStringLiteral("BACKUP"), backup);
    arguments.replaceInStrings(QStringLiteral("NEW"), file(QStringLiteral("new")));

    const Run result = run(arguments, {},
                           withEnvironment({{QStringLiteral("HIDEAWAY_GBP_LIBRARY"),
                                             file(QStringLiteral("missing/libGBP.so"))}}));

    QCOMPARE(result.status, 1);
    const QString line = result.err.section(QLatin1Char('\n'), -2, -2);
    const QString guide =
        QStringLiteral(" (error 48); see \"When something goes wrong\" in the user's guide");
    QVERIFY2(line.startsWith(before + QStringLiteral("cannot load the phone-link library GBP (")),
             qPrintable(result.err));
    QVERIFY2(line.contains(guide + after), qPrintable(result.err));
}

void CliTest::verbosity_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("steps");
    QTest::addColumn<bool>("fields");
    QTest::addRow("default: steps") << QString() << true << false;
    QTest::addRow("--quiet: nothing") << QStringLiteral("--quiet") << false << false;
    QTest::addRow("--verbose: every field") << QStringLiteral("--verbose") << true << true;
}

void CliTest::verbosity() {
    QFETCH(QString, option);
    QFETCH(bool, steps);
    QFETCH(bool, fields);
    // The library the program loads is the one the build put beside it, named in full; a bridge
    // chosen instead is named with the DLL it hosts, as Windows names that.
    const QString bridge = qEnvironmentVariable("HIDEAWAY_GBP_LIBRARY");
    const QString hosted = QStringLiteral(" (Wine bridge to Z:%1)")
                               .arg(qEnvironmentVariable("HIDEAWAY_GBP_DLL"))
                               .replace(QLatin1Char('/'), QLatin1Char('\\'));
    const QString library =
        bridge.isEmpty() ? QFileInfo(QStringLiteral(HIDEAWAY_LIBRARY_PATH)).absoluteFilePath()
                         : bridge + hosted;
    const auto named = [&bridge](const QString& path) {
        return bridge.isEmpty() ? QFileInfo(path).absoluteFilePath() : path;
    };

    QStringList arguments{QStringLiteral("check")};
    if (!option.isEmpty()) {
        arguments << option;
    }
    const Run result = run(arguments);

    // A failure shows all the program said, also where it should have said nothing.
    QVERIFY2(result.status == 0, result.said().constData());
    const QRegularExpressionMatch shown =
        QRegularExpression(QStringLiteral("\nlibrary: (.*), chosen by [^\n]+\n")).match(result.err);
    QCOMPARE(shown.hasMatch(), steps);
    if (steps) {
        QCOMPARE(named(shown.captured(1)), library);
    }
    QVERIFY2(result.err.isEmpty() == !steps, result.said().constData());
    QCOMPARE(result.err.contains(QStringLiteral("opening the link on COM1\n")), steps);
    QCOMPARE(result.err.contains(QStringLiteral("status: CHECKING\n")), fields);
    QCOMPARE(result.err.contains(QStringLiteral("title: ")), fields);
    QVERIFY(result.out.startsWith(QStringLiteral("slot  NVM file  bytes\n")));

    const Run json = run(arguments << QStringLiteral("--json"));
    QVERIFY2(json.status == 0, json.said().constData());
    QCOMPARE(named(QJsonDocument::fromJson(json.out.toUtf8())
                       .object()
                       .value(QStringLiteral("library"))
                       .toString()),
             library);
}

void CliTest::pathsAreWrittenAsTheSystemWritesThem() {
    // Names outside any one ANSI code page, and the separators the system's own programs show.
    const QString name = QStringLiteral("back \u00f1 \u00e9 \u0141\u03a9.txt");
    const QString copy = file(name);
    QVERIFY(writeFile(phoneFile(2), "held in slot 2"));

    const Run download = run({QStringLiteral("download"), QStringLiteral("2"), copy});

    QCOMPARE(download.status, 0);
    QCOMPARE(readFile(copy), QByteArray("held in slot 2"));
    // A redirected output is UTF-8 on every system.
    QCOMPARE(download.out, QStringLiteral("slot 2: 14 bytes saved to %1\n")
                               .arg(QDir::toNativeSeparators(QFileInfo(copy).absoluteFilePath())));
    const Run again = run({QStringLiteral("download"), QStringLiteral("2"), copy});
    QCOMPARE(again.status, 1);
    QVERIFY2(again.err.contains(QDir::toNativeSeparators(QFileInfo(copy).absoluteFilePath()) +
                                QStringLiteral(" exists; add --force to replace it")),
             qPrintable(again.err));
}

void CliTest::doctorSaysTheSimulatedPhoneIsNoPhone() {
    if (!qEnvironmentVariableIsEmpty("HIDEAWAY_GBP_LIBRARY")) {
        QSKIP("another library than the simulated phone is chosen for this run");
    }
#if defined(_WIN32)
    const QString chosen = QStringLiteral("chosen by default");
    const QString phone = QStringLiteral(
        "note     phone: GBP.dll is the simulated phone; for a real one, put the phone vendor's "
        "GBP.dll beside the program in its place\n");
#else
    const QString chosen = QStringLiteral("chosen by default: no Wine bridge is set up");
    const QString phone = QStringLiteral(
        "note     phone: the library is the simulated phone; for a real one, name its GBP.dll as "
        "`dll` in " HIDEAWAY_TEST_HOME "/.config/hideaway100k/wine-bridge.conf\n");
#endif

    const Run doctor = run({QStringLiteral("doctor")});

    QCOMPARE(doctor.status, 0);
    const QRegularExpressionMatch library =
        QRegularExpression(QStringLiteral("^ok       library: (.*), (chosen by .*)\n"
                                          "ok       calls: all six: InitGBPMode, EndGBPMode, "
                                          "ClearNVMFile, WriteNVMFile, GetNVMFileSize, "
                                          "ReadNVMFile\n"))
            .match(doctor.out);
    QVERIFY2(library.hasMatch(), qPrintable(doctor.out));
    QCOMPARE(QFileInfo(library.captured(1)).absoluteFilePath(),
             QFileInfo(QStringLiteral(HIDEAWAY_LIBRARY_PATH)).absoluteFilePath());
    QCOMPARE(library.captured(2), chosen);
    QVERIFY2(doctor.out.contains(phone), qPrintable(doctor.out));
    // None of the six calls was made: the simulated phone made nothing in its folder.
    QCOMPARE(QDir(m_phone->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
}

// Through each system's own loader: the library's file and the call, before any call is made.
void CliTest::doctorNamesTheCallALibraryLacks() {
    const QString library = QStringLiteral(HIDEAWAY_FIVE_CALLS_PATH);
    const Run doctor = run({QStringLiteral("doctor")}, {},
                           withEnvironment({{QStringLiteral("HIDEAWAY_GBP_LIBRARY"), library}}));

    QCOMPARE(doctor.status, 1);
    const QRegularExpressionMatch named =
        QRegularExpression(QStringLiteral("^PROBLEM  library: Can't find DLL entry point: "
                                          "ReadNVMFile in (.*), chosen by HIDEAWAY_GBP_LIBRARY; "
                                          "to do: use a complete phone-link library\n$"))
            .match(doctor.out);
    QVERIFY2(named.hasMatch(), qPrintable(doctor.out + doctor.err));
    QCOMPARE(QFileInfo(named.captured(1)).absoluteFilePath(),
             QFileInfo(library).absoluteFilePath());
}

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
