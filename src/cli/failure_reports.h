#pragma once

#include <QString>

#include <array>
#include <cstdint>

#include "slot_table.h"

namespace hideaway {
class AppError;
struct SlotOutcome;
}  // namespace hideaway

namespace hideaway::cli {

struct Invocation;

/// Where every failure message sends the user for more.
inline const QString kGuide =
    QStringLiteral("see \"When something goes wrong\" in the user's guide");

/// The bytes of each slot, by slot number less one.
using Sizes = std::array<qint64, kSlotCount>;

/// The sizes the check shows: a slot the library failed to measure shows as empty.
Sizes checkedSizes(const SlotOutcome& outcome);

/// Whether the run was asked to stop (Ctrl-C, SIGTERM) and refused a library call since: its
/// failures then come from the stop, not from the phone, and are reported as such.
bool runStopped();

/// What a stopped run left in the slot it was changing, or untouched when it changed none.
QString stoppedSlotState(const QString& untouched);

/// An error that escaped an operation (a library that cannot be loaded, an operation it lacks),
/// in the command line's words.
QString untrappedFailure(const AppError& error);

/// A link that did not open, with the library's result.
QString linkFailure(const Invocation& invocation, std::int16_t result);

/// Why an upload of path failed, and what it did to the slot.
QString uploadFailure(const Invocation& invocation, const QString& path,
                      const SlotOutcome& outcome);

/// Why a download of slot failed; the file named is never left half-written.
QString downloadFailure(const Invocation& invocation, int slot, const SlotOutcome& outcome);

/// What a failed upload did to its slot, as the end of its report.
QString slotAfterUpload(bool touched);

/// "WHAT holds N bytes, more than an upload takes (20990)".
QString overUploadLimit(const QString& what, qint64 bytes);

/// The result of a slot uploaded and read back: "slot 3: 812 bytes written and verified".
QString writtenAndVerified(int slot, qint64 bytes);

/// The result of a slot downloaded: "slot 3: 812 bytes saved to PATH".
QString savedTo(int slot, qint64 bytes, const QString& path);

}  // namespace hideaway::cli
