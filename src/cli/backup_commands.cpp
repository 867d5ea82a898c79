#include "backup_commands.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

#include "app_error.h"
#include "backup_folder.h"
#include "backup_manifest.h"
#include "backup_privacy.h"
#include "command_line.h"
#include "commands.h"
#include "durable_file.h"
#include "failure_reports.h"
#include "file_transfer.h"
#include "folder_lock.h"
#include "slot_operations.h"
#include "slot_table.h"
#include "stopping_library.h"
#include "terminal.h"
#include "terminal_view.h"

namespace hideaway::cli {

namespace {

/// "1 slot", "2 slots".
QString slotCount(qsizetype count) {
    return QStringLiteral("%1 slot%2").arg(count).arg(count == 1 ? "" : "s");
}

QString slotList(const QList<int>& numbers) {
    if (numbers.isEmpty()) {
        return QStringLiteral("none");
    }
    QStringList texts;
    for (const int number : numbers) {
        texts << QString::number(number);
    }
    return texts.join(QStringLiteral(", "));
}

/// Downloads every slot the check found holding bytes into staging and checks what landed on
/// disk, adding each to entries. Returns what failed, or nothing.
QString stageSlots(const Invocation& invocation, GbpLibrary& library, Terminal& terminal,
                   TerminalView& view, const Sizes& sizes, const QTemporaryDir& staging,
                   BackupSteps& steps, QList<BackupEntry>& entries) {
    for (const SlotRow& slot : kSlotTable) {
        const qint64 size = sizes.at(static_cast<std::size_t>(slot.number - 1));
        if (size == 0) {
            continue;
        }
        const QString path = QDir::toNativeSeparators(staging.filePath(slotFileName(slot.number)));
        PathDialog dialog(path);
        steps.next();
        const SlotOutcome downloaded = [&] {
            const StoppingLibrary::WholeSlot whole(slot.number);
            return DownloadSlot(slot, view, library, dialog);
        }();
        if (!downloaded) {
            return QStringLiteral("slot %1 could not be saved (%2)")
                .arg(QString::number(slot.number),
                     downloadFailure(invocation, slot.number, downloaded));
        }
        // What is on disk now is what the manifest vouches for; a slot larger than one read
        // takes shows here as fewer bytes than the check measured.
        const std::optional<QByteArray> saved = readSmallFile(path, SlotCapacity);
        if (!saved || saved->size() != size) {
            // One arg() call: a '%' in the path must not take a later argument.
            return QStringLiteral("slot %1 measured %2 bytes, but %3 holds %4")
                .arg(QString::number(slot.number), QString::number(size), path,
                     saved ? QString::number(saved->size()) : QStringLiteral("nothing readable"));
        }
        if (size > kUploadLimit) {
            terminal.error(QStringLiteral("warning: ") +
                           overUploadLimit(QStringLiteral("slot %1").arg(slot.number), size) +
                           QStringLiteral(": restore will put back the other slots and keep "
                                          "this one only in the backup"));
        }
        entries.append({slot.number, size, sha256Hex(*saved)});
    }
    return {};
}

/// Saves the manifest and the checksums of the entries into staging. Returns what failed, or
/// nothing.
QString stageManifest(const QByteArray& manifest, const QList<BackupEntry>& entries,
                      const QTemporaryDir& staging, BackupSteps& steps) {
    const QByteArray sums = sumsText(entries, manifest);
    for (const auto& [name, text] : {std::pair{kManifestName, manifest}, {kSumsName, sums}}) {
        steps.next();
        const ByteBuffer buffer(text.begin(), text.end());
        QString why;
        if (!SaveBytesToFile(staging.filePath(name), buffer,
                             static_cast<std::int32_t>(buffer.size()),
                             [&why](const QString& reason) { why = reason; })) {
            return QStringLiteral("%1 could not be saved (%2)").arg(name, why);
        }
    }
    return {};
}

/// Makes the new backup of the slots in folder, which the caller holds, adding each slot saved to
/// entries; made becomes the new manifest once the slots are saved. Returns what failed, or
/// nothing.
QString makeBackup(const Invocation& invocation, GbpLibrary& library, Terminal& terminal,
                   const QString& folder, BackupSteps& steps, QList<BackupEntry>& entries,
                   QByteArray& made) {
    // What a killed backup left: its complete new backup is put in place, its staging removed.
    const auto removing = [&terminal](const QString& path) {
        terminal.step(QStringLiteral("removing %1, left by an earlier backup").arg(path));
    };
    if (const QString failed = tidyBackupFolder(folder, steps, removing); !failed.isEmpty()) {
        return failed;
    }
    if (const QString blocker = inTheWay(folder); !blocker.isEmpty()) {
        return QStringLiteral("%1 is not a file and stands where the backup puts one").arg(blocker);
    }
    if (const QString failed = protectBackup(folder); !failed.isEmpty()) {
        return failed;
    }

    TerminalView view(terminal, invocation.port);
    const SlotOutcome checked = CheckSlots(view, library);
    if (!checked) {
        if (checked.failure == SlotOutcome::Failure::LinkNotOpened) {
            return linkFailure(invocation, checked.libraryResult);
        }
        return runStopped() ? QStringLiteral("the run was stopped before every slot was measured")
                            : QStringLiteral("the check did not measure every slot");
    }

    // The new backup is made in a folder of its own beside the old one and takes its place only
    // once every slot is saved and checked: a backup that fails half-way, after minutes on a slow
    // line, leaves the previous one whole.
    steps.next();
    QTemporaryDir staging(QDir(folder).filePath(kStagingPrefix + QStringLiteral("XXXXXX")));
    if (!staging.isValid()) {
        return QStringLiteral("cannot make a folder in %1: %2").arg(folder, staging.errorString());
    }
    if (const QString failed = stageSlots(invocation, library, terminal, view,
                                          checkedSizes(checked), staging, steps, entries);
        !failed.isEmpty()) {
        return failed;
    }
    made = manifestJson(entries);
    if (const QString failed = stageManifest(made, entries, staging, steps); !failed.isEmpty()) {
        return failed;
    }
    const QString failed = putInPlace(folder, staging.path(), steps);
    if (!QFileInfo::exists(staging.path())) {
        staging.setAutoRemove(false);
    }
    if (!failed.isEmpty()) {
        return failed;
    }
    // Files a previous backup left keep their own access lists: the new ones get the folder's.
    return protectBackup(folder);
}

/// Uploads the slots of entries from source in turn, each verified, adding each slot written to
/// written and the reason for each slot too large for an upload to tooLarge. Returns where and why
/// it stopped, or nothing.
QString putBack(const Invocation& invocation, GbpLibrary& library, Terminal& terminal,
                const QList<BackupEntry>& entries, const QString& source, QList<int>& written,
                QStringList& tooLarge) {
    QList<int> pending;
    for (const BackupEntry& entry : entries) {
        pending << entry.slot;
    }
    for (const BackupEntry& entry : entries) {
        const QString path =
            QDir::toNativeSeparators(QDir(source).filePath(slotFileName(entry.slot)));
        pending.removeOne(entry.slot);
        if (entry.bytes > kUploadLimit) {
            // Its bytes stay safe in the backup; the slots that fit are put back all the same.
            tooLarge << overUploadLimit(QStringLiteral("slot %1").arg(entry.slot), entry.bytes) +
                            QStringLiteral(", and was not restored; its bytes stay in ") + path;
            continue;
        }
        TerminalView view(terminal, invocation.port);
        PathDialog dialog(path);
        SlotOutcome outcome;
        QString reason;
        try {
            const StoppingLibrary::WholeSlot whole(entry.slot);
            UploadSlot(slotRow(entry.slot), view, library, dialog, outcome);
            if (!outcome) {
                reason = uploadFailure(invocation, path, outcome);
            } else {
                // The upload read the file again; it must still be the file that was checked.
                const std::optional<QByteArray> data = readSmallFile(path, kUploadLimit);
                if (!data || sha256Hex(*data) != entry.sha256) {
                    reason = QStringLiteral(
                                 "%1 changed while it was restored; slot %2 holds what "
                                 "the file held then")
                                 .arg(path, QString::number(entry.slot));
                }
            }
        } catch (const AppError& error) {
            reason = untrappedFailure(error) + slotAfterUpload(outcome.slotTouched);
        }
        if (!reason.isEmpty()) {
            if (!outcome.slotTouched) {
                pending.prepend(entry.slot);
            }
            return QStringLiteral(
                       "restore stopped at slot %1: %2. Slots written and verified: %3. Slots "
                       "not written: %4.")
                .arg(QString::number(entry.slot), reason, slotList(written), slotList(pending));
        }
        written << entry.slot;
        terminal.result(writtenAndVerified(entry.slot, entry.bytes));
    }
    return {};
}

}  // namespace

int backup(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    keepNewFilesPrivate();
    const QString folder = QDir::toNativeSeparators(QFileInfo(invocation.path).absoluteFilePath());
    BackupSteps steps;
    if (!QFileInfo(folder).isDir()) {
        steps.next();
        if (!QDir().mkpath(folder)) {
            terminal.error(QStringLiteral("%1 is not a folder and cannot be made one").arg(folder));
            return kExitFailed;
        }
        flushFolder(QFileInfo(folder).path());  // the new folder's own name, against a power cut
    }
    // Held until the backup returns: a second backup or restore of the folder waits, then gives up.
    const FolderLock lock(folder, QStringLiteral("backup"), FolderLock::Need::Required);
    QList<BackupEntry> entries;
    QByteArray made;
    QString failed = lock.refusal();
    if (failed.isEmpty()) {
        try {
            failed = makeBackup(invocation, library, terminal, folder, steps, entries, made);
        } catch (const AppError& error) {
            failed = untrappedFailure(error);
        }
    }
    if (!failed.isEmpty()) {
        // Told as the folder stands now, whichever step failed; not while another run changes it.
        if (!lock.inUse()) {
            if (const QStringList left = stagingLeftovers(folder); !left.isEmpty()) {
                failed += QStringLiteral("; the next backup removes the staging left behind (%1)")
                              .arg(left.join(QStringLiteral(", ")));
            }
            failed += QStringLiteral("; ") + lastCompleteBackup(folder, made);
        }
        terminal.error(failed);
        return kExitFailed;
    }

    const QDir dir(folder);
    qint64 total = 0;
    for (const BackupEntry& entry : entries) {
        total += entry.bytes;
        terminal.result(savedTo(entry.slot, entry.bytes,
                                QDir::toNativeSeparators(dir.filePath(slotFileName(entry.slot)))));
    }
    terminal.result(QStringLiteral("backup of %1 (%2 bytes) in %3")
                        .arg(slotCount(entries.size()))
                        .arg(total)
                        .arg(folder));
    return kExitDone;
}

int restore(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    const QString folder = QDir::toNativeSeparators(QFileInfo(invocation.path).absoluteFilePath());
    // Held until the restore returns, so that no backup rewrites the folder while it is read.
    const FolderLock lock(folder, QStringLiteral("restore"), FolderLock::Need::WhenWritable);
    if (!lock.refusal().isEmpty()) {
        terminal.error(lock.refusal() + QStringLiteral("; nothing was written to the phone"));
        return kExitFailed;
    }
    const QString source = completeBackupIn(folder);
    if (source != folder) {
        terminal.step(QStringLiteral("a backup into %1 was interrupted; restoring the complete "
                                     "new backup from %2")
                          .arg(folder, QDir::toNativeSeparators(source)));
    }
    // Everything is checked before the first library call: a bad backup never reaches the phone.
    const CheckedManifest manifest = readManifest(source);
    if (!manifest.error.isEmpty()) {
        terminal.error(manifest.error + QStringLiteral("; nothing was written to the phone"));
        return kExitFailed;
    }

    QList<int> written;
    QStringList tooLarge;
    const QString stopped =
        putBack(invocation, library, terminal, manifest.entries, source, written, tooLarge);
    if (stopped.isEmpty()) {
        terminal.result(
            QStringLiteral("restore of %1 from %2").arg(slotCount(written.size()), folder));
    } else {
        terminal.error(stopped);
    }
    for (const QString& text : tooLarge) {
        terminal.error(text);
    }
    return stopped.isEmpty() && tooLarge.isEmpty() ? kExitDone : kExitFailed;
}

}  // namespace hideaway::cli
