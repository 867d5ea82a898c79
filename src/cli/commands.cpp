#include "commands.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <array>
#include <filesystem>
#include <optional>

#include "app_error.h"
#include "backup_folder.h"
#include "backup_manifest.h"
#include "command_line.h"
#include "durable_file.h"
#include "file_transfer.h"
#include "folder_lock.h"
#include "link_journal.h"
#include "slot_operations.h"
#include "slot_table.h"
#include "terminal.h"
#include "terminal_view.h"
#include "transfer_steps.h"

namespace hideaway::cli {

namespace {

using Sizes = std::array<qint64, kSlotCount>;

const QString kGuide = QStringLiteral("see \"When something goes wrong\" in the user's guide");

/// "1 slot", "2 slots".
QString slotCount(qsizetype count) {
    return QStringLiteral("%1 slot%2").arg(count).arg(count == 1 ? "" : "s");
}

QString linkFailure(const Invocation& invocation, std::int16_t result) {
    return QStringLiteral("the link to the phone on COM%1 did not open (library result %2); %3")
        .arg(QString::number(invocation.port), QString::number(result), kGuide);
}

/// The reason in the last message an operation showed, without the window's words before it.
QString reasonShown(const TerminalView& view) {
    if (view.messages().isEmpty()) {
        return QStringLiteral("no reason given");
    }
    const QString& message = view.messages().last();
    const qsizetype cut = message.indexOf(QLatin1String("\r\n"));
    return cut < 0 ? message : message.mid(cut + 2);
}

bool showed(const TerminalView& view, const char* message) {
    return view.messages().contains(QLatin1String(message));
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

/// The sizes the check just wrote into the byte count fields.
Sizes checkedSizes(const TerminalView& view) {
    Sizes sizes{};
    for (const SlotRow& slot : kSlotTable) {
        sizes.at(static_cast<std::size_t>(slot.number - 1)) =
            view.slotBytes(slot.number).toLongLong();
    }
    return sizes;
}

int check(const Invocation& invocation, GbpLibrary& library, Terminal& terminal,
          const std::function<QString()>& libraryFile) {
    TerminalView view(terminal, invocation.port);
    LinkJournal journal(library);
    if (!CheckSlots(view, journal)) {
        if (journal.failedLink) {
            terminal.error(linkFailure(invocation, *journal.failedLink));
        } else {
            QStringList unmeasured;
            for (const SlotRow& slot : kSlotTable) {
                if (journal.sizes[slot.fileNumber] < 0) {
                    unmeasured << QStringLiteral("slot %1 (library result %2)")
                                      .arg(slot.number)
                                      .arg(journal.sizes[slot.fileNumber]);
                }
            }
            terminal.error(QStringLiteral("check failed: could not measure ") +
                           unmeasured.join(QStringLiteral(", ")));
        }
        return kExitFailed;
    }
    const Sizes sizes = checkedSizes(view);
    for (const SlotRow& slot : kSlotTable) {
        const qint64 size = sizes.at(static_cast<std::size_t>(slot.number - 1));
        if (size > SlotCapacity) {
            terminal.error(QStringLiteral("warning: slot %1 reports %2 bytes, more than a slot "
                                          "holds (21000): the phone or its library is not "
                                          "answering as it should")
                               .arg(slot.number)
                               .arg(size));
        }
    }
    const qint64 total = view.totalHidden().toLongLong();
    if (invocation.json) {
        QJsonArray slotArray;
        for (const SlotRow& slot : kSlotTable) {
            slotArray.append(QJsonObject{
                {QStringLiteral("slot"), slot.number},
                {QStringLiteral("nvmFile"),
                 QJsonObject{{QStringLiteral("group"), slot.fileGroup},
                             {QStringLiteral("number"), slot.fileNumber}}},
                {QStringLiteral("bytes"), sizes.at(static_cast<std::size_t>(slot.number - 1))}});
        }
        const QJsonObject root{{QStringLiteral("slots"), slotArray},
                               {QStringLiteral("total"), total},
                               {QStringLiteral("library"), libraryFile()}};
        terminal.result(QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact)));
        return kExitDone;
    }
    terminal.result(QStringLiteral("slot  NVM file  bytes"));
    for (const SlotRow& slot : kSlotTable) {
        terminal.result(
            QStringLiteral("%1     %2  %3")
                .arg(slot.number)
                .arg(QStringLiteral("%1/%2").arg(slot.fileGroup).arg(slot.fileNumber), -8)
                .arg(sizes.at(static_cast<std::size_t>(slot.number - 1))));
    }
    terminal.result(QStringLiteral("total           %1").arg(total));
    return kExitDone;
}

/// Why an upload failed, and what it did to the slot, from what the operation showed and did.
QString uploadFailure(const Invocation& invocation, const QString& path, const TerminalView& view,
                      const LinkJournal& journal) {
    if (journal.failedLink && journal.slotTouched) {
        return QStringLiteral(
                   "the slot was emptied over the upload's first link, but the second "
                   "link did not open (library result %1): another program took the "
                   "phone between the two links, or the phone stopped answering. The "
                   "slot may be empty now; upload the file again (%2)")
            .arg(QString::number(*journal.failedLink), kGuide);
    }
    if (journal.failedLink) {
        return linkFailure(invocation, *journal.failedLink) +
               QStringLiteral("; the slot was not touched");
    }
    if (showed(view, "FileSize MUST be under 21000 Bytes!!!")) {
        return QStringLiteral(
                   "%1 holds %2 bytes, more than a slot takes (20990); the slot was "
                   "not touched")
            .arg(path, QString::number(QFileInfo(path).size()));
    }
    const QString reason = showed(view, "ERROR writing SLOT Content! Please Try Again!")
                               ? QStringLiteral("the slot did not read back as written")
                               : reasonShown(view);
    return reason + (journal.slotTouched
                         ? QStringLiteral("; the slot may now be empty or hold part of the file")
                         : QStringLiteral("; the slot was not touched"));
}

int upload(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    TerminalView view(terminal, invocation.port);
    LinkJournal journal(library);
    const QString path = QFileInfo(invocation.path).absoluteFilePath();
    PathDialog dialog(path);
    if (!UploadSlot(slotRow(invocation.slot), view, journal, dialog)) {
        terminal.error(QStringLiteral("upload to slot %1 failed: ").arg(invocation.slot) +
                       uploadFailure(invocation, path, view, journal));
        return kExitFailed;
    }
    terminal.result(QStringLiteral("slot %1: %2 bytes written and verified")
                        .arg(invocation.slot)
                        .arg(view.slotBytes(invocation.slot)));
    return kExitDone;
}

/// Why a download failed; the file named is never left half-written.
QString downloadFailure(const Invocation& invocation, int slot, const TerminalView& view,
                        const LinkJournal& journal) {
    if (journal.failedLink) {
        return linkFailure(invocation, *journal.failedLink) +
               QStringLiteral("; no file was written");
    }
    if (journal.readResult && isFailedRead(*journal.readResult)) {
        return QStringLiteral("slot %1 could not be read (library result %2); no file was written")
            .arg(slot)
            .arg(*journal.readResult);
    }
    return QStringLiteral("download of slot %1 failed: %2")
        .arg(QString::number(slot), reasonShown(view));
}

int download(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    const QFileInfo target(QFileInfo(invocation.path).absoluteFilePath());
    // Refused before the phone is touched; a dangling link counts as a file too.
    if (!invocation.force && (target.exists() || target.isSymLink())) {
        terminal.error(
            QStringLiteral("%1 exists; add --force to replace it").arg(target.filePath()));
        return kExitFailed;
    }
    TerminalView view(terminal, invocation.port);
    LinkJournal journal(library);
    PathDialog dialog(target.filePath());
    if (!DownloadSlot(slotRow(invocation.slot), view, journal, dialog)) {
        terminal.error(downloadFailure(invocation, invocation.slot, view, journal));
        return kExitFailed;
    }
    terminal.result(QStringLiteral("slot %1: %2 bytes saved to %3")
                        .arg(invocation.slot)
                        .arg(view.slotBytes(invocation.slot), target.filePath()));
    return kExitDone;
}

int clear(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    TerminalView view(terminal, invocation.port);
    LinkJournal journal(library);
    const SlotRow& slot = slotRow(invocation.slot);
    if (!ClearSlot(slot, view, journal)) {
        const std::int16_t size = journal.sizes[slot.fileNumber];
        if (journal.failedLink) {
            terminal.error(linkFailure(invocation, *journal.failedLink) +
                           QStringLiteral("; slot %1 was not touched").arg(slot.number));
        } else if (size > 0) {
            terminal.error(QStringLiteral("slot %1 was not cleared: it still holds %2 bytes (the "
                                          "library answered the clear with %3)")
                               .arg(slot.number)
                               .arg(size)
                               .arg(journal.clearResult.value_or(0)));
        } else {
            terminal.error(QStringLiteral("slot %1 could not be measured after the clear (library "
                                          "result %2); it may still hold its file")
                               .arg(slot.number)
                               .arg(size));
        }
        return kExitFailed;
    }
    terminal.result(QStringLiteral("slot %1: cleared").arg(invocation.slot));
    return kExitDone;
}

int backup(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
#if !defined(_WIN32)
    // The backup holds what the user hides: whatever it creates is for its owner alone.
    umask(077);
#endif
    const QString folder = QFileInfo(invocation.path).absoluteFilePath();
    const QDir dir(folder);
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
    if (!lock.refusal().isEmpty()) {
        terminal.error(lock.refusal());
        return kExitFailed;
    }
    // What a killed backup left: its complete new backup is put in place, its staging removed.
    if (const QString failed = tidyBackupFolder(folder, steps); !failed.isEmpty()) {
        terminal.error(failed);
        return kExitFailed;
    }
    if (const QString blocker = inTheWay(folder); !blocker.isEmpty()) {
        terminal.error(QStringLiteral("%1 is not a file and stands where the backup puts one; "
                                      "nothing in %2 was changed")
                           .arg(blocker, folder));
        return kExitFailed;
    }

    TerminalView view(terminal, invocation.port);
    LinkJournal journal(library);
    const QString unchanged = QStringLiteral("; the backup in %1 was not changed").arg(folder);
    if (!CheckSlots(view, journal)) {
        terminal.error((journal.failedLink ? linkFailure(invocation, *journal.failedLink)
                                           : QStringLiteral("the check did not measure every "
                                                            "slot")) +
                       unchanged);
        return kExitFailed;
    }
    const Sizes sizes = checkedSizes(view);

    // The new backup is made in a folder of its own beside the old one and takes its place only
    // once every slot is saved and checked: a backup that fails half-way, after minutes on a slow
    // line, leaves the previous one whole.
    steps.next();
    QTemporaryDir staging(dir.filePath(kStagingPrefix + QStringLiteral("XXXXXX")));
    if (!staging.isValid()) {
        terminal.error(
            QStringLiteral("cannot make a folder in %1: %2").arg(folder, staging.errorString()));
        return kExitFailed;
    }

    QList<BackupEntry> entries;
    qint64 total = 0;
    for (const SlotRow& slot : kSlotTable) {
        const qint64 size = sizes.at(static_cast<std::size_t>(slot.number - 1));
        if (size == 0) {
            continue;
        }
        const QString path = staging.filePath(slotFileName(slot.number));
        PathDialog dialog(path);
        steps.next();
        if (!DownloadSlot(slot, view, journal, dialog)) {
            terminal.error(QStringLiteral("slot %1 could not be saved (%2)")
                               .arg(QString::number(slot.number),
                                    downloadFailure(invocation, slot.number, view, journal)) +
                           unchanged);
            return kExitFailed;
        }
        // What is on disk now is what the manifest vouches for; a slot larger than one read
        // takes shows here as fewer bytes than the check measured.
        const std::optional<QByteArray> saved = readSmallFile(path, SlotCapacity);
        if (!saved || saved->size() != size) {
            // One arg() call: a '%' in the path must not take a later argument.
            terminal.error(QStringLiteral("slot %1 measured %2 bytes, but %3 holds %4")
                               .arg(QString::number(slot.number), QString::number(size), path,
                                    saved ? QString::number(saved->size())
                                          : QStringLiteral("nothing readable")) +
                           unchanged);
            return kExitFailed;
        }
        if (size > kUploadLimit) {
            terminal.error(QStringLiteral("warning: slot %1 holds %2 bytes, more than an upload "
                                          "takes (20990): restore will put back the other slots "
                                          "and keep this one only in the backup")
                               .arg(slot.number)
                               .arg(size));
        }
        entries.append({slot.number, size, sha256Hex(*saved)});
        total += size;
    }

    const QByteArray manifest = manifestJson(entries);
    const QByteArray sums = sumsText(entries, manifest);
    for (const auto& [name, text] : {std::pair{kManifestName, manifest}, {kSumsName, sums}}) {
        steps.next();
        const ByteBuffer buffer(text.begin(), text.end());
        if (!SaveBytesToFile(staging.filePath(name), buffer,
                             static_cast<std::int32_t>(buffer.size()),
                             [&terminal](const QString& why) { terminal.error(why); })) {
            terminal.error(QStringLiteral("%1 could not be saved").arg(name) + unchanged);
            return kExitFailed;
        }
    }

    const QString failed = putInPlace(folder, staging.path(), steps);
    if (!QFileInfo::exists(staging.path())) {
        staging.setAutoRemove(false);
    }
    if (!failed.isEmpty()) {
        terminal.error(failed + QStringLiteral("; the new backup is complete in %1, where restore "
                                               "takes it from")
                                    .arg(dir.filePath(kCompleteName)));
        return kExitFailed;
    }

    for (const BackupEntry& entry : entries) {
        terminal.result(QStringLiteral("slot %1: %2 bytes saved to %3")
                            .arg(entry.slot)
                            .arg(entry.bytes)
                            .arg(dir.filePath(slotFileName(entry.slot))));
    }
    terminal.result(QStringLiteral("backup of %1 (%2 bytes) in %3")
                        .arg(slotCount(entries.size()))
                        .arg(total)
                        .arg(folder));
    return kExitDone;
}

int restore(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    const QString folder = QFileInfo(invocation.path).absoluteFilePath();
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
                          .arg(folder, source));
    }
    // Everything is checked before the first library call: a bad backup never reaches the phone.
    const CheckedManifest manifest = readManifest(source);
    if (!manifest.error.isEmpty()) {
        terminal.error(manifest.error + QStringLiteral("; nothing was written to the phone"));
        return kExitFailed;
    }

    QList<int> written;
    QList<int> pending;
    QStringList tooLarge;
    for (const BackupEntry& entry : manifest.entries) {
        pending << entry.slot;
    }
    for (const BackupEntry& entry : manifest.entries) {
        const QString path = QDir(source).filePath(slotFileName(entry.slot));
        pending.removeOne(entry.slot);
        if (entry.bytes > kUploadLimit) {
            // Its bytes stay safe in the backup; the slots that fit are put back all the same.
            tooLarge << QStringLiteral(
                            "slot %1 holds %2 bytes, more than an upload takes "
                            "(20990), and was not restored; its bytes stay in %3")
                            .arg(QString::number(entry.slot), QString::number(entry.bytes), path);
            continue;
        }
        TerminalView view(terminal, invocation.port);
        LinkJournal journal(library);
        PathDialog dialog(path);
        QString reason;
        try {
            if (!UploadSlot(slotRow(entry.slot), view, journal, dialog)) {
                reason = uploadFailure(invocation, path, view, journal);
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
            reason = QStringLiteral("error %1: %2").arg(error.number()).arg(error.description()) +
                     (journal.slotTouched ? QStringLiteral("; the slot may now be empty or hold "
                                                           "part of the file")
                                          : QStringLiteral("; the slot was not touched"));
        }
        if (!reason.isEmpty()) {
            if (!journal.slotTouched) {
                pending.prepend(entry.slot);
            }
            terminal.error(QStringLiteral("restore stopped at slot %1: %2. Slots written and "
                                          "verified: %3. Slots not written: %4.")
                               .arg(QString::number(entry.slot), reason, slotList(written),
                                    slotList(pending)));
            for (const QString& text : tooLarge) {
                terminal.error(text);
            }
            return kExitFailed;
        }
        written << entry.slot;
        terminal.result(QStringLiteral("slot %1: %2 bytes written and verified")
                            .arg(entry.slot)
                            .arg(entry.bytes));
    }
    terminal.result(QStringLiteral("restore of %1 from %2").arg(slotCount(written.size()), folder));
    for (const QString& text : tooLarge) {
        terminal.error(text);
    }
    return tooLarge.isEmpty() ? kExitDone : kExitFailed;
}

