#pragma once

#include "slot_outcome.h"

namespace hideaway {

class FileDialog;
class GbpLibrary;
class SlotView;
struct SlotRow;

/// "Check": measures the five slots over one link, then shows each row and the total.
/// Traps no errors. Fails when the link did not open or the library failed to measure a slot
/// (which the row then shows as empty); the outcome's sizes are what the library measured.
SlotOutcome CheckSlots(SlotView& view, GbpLibrary& library);

/// "CLEAR": empties the slot's NVM file, measures it on the same link and, when it is empty,
/// marks its row as cleared; a slot that still holds bytes leaves the row as it was and shows
/// "ERROR". Traps no errors. Succeeds when the slot was measured empty.
SlotOutcome ClearSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library);

/// "UPLOAD": stores a local file of at most kUploadLimit bytes in the slot and verifies it by
/// reading it back. Traps every error in its own error path, except one raised there by
/// EndGBPMode. Succeeds when the slot was written and verified.
SlotOutcome UploadSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library,
                       FileDialog& dialog);
/// The same, writing the outcome as it goes: when an error escapes, outcome still tells whether
/// the slot was touched.
void UploadSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library, FileDialog& dialog,
                SlotOutcome& outcome);

/// "DOWNLOAD": saves what the slot holds as a local file. Traps every error in its own error
/// path, except one raised there by EndGBPMode. Succeeds when the slot was read and saved.
SlotOutcome DownloadSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library,
                         FileDialog& dialog);

}  // namespace hideaway
