#pragma once

#include <QFile>
#include <QString>

namespace hideaway {

/// Opens the device or pipe at path for unbuffered writing without waiting for anything: a pipe
/// that no program reads fails at once, and a serial line opens without waiting for its carrier.
/// Returns whether file is open; when not, reason says why in the system's words.
bool openWithoutWaiting(QFile& file, const QString& path, QString& reason);

}  // namespace hideaway
