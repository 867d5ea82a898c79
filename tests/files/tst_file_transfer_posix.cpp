// Saves onto what only POSIX systems have: pipes, device nodes, permission bits, a size limit.
#include <sys/resource.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

#include <QScopeGuard>
#include <QTest>

#include "app_error.h"
#include "file_transfer.h"
#include "scratch_folder.h"
#include "transfer_fixtures.h"
#include "unprivileged.h"

using namespace hideaway;
using namespace hideaway::test;

namespace {

bool isCharacterDevice(const char* path) {
    struct stat info {};
    return ::lstat(path, &info) == 0 && S_ISCHR(info.st_mode);
}

}  // namespace

class PosixFileTransferTest : public QObject, private ScratchFolder {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(renew());
        // Reachable by the unprivileged user of the permission cases.
        QVERIFY(QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther));
    }

    void saveIntoReadOnlyFolder_data() {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<bool>("fileWritable");
        QTest::newRow("new file") << false << false;
        QTest::newRow("existing read-only file") << true << false;
        // The file itself could be written in place, but not replaced as a whole.
        QTest::newRow("existing writable file") << true << true;
    }
    void saveIntoReadOnlyFolder() {
        QFETCH(bool, existing);
        QFETCH(bool, fileWritable);
        const QString folder = path(QStringLiteral("locked"));
        const QString target = folder + QStringLiteral("/out.bin");
        const QByteArray before = randomBytes(2000, 4);
        QVERIFY(QDir(path()).mkdir(QStringLiteral("locked")));
        if (existing) {
            QVERIFY(writeFile(target, before));
            QVERIFY(QFile::setPermissions(target, fileWritable
                                                      ? QFile::ReadOwner | QFile::WriteOwner |
                                                            QFile::ReadOther | QFile::WriteOther
                                                      : QFile::ReadOwner | QFile::ReadOther));
        }
        QVERIFY(QFile::setPermissions(
            folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
        // Lets the temporary folder be removed afterwards by a user without privileges.
        const auto unlock = qScopeGuard([&folder] {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        const QStringList entries = folderEntries(folder);
        Reports reports;
        bool saved = true;
        {
            Unprivileged user;
            if (!user.ok()) {
                QSKIP("cannot leave the privileged user, so every folder is writable");
            }
            saved = SaveBytesToFile(target, ByteBuffer(50, 0x42), 50, reports.sink());
        }
        QVERIFY(!saved);
        QCOMPARE(reports.texts, QStringList{QStringLiteral("Permission denied: ") + target});
        QCOMPARE(folderEntries(folder), entries);
        if (existing) {
            QCOMPARE(readFile(target), before);
        }
    }

    void saveOntoPipeWithoutReader() {
        const QString pipe = path(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        Reports reports;
        // A save that waits for a reader would hang the suite; the alarm ends the test instead.
        ::alarm(20);
        const bool saved = SaveBytesToFile(pipe, ByteBuffer(10, 1), 10, reports.sink());
        ::alarm(0);
        QVERIFY(!saved);
        QCOMPARE(reports.texts, QStringList{QStringLiteral("Path/File access error: ") + pipe +
                                            QStringLiteral(" (a pipe that no program reads)")});
        struct stat info {};
        QVERIFY(::lstat(QFile::encodeName(pipe).constData(), &info) == 0 && S_ISFIFO(info.st_mode));
        QCOMPARE(folderEntries(path()), QStringList{QStringLiteral("pipe")});
    }

    void saveOntoDevice_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QStringList>("expectedReports");
        QTest::newRow("full disk")
            << QStringLiteral("/dev/full")
            << QStringList{QStringLiteral("Disk full: /dev/full (No space left on device)")};
        QTest::newRow("null device") << QStringLiteral("/dev/null") << QStringList();
    }
    void saveOntoDevice() {
        QFETCH(QString, device);
        QFETCH(QStringList, expectedReports);
        // A save that replaced its target by renaming would replace the device node itself; only
        // try a device once a pipe has shown that such targets are written in place.
        QString why;
        if (!pipeSurvivesSave(&why)) {
            QFAIL(qPrintable(QStringLiteral("not writing to a device: ") + why));
        }
        if (!isCharacterDevice(QFile::encodeName(device).constData())) {
            QSKIP("no such device here");
        }
        const QStringList devices = folderEntries(QStringLiteral("/dev"));
        Reports reports;

        const bool saved = SaveBytesToFile(device, ByteBuffer(21002, 7), 21000, reports.sink());

        QCOMPARE(saved, expectedReports.isEmpty());
        QCOMPARE(reports.texts, expectedReports);
        QVERIFY(isCharacterDevice(QFile::encodeName(device).constData()));
        QCOMPARE(folderEntries(QStringLiteral("/dev")), devices);
    }

    void saveStoppedPartWay_data() {
        QTest::addColumn<int>("count");
        // Qt buffers small writes and flushes them only when the file is committed.
        QTest::newRow("write held in Qt's buffer") << 5000;
        QTest::newRow("write past Qt's buffer") << 21000;
    }
    void saveStoppedPartWay() {
        QFETCH(int, count);
        const QString target = path(QStringLiteral("old.bin"));
        const QByteArray before = randomBytes(300, 6);
        QVERIFY(writeFile(target, before));
        Reports reports;
        bool saved = true;
        {
            // A file size limit stops the write after 100 bytes as a filling disk would, for root
            // too; the signal it raises would end the process.
            rlimit limit{};
            QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
            const rlimit original = limit;
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            const auto restore = qScopeGuard([&] {
                ::setrlimit(RLIMIT_FSIZE, &original);
                std::signal(SIGXFSZ, oldHandler);
            });
            limit.rlim_cur = 100;
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
            saved = SaveBytesToFile(target, ByteBuffer(21002, 3), count, reports.sink());
        }
        QVERIFY(!saved);
        QCOMPARE(reports.texts, QStringList{QStringLiteral("Device I/O error: ") + target +
                                            QStringLiteral(" (File too large)")});
        QCOMPARE(readFile(target), before);
        QCOMPARE(folderEntries(path()), QStringList{QStringLiteral("old.bin")});
    }

    void saveWhoseRenameIsRefused() {
        // In a shared folder with the sticky bit, as /tmp, only a file's owner may replace it:
        // every byte is written, and the final rename of the temporary file fails.
        const QString shared = path(QStringLiteral("shared"));
        QVERIFY(QDir(path()).mkdir(QStringLiteral("shared")));
        QCOMPARE(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
        const QString target = shared + QStringLiteral("/theirs.bin");
        const QByteArray before = randomBytes(300, 12);
        QVERIFY(writeFile(target, before));
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0666), 0);
        if (::geteuid() != 0) {
            QSKIP("needs root, to save as another user over a file that root owns");
        }
        Reports reports;
        bool saved = true;
        {
            Unprivileged user;
            if (!user.ok()) {
                QSKIP("cannot leave the privileged user");
            }
            saved = SaveBytesToFile(target, ByteBuffer(50, 0x42), 50, reports.sink());
        }
        QVERIFY(!saved);
        QCOMPARE(reports.texts, QStringList{QStringLiteral("Path/File access error: ") + target +
                                            QStringLiteral(" (Operation not permitted)")});
        QCOMPARE(readFile(target), before);
        QCOMPARE(folderEntries(shared), QStringList{QStringLiteral("theirs.bin")});
    }

private:
    /// Whether a save into a pipe writes through it and leaves the pipe in place, alone.
    bool pipeSurvivesSave(QString* why) {
        const QString pipe = path(QStringLiteral("pipe"));
        if (::mkfifo(QFile::encodeName(pipe).constData(), 0600) != 0) {
            *why = QStringLiteral("no pipe could be made");
            return false;
        }
        // A reader must be there, or opening the pipe for writing waits for one.
        const int reader = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK);
        const QByteArray bytes = randomBytes(300, 8);
        Reports reports;
        const bool saved = SaveBytesToFile(pipe, toBuffer(bytes), 300, reports.sink());
        QByteArray received(400, '\0');
        const auto got = reader >= 0 ? ::read(reader, received.data(), 400) : -1;
        if (reader >= 0) {
            ::close(reader);
        }
        struct stat info {};
        const bool stillPipe =
            ::lstat(QFile::encodeName(pipe).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
        const QStringList entries = folderEntries(path());
        if (!saved || !stillPipe || got != 300 || received.left(300) != bytes ||
            entries != QStringList{QStringLiteral("pipe")}) {
            *why =
                QStringLiteral("saved %1, pipe kept %2, bytes through %3, reports %4, entries %5")
                    .arg(saved)
                    .arg(stillPipe)
                    .arg(got)
                    .arg(reports.texts.join(QLatin1Char('|')), entries.join(QLatin1Char('|')));
            return false;
        }
        return true;
    }
};

QTEST_GUILESS_MAIN(PosixFileTransferTest)
#include "tst_file_transfer_posix.moc"
