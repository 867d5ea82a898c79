#pragma once

namespace hideaway {

class FileDialog;
class GbpLibrary;
class SlotView;
struct SlotRow;

/// "Check": measures the five slots over one link, then shows each row and the total.
/// Traps no errors. Returns whether every slot was measured: false when the link did not open or
/// the library failed to measure a slot (which the row then shows as empty).
bool CheckSlots(SlotView& view, GbpLibrary& library);

/// "CLEAR": empties the slot's NVM file, measures it on the same link and, when it is empty,
/// marks its row as cleared; a slot that still holds bytes leaves the row as it was and shows
/// "ERROR". Traps no errors. Returns whether the slot was measured empty.
bool ClearSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library);

/// "UPLOAD": stores a local file of at most kUploadLimit bytes in the slot and verifies it by
/// reading it back. Traps every error in its own error path, except one raised there by
/// EndGBPMode. Returns whether the slot was written and verified; false on every other path.
bool UploadSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library, FileDialog& dialog);

/// "DOWNLOAD": saves what the slot holds as a local file. Traps every error in its own error
/// path, except one raised there by EndGBPMode. Returns whether the slot was read and saved;
/// false on every other path.
bool DownloadSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library, FileDialog& dialog);

}  // namespace hideaway
