#include "commands.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <filesystem>
#include <optional>

#include "app_error.h"
#include "backup_manifest.h"
#include "command_line.h"
#include "file_transfer.h"
#include "slot_operations.h"
#include "slot_table.h"
#include "terminal.h"
#include "terminal_view.h"

namespace hideaway::cli {

namespace {

using Sizes = std::array<qint64, kSlotCount>;

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

int check(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    TerminalView view(terminal, invocation.port);
    if (!CheckSlots(view, library)) {
        terminal.error(
            QStringLiteral("check failed: the link did not open or a slot could not "
                           "be measured"));
        return kExitFailed;
    }
    const Sizes sizes = checkedSizes(view);
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
                               {QStringLiteral("total"), total}};
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

int upload(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    TerminalView view(terminal, invocation.port);
    PathDialog dialog(QFileInfo(invocation.path).absoluteFilePath());
    if (!UploadSlot(slotRow(invocation.slot), view, library, dialog)) {
        terminal.error(QStringLiteral("upload to slot %1 failed").arg(invocation.slot));
        return kExitFailed;
    }
    terminal.result(QStringLiteral("slot %1: %2 bytes written and verified")
                        .arg(invocation.slot)
                        .arg(view.slotBytes(invocation.slot)));
    return kExitDone;
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
    PathDialog dialog(target.filePath());
    if (!DownloadSlot(slotRow(invocation.slot), view, library, dialog)) {
        terminal.error(QStringLiteral("download of slot %1 failed").arg(invocation.slot));
        return kExitFailed;
    }
    terminal.result(QStringLiteral("slot %1: %2 bytes saved to %3")
                        .arg(invocation.slot)
                        .arg(view.slotBytes(invocation.slot), target.filePath()));
    return kExitDone;
}

int clear(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    TerminalView view(terminal, invocation.port);
    if (!ClearSlot(slotRow(invocation.slot), view, library)) {
        terminal.error(QStringLiteral("clear of slot %1 failed").arg(invocation.slot));
        return kExitFailed;
    }
    terminal.result(QStringLiteral("slot %1: cleared").arg(invocation.slot));
    return kExitDone;
}

/// Removes the file at path if there is one; false when it stays.
bool removeIfPresent(const QString& path) {
    const QFileInfo info(path);
    return (!info.exists() && !info.isSymLink()) || QFile::remove(path);
}

/// Puts the file at from in place of the one at to, replacing it in one step.
bool replaceFile(const QString& from, const QString& to) {
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()),
                            std::filesystem::path(to.toStdU16String()), error);
    return !error;
}

