#pragma once

#include <QFile>
#include <QString>

namespace hideaway {

/// Whether path names something that is not a file to be replaced: a device or a pipe. Such a
/// target is written in place, since renaming a file over it would destroy the node or fail.
bool isDeviceOrPipe(const QString& path);

/// Opens the device or pipe at path for unbuffered writing without waiting for anything: a pipe
/// that no program reads fails at once, and a serial line opens without waiting for its carrier.
/// Returns whether file is open; when not, reason says why in the system's words.
bool openWithoutWaiting(QFile& file, const QString& path, QString& reason);

}  // namespace hideaway
