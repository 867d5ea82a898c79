#pragma once

#include <QString>

namespace hideaway::cli {

/// The folder inside a backup folder that holds a complete new backup from the moment it is
/// complete until its files are in place; restore takes the backup from there while it exists.
inline const QString kCompleteName = QStringLiteral(".backup-complete");
/// Beside the manifest: the SHA-256 of every file of the backup, as sha256sum -c reads them.
inline const QString kSumsName = QStringLiteral("SHA256SUMS");
/// Staging folders and temporary files of a backup start with this; a killed backup may leave
/// them, and the next one removes them.
inline const QString kStagingPrefix = QStringLiteral(".backup-");

/// The folder that holds the complete backup of folder: the new one while it is put in place,
/// otherwise folder itself.
QString completeBackupIn(const QString& folder);

/// Counts the steps of a backup that change the backup folder, so that the tests' build of the
/// program can stop a backup at every step without timing (beforeBackupStep in test_switches.h).
class BackupSteps {
public:
    void next();

private:
    int m_count = 0;
};

/// Puts the complete new backup that an interrupted backup left in place, then removes it and
/// every staging folder or temporary file that a killed backup left. Returns what failed, or
/// nothing.
QString tidyBackupFolder(const QString& folder, BackupSteps& steps);

/// A folder or other non-file where a file of the backup goes, which would stop it from being
/// put in place; empty when there is none.
QString inTheWay(const QString& folder);

/// Makes the complete backup in staging the backup of folder: staging becomes kCompleteName in
/// one step, then its files are copied over those of the previous backup (the manifest last), and
/// it is removed. Returns what failed, or nothing.
QString putInPlace(const QString& folder, const QString& staging, BackupSteps& steps);

}  // namespace hideaway::cli
