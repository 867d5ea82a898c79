#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#if defined(Q_OS_UNIX)
#include <sys/resource.h>
#endif

#include "display_check.h"

using namespace hideaway;

namespace {

/// Sets or clears an environment variable for one test and puts it back afterwards.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }
    ~EnvironmentVariable() {
        if (m_had) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

}  // namespace

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    void displayAvailable_data();
    void displayAvailable();
    void programStopsWithoutDisplay_data();
    void programStopsWithoutDisplay();
};

void TestProgram::displayAvailable_data() {
    QTest::addColumn<QByteArray>("platform");
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QByteArray>("wayland");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("available");

    const QByteArray unset;
    QTest::newRow("nothing named") << unset << unset << unset << QStringList() << false;
    QTest::newRow("empty display") << unset << QByteArray("") << unset << QStringList() << false;
    QTest::newRow("X display") << unset << QByteArray(":0") << unset << QStringList() << true;
    QTest::newRow("Wayland display")
        << unset << unset << QByteArray("wayland-0") << QStringList() << true;
    QTest::newRow("platform chosen")
        << QByteArray("offscreen") << unset << unset << QStringList() << true;
    QTest::newRow("platform argument")
        << unset << unset << unset
        << QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen")} << true;
    QTest::newRow("platform argument with two dashes")
        << unset << unset << unset
        << QStringList{QStringLiteral("--platform"), QStringLiteral("offscreen")} << true;
}

void TestProgram::displayAvailable() {
#if !defined(Q_OS_UNIX) || defined(Q_OS_DARWIN)
    QSKIP("Only X11 and Wayland desktops name their display in the environment");
#endif
    QFETCH(QByteArray, platform);
    QFETCH(QByteArray, display);
    QFETCH(QByteArray, wayland);
    QFETCH(QStringList, arguments);
    QFETCH(bool, available);
    const EnvironmentVariable platformVariable("QT_QPA_PLATFORM", platform);
    const EnvironmentVariable displayVariable("DISPLAY", display);
    const EnvironmentVariable waylandVariable("WAYLAND_DISPLAY", wayland);

    QList<QByteArray> storage{QByteArray("hideaway100k")};
    for (const QString& argument : arguments) {
        storage << argument.toLocal8Bit();
    }
    QList<char*> argv;
    for (QByteArray& argument : storage) {
        argv << argument.data();
    }
    argv << nullptr;
    QCOMPARE(hideaway::displayAvailable(int(storage.size()), argv.data()), available);
}

void TestProgram::programStopsWithoutDisplay_data() {
    QTest::addColumn<bool>("typedByName");
    QTest::addColumn<bool>("xvfbRunInPath");
    QTest::addColumn<QString>("hint");  // empty: the message meets a file-size limit of 0

    // The hint must be a command that works where it is read: the name the user typed, not the
    // file the link in the path leads to, and xvfb-run installed first where it is missing.
    QTest::newRow("typed by name, xvfb-run in the path")
        << true << true << QStringLiteral("xvfb-run -a hideaway100k");
    QTest::newRow("typed as a path, no xvfb-run")
        << false << false
        << QStringLiteral("sudo apt install xvfb, then xvfb-run -a ") +
               QStringLiteral(PROGRAM_PATH);
    // Past the limit a write fails with an error the program reports (a download's save),
    // rather than the signal ending it.
    QTest::newRow("file-size limit") << false << false << QString();
}

void TestProgram::programStopsWithoutDisplay() {
#if !defined(Q_OS_LINUX)
    QSKIP("The display check applies to Linux desktops");
#endif
    QFETCH(bool, typedByName);
    QFETCH(bool, xvfbRunInPath);
    QFETCH(QString, hint);

    QTemporaryDir tools;
    QVERIFY(tools.isValid());
    if (xvfbRunInPath) {
        QFile xvfbRun(tools.filePath(QStringLiteral("xvfb-run")));
        QVERIFY(xvfbRun.open(QIODevice::WriteOnly));
        xvfbRun.write("#!/bin/sh\n");
        xvfbRun.close();
        QVERIFY(xvfbRun.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        environment.remove(QLatin1String(name));
    }
    const QString programDir = QFileInfo(QStringLiteral(PROGRAM_PATH)).absolutePath();
    environment.insert(QStringLiteral("PATH"), programDir + QLatin1Char(':') + tools.path());
    QProcess program;
    program.setProcessEnvironment(environment);
#if defined(Q_OS_LINUX)
    if (hint.isEmpty()) {
        program.setStandardErrorFile(tools.filePath(QStringLiteral("stderr")));
        program.setChildProcessModifier([] {
            std::signal(SIGXFSZ, SIG_DFL);
            const rlimit limit{0, 0};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
#endif
    if (typedByName) {
        // A shell passes the name as typed, as it does at a terminal.
        program.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), QStringLiteral("exec hideaway100k")});
    } else {
        program.start(QStringLiteral(PROGRAM_PATH), {});
    }
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QCOMPARE(program.readAllStandardOutput(), QByteArray());
    if (hint.isEmpty()) {
        return;  // the message could not be written, and the program ended all the same
    }
    QCOMPARE(QString::fromLocal8Bit(program.readAllStandardError()).trimmed(),
             QStringLiteral("hideaway100k: no display found. Run it on a desktop, or under a "
                            "virtual one: ") +
                 hint);
}

QTEST_MAIN(TestProgram)
#include "tst_program.moc"
