#include <QDir>
#include <QFile>

#include "bridge_settings.h"
#include "library_choice.h"

namespace hideaway {

namespace {

/// A path under the home folder as the user writes it, with ~.
QString shownPath(const QString& path) {
    const QString home = QDir::homePath() + QLatin1Char('/');
    return path.startsWith(home) ? QStringLiteral("~/") + path.mid(home.size()) : path;
}

}  // namespace

std::optional<LibraryChoice> bridgeChoice(const QString& programFolder) {
    bridge::BridgeSettings settings;
    std::string unread;
    const bool read = bridge::readBridgeSettings(settings, unread);
    const QString file = QFile::decodeName(settings.file.c_str());
    QString reason;
    if (!qEnvironmentVariable("HIDEAWAY_GBP_DLL").isEmpty()) {
        reason = QStringLiteral("chosen by HIDEAWAY_GBP_DLL");
    } else if (!settings.dll.empty() || (!read && QFile::exists(file))) {
        // A file the bridge cannot read is set up too: the bridge then says what is wrong in it.
        reason = QStringLiteral("chosen by ") + shownPath(file);
    } else {
        return std::nullopt;
    }
    LibraryChoice choice{{}, reason, true};
    if (!programFolder.isEmpty()) {
        choice.candidates << QDir(programFolder).filePath(QStringLiteral("wine-bridge/libGBP.so"));
    }
    return choice;
}

QString defaultChoiceReason() {
    return QStringLiteral("chosen by default: no Wine bridge is set up");
}

}  // namespace hideaway
