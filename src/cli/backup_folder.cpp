#include "backup_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <optional>

#include "backup_manifest.h"
#include "durable_file.h"
#include "slot_table.h"
#include "test_switches.h"

namespace hideaway::cli {

namespace {

/// A complete backup is a folder of its own: a link by that name would have its target's files
/// taken for the backup, and removed with it.
bool isRealFolder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

/// The manifest and the sums are a few hundred bytes; a slot file at most SlotCapacity.
constexpr qint64 kFileLimit = 64 * 1024;

bool removeIfPresent(const QString& path) {
    const QFileInfo info(path);
    return (!info.exists() && !info.isSymLink()) || QFile::remove(path);
}

/// Puts the file at from in place of the one at to, replacing it in one step.
bool replaceFile(const QString& from, const QString& to) {
    return renameDurably(from, to);
}

/// A name in folder for something staged or retired, which the next backup tidies away.
QString stagingName(const QDir& folder) {
    return folder.filePath(kStagingPrefix +
                           QString::number(QRandomGenerator::global()->generate64(), 16));
}

/// Replaces the file at to by a copy of the one at from in one step: the copy is written in full
/// under a staging name first. It is created readable by its owner only.
bool placeCopy(const QString& from, const QString& to) {
    const std::optional<QByteArray> data = readSmallFile(from, kFileLimit);
    if (!data || data->size() > kFileLimit) {
        return false;
    }
    // A plain file, not a QTemporaryFile: on Windows that one keeps its handle after close(), and
    // a file still open cannot be renamed there.
    QFile copy(stagingName(QFileInfo(to).dir()));
    if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFile::ReadOwner | QFile::WriteOwner)) {
        return false;
    }
    const bool written = copy.write(*data) == data->size() && copy.flush();
    copy.close();
    if (!written || !replaceFile(copy.fileName(), to)) {
        copy.remove();
        return false;
    }
    return true;
}

/// Copies the complete backup at kCompleteName over the files of folder, then removes it.
QString placeComplete(const QString& folder, BackupSteps& steps) {
    const QDir dir(folder);
    const QString complete = dir.filePath(kCompleteName);
    const CheckedManifest manifest = readManifest(complete);
    if (!manifest.error.isEmpty()) {
        return QStringLiteral("%1 is not a complete backup (%2); remove it")
            .arg(complete, manifest.error);
    }
    QSet<QString> held{kSumsName, kManifestName};
    for (const BackupEntry& entry : manifest.entries) {
        held.insert(slotFileName(entry.slot));
    }
    // The previous manifest goes first, so the folder's own files never pass for a backup while
    // they are half old, half new; restore takes the complete one meanwhile.
    for (const QString& name : {kManifestName, kSumsName}) {
        steps.next();
        if (!removeIfPresent(dir.filePath(name))) {
            return QStringLiteral("cannot replace %1")
                .arg(QDir::toNativeSeparators(dir.filePath(name)));
        }
    }
    for (const QString& name : backupFileNames()) {
        steps.next();
        const QString target = dir.filePath(name);
        // A file left by an earlier backup of a slot that is empty now would only mislead.
        if (held.contains(name) ? !placeCopy(QDir(complete).filePath(name), target)
                                : !removeIfPresent(target)) {
            return QStringLiteral("cannot put %1 in place").arg(QDir::toNativeSeparators(target));
        }
    }
    // Renamed away first, so that a folder named kCompleteName is always whole.
    steps.next();
    const QString retired = stagingName(dir);
    if (!renameReplacing(complete, retired, true)) {
        return QStringLiteral("cannot remove %1").arg(complete);
    }
    // Its files are on the disk already, as copies in place; the rename must be, before they go.
    if (!flushFolder(folder)) {
        return QStringLiteral("cannot flush %1 after renaming %2 away").arg(folder, kCompleteName);
    }
    steps.next();
    QDir(retired).removeRecursively();
    return {};
}

}  // namespace

QStringList backupFileNames() {
    QStringList names;
    for (const SlotRow& slot : kSlotTable) {
        names << slotFileName(slot.number);
    }
    names << kSumsName << kManifestName;
    return names;
}

QString completeBackupIn(const QString& folder) {
    const QString complete = QDir(folder).filePath(kCompleteName);
    return isRealFolder(complete) ? complete : folder;
}

void BackupSteps::next() {
    beforeBackupStep(++m_count);
}

QString tidyBackupFolder(const QString& folder, BackupSteps& steps,
                         const std::function<void(const QString&)>& removing) {
    const QDir dir(folder);
    if (isRealFolder(dir.filePath(kCompleteName))) {
        const QString failed = placeComplete(folder, steps);
        if (!failed.isEmpty()) {
            return failed;
        }
    }
    for (const QString& name : stagingLeftovers(folder)) {
        steps.next();
        const QString path = dir.filePath(name);
        removing(QDir::toNativeSeparators(path));
        const QFileInfo info(path);
        const bool removed = info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively()
                                                               : QFile::remove(path);
        if (!removed) {
            return QStringLiteral("cannot remove %1, left by an earlier backup")
                .arg(QDir::toNativeSeparators(path));
        }
    }
    return {};
}

QStringList stagingLeftovers(const QString& folder) {
    QStringList names = QDir(folder).entryList(
        {kStagingPrefix + QLatin1Char('*')},
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    // Only a folder of that name is a complete backup; anything else there would stop the next one
    // from being put in place.
    if (isRealFolder(QDir(folder).filePath(kCompleteName))) {
        names.removeAll(kCompleteName);
    }
    return names;
}

QString lastCompleteBackup(const QString& folder, const QByteArray& made) {
    const auto isNew = [&made](const QString& where) {
        return !made.isEmpty() &&
               readSmallFile(QDir(where).filePath(kManifestName), kFileLimit) == made;
    };
    // Restore takes the backup from there while it exists, whatever the folder holds.
    const QString complete = QDir(folder).filePath(kCompleteName);
    if (isRealFolder(complete)) {
        const QString shown = QDir::toNativeSeparators(complete);
        if (!readManifest(complete).error.isEmpty()) {
            return QStringLiteral(
                       "%1 holds no complete backup, yet restore takes the backup from "
                       "there until it is removed")
                .arg(shown);
        }
        return QStringLiteral("the %1 backup is complete in %2, where restore takes it from")
            .arg(isNew(complete) ? QStringLiteral("new") : QStringLiteral("previous"), shown);
    }
    if (!readManifest(folder).error.isEmpty()) {
        return QStringLiteral("no complete backup is in %1").arg(folder);
    }
    return QStringLiteral("the %1 backup is complete in %2")
        .arg(isNew(folder) ? QStringLiteral("new") : QStringLiteral("previous"), folder);
}

QString inTheWay(const QString& folder) {
    for (const QString& name : backupFileNames()) {
        const QFileInfo info(QDir(folder).filePath(name));
        if ((info.exists() || info.isSymLink()) && !info.isFile() && !info.isSymLink()) {
            return info.filePath();
        }
    }
    return {};
}

QString putInPlace(const QString& folder, const QString& staging, BackupSteps& steps) {
    steps.next();
    const QString complete = QDir(folder).filePath(kCompleteName);
    if (!renameDurably(staging, complete)) {
        // The flushes around the rename may fail on either side of it.
        return isRealFolder(complete)
                   ? QStringLiteral("cannot flush %1 after renaming %2 to %3")
                         .arg(folder, staging, kCompleteName)
                   : QStringLiteral("cannot rename %1 to %2").arg(staging, kCompleteName);
    }
    return placeComplete(folder, steps);
}

}  // namespace hideaway::cli
