#pragma once

#include <QString>

namespace hideaway::cli {

/// Makes the backup folder and the files of a backup in it (the slot files, the sums and the
/// manifest, those present; other files are left alone) readable by the current user alone. On
/// Windows each gets a protected access list with one entry, full control for the current user,
/// which the folder also hands down to whatever is created in it. On Unix the backup's umask (077)
/// already makes what it creates its owner's alone, and nothing changes. Returns what failed, or
/// nothing.
QString protectBackup(const QString& folder);

/// Makes whatever the process creates from now on readable by the current user alone, where the
/// system decides that at creation: on Unix through the umask (077); on Windows protectBackup
/// does it, and nothing changes here.
void keepNewFilesPrivate();

}  // namespace hideaway::cli