/// An error that escaped an operation, in the command line's words.
QString untrapped(const AppError& error) {
    const QString fixed = errorText(error.code());
    QString detail = error.description();
    if (detail.startsWith(fixed + QStringLiteral(": "))) {
        detail = detail.mid(fixed.size() + 2);
    }
    switch (error.code()) {
        case ErrorCode::LibraryNotLoaded:
            return QStringLiteral("cannot load the phone-link library %1 (error %2); %3")
                .arg(detail, QString::number(error.number()), kGuide);
        case ErrorCode::EntryPointMissing:
            return QStringLiteral("the phone-link library lacks the operation %1 (error %2); %3")
                .arg(detail, QString::number(error.number()), kGuide);
        default:
            return QStringLiteral("%1 (error %2)")
                .arg(error.description(), QString::number(error.number()));
    }
}

}  // namespace

int runCommand(const Invocation& invocation, GbpLibrary& library, Terminal& terminal,
               const std::function<QString()>& libraryFile) {
    try {
        switch (invocation.command) {
            case Command::Check:
                return check(invocation, library, terminal, libraryFile);
            case Command::Upload:
                return upload(invocation, library, terminal);
            case Command::Download:
                return download(invocation, library, terminal);
            case Command::Clear:
                return clear(invocation, library, terminal);
            case Command::Backup:
                return backup(invocation, library, terminal);
            case Command::Restore:
                return restore(invocation, library, terminal);
            case Command::Help:
            case Command::Version:
                break;
        }
    } catch (const AppError& error) {
        terminal.error(untrapped(error));
    } catch (const std::exception& error) {
        terminal.error(QString::fromLocal8Bit(error.what()));
    }
    return kExitFailed;
}

}  // namespace hideaway::cli
