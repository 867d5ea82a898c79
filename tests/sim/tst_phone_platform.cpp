#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <string>

#include "platform.h"

using hideaway::sim::FileLock;

class PhonePlatformTest : public QObject {
    Q_OBJECT

private slots:
    // A phone folder the user cannot write to is told in the system's words, not a bare number.
    void lockFileThatCannotBeOpenedIsExplainedInWords() {
        const QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // A folder in the lock file's place: refused on every system, also to an administrator.
        const QString lockFile = dir.filePath(QStringLiteral("phone.lock"));
        QVERIFY(QDir().mkpath(lockFile));
        FileLock lock;
        std::string reason;

        QCOMPARE(lock.acquire(lockFile.toStdWString(), reason), FileLock::Outcome::Failed);

        const QString said = QString::fromStdString(reason);
        QVERIFY2(said.startsWith(QStringLiteral("cannot open the lock file: ")), qPrintable(said));
#ifdef Q_OS_WIN
        QVERIFY2(said.contains(QStringLiteral("denied"), Qt::CaseInsensitive), qPrintable(said));
        QVERIFY2(said.endsWith(QStringLiteral(" (Windows error 5)")), qPrintable(said));
#else
        QVERIFY2(said.contains(QStringLiteral("directory"), Qt::CaseInsensitive), qPrintable(said));
#endif
        QVERIFY(!lock.held());
    }
};

QTEST_GUILESS_MAIN(PhonePlatformTest)
#include "tst_phone_platform.moc"
