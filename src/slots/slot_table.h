#pragma once

#include <array>
#include <cstdint>

namespace hideaway {

/// The most that one read of a slot asks for, and the full scale of every progress bar.
inline constexpr std::int32_t SlotCapacity = 21000;
/// The longest local file an upload accepts (10 bytes below SlotCapacity).
inline constexpr std::int32_t kUploadLimit = 20990;
/// Elements in a download buffer: room for a full slot and two spare bytes.
inline constexpr std::int32_t kDownloadBufferSize = 21002;
/// The NVM file group every slot lives in.
inline constexpr std::uint8_t kSlotFileGroup = 18;
inline constexpr int kSlotCount = 5;

/// One slot: its NVM file, the objectNames of its row's controls and its texts. The operations
/// take every slot-specific value from here; the few per-slot differences in behaviour are fields
/// too.
struct SlotRow {
    int number;
    std::uint8_t fileGroup;
    std::uint8_t fileNumber;

    const char* labelName;
    const char* labelCaption;
    const char* nameBox;
    const char* bytesBox;
    const char* progressBar;
    const char* buttonDown;
    const char* buttonUp;
    const char* buttonClear;

    const char* clearStartText;
    const char* clearDoneText;
    const char* clearedText;
    const char* downloadStartText;
    const char* downloadFailedText;
    const char* presentText;

    /// After a failed upload verification, this slot writes "ERROR" into Status and LCDStatus;
    /// the others leave what the second link opening wrote.
    bool reportsFailedVerification;
    /// This slot reads the phone before it asks for the file name to save to.
    bool readsBeforeSaveDialog;
};

inline constexpr std::array<SlotRow, kSlotCount> kSlotTable = {{
    {1, kSlotFileGroup, 9, "Label1", "SLOT #1", "TextSlot1", "Slot1Bytes", "ProgressBar1",
     "ButtonDown1", "ButtonUp1", "ButtonClear1", "CLEARING SLOT1...", "S1 CLEAR", "<SLOT1 CLEAR>",
     "DOWNLOADING SLOT1...", "Cannot Download SLOT1!!! Please retry...", "File PRESENT in Slot1!",
     true, false},
    {2, kSlotFileGroup, 10, "Label2", "SLOT #2", "TextSlot2", "Slot2Bytes", "ProgressBar2",
     "ButtonDown2", "ButtonUp2", "ButtonClear2", "CLEARING SLOT2...", "S2 CLEAR", "<SLOT2 CLEAR>",
     "DOWNLOADING SLOT2...", "Cannot Download SLOT2!!! Please retry...", "File PRESENT in Slot2!",
     false, true},
    {3, kSlotFileGroup, 11, "Label5", "SLOT #3", "TextSlot3", "Slot3Bytes", "ProgressBar3",
     "ButtonDown3", "ButtonUp3", "ButtonClear3", "CLEARING SLOT3...", "S3 CLEAR", "<SLOT3 CLEAR>",
     "DOWNLOADING SLOT3...", "Cannot Download SLOT3!!! Please retry...", "File PRESENT in Slot3!",
     false, false},
    {4, kSlotFileGroup, 12, "Label6", "SLOT #4", "TextSlot4", "Slot4Bytes", "ProgressBar4",
     "ButtonDown4", "ButtonUp4", "ButtonClear4", "CLEARING SLOT4...", "S4 CLEAR", "<SLOT4 CLEAR>",
     "DOWNLOADING SLOT4...", "Cannot Download SLOT4!!! Please retry...", "File PRESENT in Slot4!",
     false, false},
    {5, kSlotFileGroup, 13, "Label7", "SLOT #5", "TextSlot5", "Slot5Bytes", "ProgressBar5",
     "ButtonDown5", "ButtonUp5", "ButtonClear5", "CLEARING SLOT5...", "S5 CLEAR", "<SLOT5 CLEAR>",
     "DOWNLOADING SLOT5...", "Cannot Download SLOT5!!! Please retry...", "File PRESENT in Slot5!",
     false, false},
}};

/// The row of slot number (1 to 5).
constexpr const SlotRow& slotRow(int number) {
    return kSlotTable.at(static_cast<std::size_t>(number - 1));
}

/// The row whose NVM file this is, or nullptr for a file that holds no slot.
constexpr const SlotRow* slotOfNvmFile(std::uint8_t fileGroup, std::uint8_t fileNumber) {
    for (const SlotRow& slot : kSlotTable) {
        if (slot.fileGroup == fileGroup && slot.fileNumber == fileNumber) {
            return &slot;
        }
    }
    return nullptr;
}

}  // namespace hideaway
