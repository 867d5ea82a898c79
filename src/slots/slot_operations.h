#pragma once

namespace hideaway {

class FileDialog;
class GbpLibrary;
class SlotView;
struct SlotRow;

/// "Check": measures the five slots over one link, then shows each row and the total.
/// Traps no errors.
void CheckSlots(SlotView& view, GbpLibrary& library);

/// "CLEAR": empties the slot's NVM file and marks its row as cleared. Traps no errors.
void ClearSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library);

/// "UPLOAD": stores a local file of at most kUploadLimit bytes in the slot and verifies it by
/// reading it back. Traps every error in its own error path, except one raised there by
/// EndGBPMode.
void UploadSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library, FileDialog& dialog);

/// "DOWNLOAD": saves what the slot holds as a local file. Traps every error in its own error
/// path, except one raised there by EndGBPMode.
void DownloadSlot(const SlotRow& slot, SlotView& view, GbpLibrary& library, FileDialog& dialog);

}  // namespace hideaway
