#pragma once

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QString>

#include "test_files.h"

namespace hideaway::test {

/// wine-bridge.conf in a configuration folder, where the programs and the bridge look for it.
inline QString bridgeConfigFile(const QString& configHome) {
    return QDir(configHome).filePath(QStringLiteral("hideaway100k/wine-bridge.conf"));
}

/// Points environment at configHome as XDG_CONFIG_HOME, with wine-bridge.conf holding text there
/// (no file for empty text), and takes HIDEAWAY_GBP_LIBRARY and HIDEAWAY_GBP_DLL away, so that the
/// file alone chooses. False when the file could not be written.
inline bool configureBridge(QProcessEnvironment& environment, const QString& configHome,
                            const QByteArray& text) {
    environment.remove(QStringLiteral("HIDEAWAY_GBP_LIBRARY"));
    environment.remove(QStringLiteral("HIDEAWAY_GBP_DLL"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    if (text.isEmpty()) {
        return true;
    }
    const QString file = bridgeConfigFile(configHome);
    return QDir().mkpath(QFileInfo(file).path()) && writeFile(file, text);
}

}  // namespace hideaway::test
