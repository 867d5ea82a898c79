#include "slot_changes.h"

#include "slot_table.h"

namespace hideaway {

void SlotChanges::began(const LibraryCall& call) {
    using Operation = LibraryCall::Operation;
    if (call.operation == Operation::InitGBPMode && m_stage == Stage::Written) {
        m_stage = Stage::None;
    }
    const bool clears = call.operation == Operation::ClearNVMFile;
    const SlotRow* slot = slotOfNvmFile(call.fileGroup, call.fileNumber);
    if ((clears || call.operation == Operation::WriteNVMFile) && slot != nullptr) {
        m_slot = slot->number;
        m_stage = clears ? Stage::Clearing : Stage::Writing;
    }
}

void SlotChanges::returned() {
    if (m_stage == Stage::Clearing) {
        m_stage = Stage::Cleared;
    } else if (m_stage == Stage::Writing) {
        m_stage = Stage::Written;
    }
}

QString SlotChanges::leftBehind() const {
    switch (m_stage) {
        case Stage::None:
            break;
        case Stage::Clearing:
        case Stage::Cleared:
            return QStringLiteral("slot %1 may be empty or still hold what it held").arg(m_slot);
        case Stage::Writing:
            return QStringLiteral("slot %1 may hold part of the file or nothing").arg(m_slot);
        case Stage::Written:
            return QStringLiteral("slot %1 may hold the file, part of it or nothing").arg(m_slot);
    }
    return QString();
}

}  // namespace hideaway
