#include "slot_changes.h"

#include "slot_table.h"

namespace hideaway {

void SlotChanges::began(const LibraryCall& call) {
    using Operation = LibraryCall::Operation;
    const bool settled = m_stage == Stage::Written || m_stage == Stage::Verified ||
                         m_stage == Stage::Emptied || m_stage == Stage::NotEmptied;
    if (call.operation == Operation::InitGBPMode && settled) {
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

void SlotChanges::noted(SlotFact fact) {
    if (m_stage == Stage::None) {
        return;  // a fact about a slot that was not being changed, such as a saved download
    }
    switch (fact) {
        case SlotFact::Emptied:
            m_stage = Stage::Emptied;
            break;
        case SlotFact::NotEmptied:
            m_stage = Stage::NotEmptied;
            break;
        case SlotFact::Verified:
            m_stage = Stage::Verified;
            break;
        case SlotFact::FileSaved:
            break;
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
        case Stage::Verified:
            return QStringLiteral("slot %1 holds the file").arg(m_slot);
        case Stage::Emptied:
            return QStringLiteral("slot %1 is empty").arg(m_slot);
        case Stage::NotEmptied:
            return QStringLiteral("slot %1 is not empty").arg(m_slot);
    }
    return QString();
}

}  // namespace hideaway
