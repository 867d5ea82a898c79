#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace hideaway::cli {

/// The folder inside a backup folder that holds a complete new backup from the moment it is
/// complete until its files are in place; restore takes the backup from there while it exists.
inline const QString kCompleteName = QStringLiteral(".backup-complete");
/// Beside the manifest: the SHA-256 of every file of the backup, as sha256sum -c reads them.
inline const QString kSumsName = QStringLiteral("SHA256SUMS");
/// Staging folders and temporary files of a backup start with this; a killed backup may leave
/// them, and the next one removes them.
inline const QString kStagingPrefix = QStringLiteral(".backup-");

/// Every file a backup may hold in its folder: the slot files, the sums and the manifest, the
/// manifest last.
QStringList backupFileNames();

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
/// every staging folder or temporary file that a killed backup left, telling removing the path of
/// each before it goes. Returns what failed, or nothing.
QString tidyBackupFolder(const QString& folder, BackupSteps& steps,
                         const std::function<void(const QString&)>& removing);

/// A folder or other non-file where a file of the backup goes, which would stop it from being
/// put in place; empty when there is none.
QString inTheWay(const QString& folder);

/// The staging folders and temporary files in folder that a backup left, which the next one
/// removes, and anything but a folder named kCompleteName; their names.
QStringList stagingLeftovers(const QString& folder);

/// Where the last complete backup of folder is, as the folder stands now, for the end of a
/// failed backup's message: the new one in kCompleteName or in folder itself, or the previous one.
/// made is the manifest of the new backup, empty until its slots are saved.
QString lastCompleteBackup(const QString& folder, const QByteArray& made);

/// Makes the complete backup in staging the backup of folder: staging becomes kCompleteName in
/// one step, then its files are copied over those of the previous backup (the manifest last), and
/// it is removed. Returns what failed, or nothing.
QString putInPlace(const QString& folder, const QString& staging, BackupSteps& steps);

}  // namespace hideaway::cli
