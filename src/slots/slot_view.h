#pragma once

#include <QString>

#include "link_view.h"

namespace hideaway {

/// What a slot operation has made sure of while its link is still open.
enum class SlotFact {
    Emptied,     ///< the clear measured the slot empty
    NotEmptied,  ///< the clear measured bytes left in the slot
    Verified,    ///< the upload read the whole file back from the slot
    FileSaved,   ///< the download wrote the slot's bytes into the local file
};

/// What the slot operations need from the main window beyond the link's fields: each slot row's
/// name box, byte count box and progress bar, and the total. Slots are numbered 1 to 5.
class SlotView : public LinkView {
public:
    virtual void setSlotName(int slot, const QString& text) = 0;
    virtual void setSlotBytes(int slot, const QString& text) = 0;
    /// The byte count box's current text; only the check reads it back.
    virtual QString slotBytes(int slot) const = 0;
    /// The bar's value on the scale 0 to SlotCapacity.
    virtual void setSlotProgress(int slot, float value) = 0;
    virtual void setTotalHidden(const QString& text) = 0;
    /// Told as soon as fact holds, before the operation's last library call, so that a front end
    /// that can end the program in the middle of that call says what it leaves behind.
    virtual void noteFact([[maybe_unused]] int slot, [[maybe_unused]] SlotFact fact) {}
};

}  // namespace hideaway