int backup(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    const QString folder = QFileInfo(invocation.path).absoluteFilePath();
    const QDir dir(folder);
    if (!QDir().mkpath(folder)) {
        terminal.error(QStringLiteral("%1 is not a folder and cannot be made one").arg(folder));
        return kExitFailed;
    }

    TerminalView view(terminal, invocation.port);
    if (!CheckSlots(view, library)) {
        terminal.error(QStringLiteral("backup failed: the check did not measure every slot; "
                                      "nothing in %1 was changed")
                           .arg(folder));
        return kExitFailed;
    }
    const Sizes sizes = checkedSizes(view);

    // The new backup is made in a folder of its own beside the old one and takes its place only
    // once every slot is saved and checked: a backup that fails half-way, after minutes on a slow
    // line, leaves the previous one whole.
    QTemporaryDir staging(dir.filePath(QStringLiteral(".backup-XXXXXX")));
    if (!staging.isValid()) {
        terminal.error(
            QStringLiteral("cannot make a folder in %1: %2").arg(folder, staging.errorString()));
        return kExitFailed;
    }
    const QString unchanged = QStringLiteral("; the backup in %1 was not changed").arg(folder);

    QList<BackupEntry> entries;
    qint64 total = 0;
    for (const SlotRow& slot : kSlotTable) {
        const qint64 size = sizes.at(static_cast<std::size_t>(slot.number - 1));
        if (size == 0) {
            continue;
        }
        const QString path = staging.filePath(slotFileName(slot.number));
        PathDialog dialog(path);
        if (!DownloadSlot(slot, view, library, dialog)) {
            terminal.error(QStringLiteral("slot %1 could not be saved").arg(slot.number) +
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
            terminal.error(QStringLiteral("slot %1 holds more than an upload takes (20990 bytes); "
                                          "restore will refuse this backup")
                               .arg(slot.number));
        }
        entries.append({slot.number, size, sha256Hex(*saved)});
        total += size;
    }

    const QByteArray manifest = manifestJson(entries);
    const ByteBuffer buffer(manifest.begin(), manifest.end());
    const QString stagedManifest = staging.filePath(kManifestName);
    if (!SaveBytesToFile(stagedManifest, buffer, static_cast<std::int32_t>(buffer.size()),
                         [&terminal](const QString& text) { terminal.error(text); })) {
        terminal.error(QStringLiteral("the manifest could not be saved") + unchanged);
        return kExitFailed;
    }

    // The old manifest goes first and the new one comes last, so no manifest ever vouches for a
    // folder whose files are half old, half new.
    const QString manifestPath = dir.filePath(kManifestName);
    const QString incomplete =
        QStringLiteral("; the backup in %1 is incomplete and has no %2").arg(folder, kManifestName);
    if (!removeIfPresent(manifestPath)) {
        terminal.error(QStringLiteral("cannot replace %1").arg(manifestPath) + unchanged);
        return kExitFailed;
    }
    for (const SlotRow& slot : kSlotTable) {
        const QString path = dir.filePath(slotFileName(slot.number));
        const bool held = sizes.at(static_cast<std::size_t>(slot.number - 1)) != 0;
        // A file left by an earlier backup of a slot that is empty now would only mislead.
        if (held ? !replaceFile(staging.filePath(slotFileName(slot.number)), path)
                 : !removeIfPresent(path)) {
            terminal.error(QStringLiteral("cannot put %1 in place").arg(path) + incomplete);
            return kExitFailed;
        }
    }
    if (!replaceFile(stagedManifest, manifestPath)) {
        terminal.error(QStringLiteral("cannot put %1 in place").arg(manifestPath) + incomplete);
        return kExitFailed;
    }

    for (const BackupEntry& entry : entries) {
        terminal.result(QStringLiteral("slot %1: %2 bytes saved to %3")
                            .arg(entry.slot)
                            .arg(entry.bytes)
                            .arg(dir.filePath(slotFileName(entry.slot))));
    }
    terminal.result(QStringLiteral("backup of %1 slots (%2 bytes) in %3")
                        .arg(entries.size())
                        .arg(total)
                        .arg(folder));
    return kExitDone;
}

int restore(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    const QString folder = QFileInfo(invocation.path).absoluteFilePath();
    // Everything is checked before the first library call: a bad backup never reaches the phone.
    const CheckedManifest manifest = readManifest(folder);
    if (!manifest.error.isEmpty()) {
        terminal.error(manifest.error + QStringLiteral("; nothing was written to the phone"));
        return kExitFailed;
    }

    QList<int> written;
    QList<int> pending;
    for (const BackupEntry& entry : manifest.entries) {
        pending << entry.slot;
    }
    for (const BackupEntry& entry : manifest.entries) {
        const QString path = QDir(folder).filePath(slotFileName(entry.slot));
        pending.removeFirst();
        TerminalView view(terminal, invocation.port);
        PathDialog dialog(path);
        QString reason;
        try {
            if (!UploadSlot(slotRow(entry.slot), view, library, dialog)) {
                reason = QStringLiteral("it was not written and verified");
            } else {
                // The upload read the file again; it must still be the file that was checked.
                const std::optional<QByteArray> data = readSmallFile(path, kUploadLimit);
                if (!data || sha256Hex(*data) != entry.sha256) {
                    reason = QStringLiteral("%1 changed while it was restored").arg(path);
                }
            }
        } catch (const AppError& error) {
            reason = QStringLiteral("error %1: %2").arg(error.number()).arg(error.description());
        }
        if (!reason.isEmpty()) {
            terminal.error(
                QStringLiteral("restore stopped at slot %1 (%2); it may now be empty "
                               "or hold part of its file. Slots written and verified: %3. "
                               "Slots not written: %4.")
                    .arg(QString::number(entry.slot), reason, slotList(written),
                         slotList(pending)));
            return kExitFailed;
        }
        written << entry.slot;
        terminal.result(QStringLiteral("slot %1: %2 bytes written and verified")
                            .arg(entry.slot)
                            .arg(entry.bytes));
    }
    terminal.result(QStringLiteral("restore of %1 slots from %2").arg(written.size()).arg(folder));
    return kExitDone;
}

}  // namespace

int runCommand(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    try {
        switch (invocation.command) {
            case Command::Check:
                return check(invocation, library, terminal);
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
        terminal.error(QStringLiteral("error %1: %2").arg(error.number()).arg(error.description()));
    } catch (const std::exception& error) {
        terminal.error(QString::fromLocal8Bit(error.what()));
    }
    return kExitFailed;
}

}  // namespace hideaway::cli
