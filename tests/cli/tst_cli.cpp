#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

QByteArray randomBytes(qsizetype size, quint32 seed) {
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes) {
        byte = static_cast<char>(generator.bounded(256));
    }
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

private:
    Run run(const QStringList& arguments, const QByteArray& settings = {});
    QString phoneFile(int slot) const {
        return m_phone->filePath(QStringLiteral("nvm-18-%1.bin").arg(8 + slot, 2, 10, QChar('0')));
    }
    QString file(const QString& name) const { return m_files->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_phone;
    std::unique_ptr<QTemporaryDir> m_files;
};

void CliTest::init() {
    m_phone = std::make_unique<QTemporaryDir>();
    m_files = std::make_unique<QTemporaryDir>();
    QVERIFY(m_phone->isValid() && m_files->isValid());
}

Run CliTest::run(const QStringList& arguments, const QByteArray& settings) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HIDEAWAY_PHONE_DIR"), m_phone->path());
    environment.remove(QStringLiteral("HIDEAWAY_PHONE_SETTINGS"));
    if (!settings.isEmpty()) {
        environment.insert(QStringLiteral("HIDEAWAY_PHONE_SETTINGS"), QString::fromUtf8(settings));
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(HIDEAWAY_CLI_PATH), arguments);
    Run result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return result;
    }
    result.status = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
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
    const QByteArray tooLong = randomBytes(20991, 8);

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
    QTest::newRow("more than an upload takes")
        << manifest(entry(3, tooLong)) << tooLong
        << QStringLiteral("manifest.json: slot 3: 20991 bytes, more than an upload takes (20990)");
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
    QVERIFY2(restore.err.contains(
                 "hideaway100k-cli: restore stopped at slot 3 (it was not written and verified); "
                 "it may now be empty or hold part of its file. Slots written and verified: 1. "
                 "Slots not written: 5.\n"),
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

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
