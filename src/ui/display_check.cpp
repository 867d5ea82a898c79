#include "display_check.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QtGlobal>

#include <cstring>

namespace hideaway {

namespace {

/// The command as a shell reads it back: quoted when it holds anything but plain path characters.
QString shellWord(const QString& word) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./,:=@%+-]+$"));
    if (plain.match(word).hasMatch()) {
        return word;
    }
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

}  // namespace

bool displayAvailable(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return true;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            return true;
        }
    }
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

QString noDisplayMessage(const QString& command) {
    QString hint = QStringLiteral("xvfb-run -a ") + shellWord(command);
    // A fresh desktop-less machine seldom has it; the hint must work as it reads.
    if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty()) {
        hint = QStringLiteral("sudo apt install xvfb, then ") + hint;
    }
    return QStringLiteral(
               "hideaway100k: no display found. Run it on a desktop, or under a virtual one: ") +
           hint;
}

}  // namespace hideaway
