#include "failure_reports.h"

#include <QFileInfo>

#include <algorithm>

#include "app_error.h"
#include "command_line.h"
#include "slot_outcome.h"
#include "stopping_library.h"

namespace hideaway::cli {

namespace {

/// The reason an operation gave for its failure.
QString reasonGiven(const SlotOutcome& outcome) {
    return outcome.reason.isEmpty() ? QStringLiteral("no reason given") : outcome.reason;
}

}  // namespace

Sizes checkedSizes(const SlotOutcome& outcome) {
    Sizes sizes{};
    for (const SlotRow& slot : kSlotTable) {
        sizes.at(static_cast<std::size_t>(slot.number - 1)) =
            std::max<qint64>(0, outcome.size(slot.number));
    }
    return sizes;
}

bool runStopped() {
    const StoppingLibrary* stopping = StoppingLibrary::ofRun();
    return stopping != nullptr && stopping->refusedAny();
}

QString stoppedSlotState(const QString& untouched) {
    const StoppingLibrary* stopping = StoppingLibrary::ofRun();
    const QString state = stopping != nullptr ? stopping->leftBehind() : QString();
    return state.isEmpty() ? untouched : state;
}

QString untrappedFailure(const AppError& error) {
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

QString linkFailure(const Invocation& invocation, std::int16_t result) {
    if (runStopped()) {
        // Once stopped, every link is refused before it reaches the phone.
        return QStringLiteral("the run was stopped before the link to the phone on COM%1 opened")
            .arg(invocation.port);
    }
    return QStringLiteral("the link to the phone on COM%1 did not open (library result %2); %3")
        .arg(QString::number(invocation.port), QString::number(result), kGuide);
}

QString uploadFailure(const Invocation& invocation, const QString& path,
                      const SlotOutcome& outcome) {
    using Failure = SlotOutcome::Failure;
    // A stopped run fails the upload at its next link or its verification; the slot holds what
    // the calls that did reach the phone left.
    if (runStopped() &&
        (outcome.failure == Failure::LinkNotOpened || outcome.failure == Failure::NotVerified)) {
        return QStringLiteral("the run was stopped before the upload was done; ") +
               stoppedSlotState(QStringLiteral("the slot was not touched"));
    }
    if (outcome.failure == Failure::LinkNotOpened && outcome.slotTouched) {
        return QStringLiteral(
                   "the slot was emptied over the upload's first link, but the second "
                   "link did not open (library result %1): another program took the "
                   "phone between the two links, or the phone stopped answering. The "
                   "slot may be empty now; upload the file again (%2)")
            .arg(QString::number(outcome.libraryResult), kGuide);
    }
    if (outcome.failure == Failure::LinkNotOpened) {
        return linkFailure(invocation, outcome.libraryResult) +
               QStringLiteral("; the slot was not touched");
    }
    if (outcome.failure == Failure::FileTooLarge) {
        return overUploadLimit(path, QFileInfo(path).size()) + slotAfterUpload(false);
    }
    const QString reason = outcome.failure == Failure::NotVerified
                               ? QStringLiteral("the slot did not read back as written")
                               : reasonGiven(outcome);
    return reason + slotAfterUpload(outcome.slotTouched);
}

QString downloadFailure(const Invocation& invocation, int slot, const SlotOutcome& outcome) {
    if (outcome.failure == SlotOutcome::Failure::LinkNotOpened) {
        return linkFailure(invocation, outcome.libraryResult) +
               QStringLiteral("; no file was written");
    }
    if (outcome.failure == SlotOutcome::Failure::ReadFailed && runStopped()) {
        return QStringLiteral("the run was stopped before slot %1 was read; no file was written")
            .arg(slot);
    }
    if (outcome.failure == SlotOutcome::Failure::ReadFailed) {
        return QStringLiteral("slot %1 could not be read (library result %2); no file was written")
            .arg(slot)
            .arg(outcome.libraryResult);
    }
    return QStringLiteral("download of slot %1 failed: %2")
        .arg(QString::number(slot), reasonGiven(outcome));
}

QString slotAfterUpload(bool touched) {
    return touched ? QStringLiteral("; the slot may now be empty or hold part or all of the file")
                   : QStringLiteral("; the slot was not touched");
}

QString overUploadLimit(const QString& what, qint64 bytes) {
    // One arg() call: a '%' in a path must not take a later argument.
    return QStringLiteral("%1 holds %2 bytes, more than an upload takes (%3)")
        .arg(what, QString::number(bytes), QString::number(kUploadLimit));
}

QString writtenAndVerified(int slot, qint64 bytes) {
    return QStringLiteral("slot %1: %2 bytes written and verified").arg(slot).arg(bytes);
}

QString savedTo(int slot, qint64 bytes, const QString& path) {
    return QStringLiteral("slot %1: %2 bytes saved to %3")
        .arg(QString::number(slot), QString::number(bytes), path);
}

}  // namespace hideaway::cli
