#pragma once

// What the bridge's native tests share: the bridge with the native host in place of gbp-host.exe
// under Wine, the command line run to its end, and whether Wine runs for the rows that need it.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace hideaway::test {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

/// The bridge with the native host on library, the phone and the Wine prefix in folder.
inline QProcessEnvironment nativeBridge(const QString& folder, const QString& library) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HIDEAWAY_GBP_LIBRARY"), QStringLiteral(BRIDGE_LIBRARY));
    environment.insert(QStringLiteral("HIDEAWAY_WINE"), QStringLiteral(FAKE_WINE));
    environment.insert(QStringLiteral("HIDEAWAY_TEST_HOST"), QStringLiteral(NATIVE_HOST));
    environment.insert(QStringLiteral("HIDEAWAY_GBP_DLL"), library);
    environment.insert(QStringLiteral("WINEPREFIX"), folder + QStringLiteral("/prefix"));
    environment.insert(QStringLiteral("HIDEAWAY_PHONE_DIR"), folder);
    environment.remove(QStringLiteral("HIDEAWAY_PHONE_SETTINGS"));
    environment.remove(QStringLiteral("HIDEAWAY_GBP_TIMEOUT"));
    return environment;
}

/// Runs the command line; status -1 when it did not end by itself within a minute.
inline Run runCli(const QStringList& arguments, const QProcessEnvironment& environment) {
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

/// Why the Wine rows cannot run here, or empty once this test's prefix is made.
inline QString wineMissing() {
    static const QString why = [] {
        QProcess wineboot;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("WINEPREFIX"), QStringLiteral(WINE_PREFIX));
        // As the bridge makes a prefix: quiet, and no offer of Mono or Gecko to wait on.
        environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
        environment.insert(QStringLiteral("WINEDLLOVERRIDES"), QStringLiteral("mscoree,mshtml="));
        wineboot.setProcessEnvironment(environment);
        wineboot.start(QStringLiteral("wine"),
                       {QStringLiteral("wineboot"), QStringLiteral("--init")});
        return wineboot.waitForFinished(300000) && wineboot.exitCode() == 0
                   ? QString()
                   : QStringLiteral("Wine cannot run here: ") +
                         QString::fromLocal8Bit(wineboot.readAllStandardError())
                             .section(u'\n', 0, 0);
    }();
    return why;
}

}  // namespace hideaway::test
