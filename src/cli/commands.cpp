#include "commands.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <numeric>

#include "app_error.h"
#include "backup_commands.h"
#include "command_line.h"
#include "failure_reports.h"
#include "slot_operations.h"
#include "slot_table.h"
#include "stopping_library.h"
#include "terminal.h"
#include "terminal_view.h"

namespace hideaway::cli {

namespace {

int check(const Invocation& invocation, GbpLibrary& library, Terminal& terminal,
          const std::function<QString()>& libraryFile) {
    TerminalView view(terminal, invocation.port);
    const SlotOutcome outcome = CheckSlots(view, library);
    if (!outcome) {
        if (outcome.failure == SlotOutcome::Failure::LinkNotOpened) {
            terminal.error(linkFailure(invocation, outcome.libraryResult));
        } else if (runStopped()) {
            terminal.error(
                QStringLiteral("the run was stopped before every slot was measured; "
                               "nothing on the phone was changed"));
        } else {
            QStringList unmeasured;
            for (const SlotRow& slot : kSlotTable) {
                if (outcome.size(slot.number) < 0) {
                    unmeasured << QStringLiteral("slot %1 (library result %2)")
                                      .arg(slot.number)
                                      .arg(outcome.size(slot.number));
                }
            }
            terminal.error(QStringLiteral("check failed: could not measure ") +
                           unmeasured.join(QStringLiteral(", ")));
        }
        return kExitFailed;
    }
    const Sizes sizes = checkedSizes(outcome);
    for (const SlotRow& slot : kSlotTable) {
        const qint64 size = sizes.at(static_cast<std::size_t>(slot.number - 1));
        if (size > SlotCapacity) {
            terminal.error(QStringLiteral("warning: slot %1 reports %2 bytes, more than a slot "
                                          "holds (%3): the phone or its library is not "
                                          "answering as it should")
                               .arg(slot.number)
                               .arg(size)
                               .arg(SlotCapacity));
        }
    }
    const qint64 total = std::accumulate(sizes.begin(), sizes.end(), qint64{0});
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

int upload(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    TerminalView view(terminal, invocation.port);
    const QString path = QDir::toNativeSeparators(QFileInfo(invocation.path).absoluteFilePath());
    PathDialog dialog(path);
    const SlotOutcome outcome = [&] {
        const StoppingLibrary::WholeSlot whole(invocation.slot);
        return UploadSlot(slotRow(invocation.slot), view, library, dialog);
    }();
    if (!outcome) {
        terminal.error(QStringLiteral("upload to slot %1 failed: ").arg(invocation.slot) +
                       uploadFailure(invocation, path, outcome));
        return kExitFailed;
    }
    terminal.result(writtenAndVerified(invocation.slot, outcome.bytes));
    return kExitDone;
}

int download(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    const QFileInfo target(QFileInfo(invocation.path).absoluteFilePath());
    // Refused before the phone is touched; a dangling link counts as a file too.
    if (!invocation.force && (target.exists() || target.isSymLink())) {
        terminal.error(QStringLiteral("%1 exists; add --force to replace it")
                           .arg(QDir::toNativeSeparators(target.filePath())));
        return kExitFailed;
    }
    TerminalView view(terminal, invocation.port);
    PathDialog dialog(target.filePath());
    const SlotOutcome outcome = [&] {
        const StoppingLibrary::WholeSlot whole(invocation.slot);
        return DownloadSlot(slotRow(invocation.slot), view, library, dialog);
    }();
    if (!outcome) {
        terminal.error(downloadFailure(invocation, invocation.slot, outcome));
        return kExitFailed;
    }
    terminal.result(
        savedTo(invocation.slot, outcome.bytes, QDir::toNativeSeparators(target.filePath())));
    return kExitDone;
}

int clear(const Invocation& invocation, GbpLibrary& library, Terminal& terminal) {
    TerminalView view(terminal, invocation.port);
    const SlotRow& slot = slotRow(invocation.slot);
    const SlotOutcome outcome = [&] {
        const StoppingLibrary::WholeSlot whole(slot.number);
        return ClearSlot(slot, view, library);
    }();
    if (!outcome) {
        const std::int16_t size = outcome.size(slot.number);
        if (outcome.failure == SlotOutcome::Failure::LinkNotOpened) {
            terminal.error(linkFailure(invocation, outcome.libraryResult) +
                           QStringLiteral("; slot %1 was not touched").arg(slot.number));
        } else if (runStopped()) {
            terminal.error(
                QStringLiteral("the run was stopped before slot %1 was measured after the clear; ")
                    .arg(slot.number) +
                stoppedSlotState(QStringLiteral("slot %1 was not touched").arg(slot.number)));
        } else if (outcome.failure == SlotOutcome::Failure::NotCleared) {
            terminal.error(QStringLiteral("slot %1 was not cleared: it still holds %2 bytes (the "
                                          "library answered the clear with %3)")
                               .arg(slot.number)
                               .arg(size)
                               .arg(outcome.libraryResult));
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
            case Command::Doctor:
                break;
        }
    } catch (const AppError& error) {
        terminal.error(untrappedFailure(error));
    } catch (const std::exception& error) {
        terminal.error(QString::fromLocal8Bit(error.what()));
    }
    return kExitFailed;
}

}  // namespace hideaway::cli
