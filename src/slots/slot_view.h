#pragma once

#include <QString>

#include "link_view.h"

namespace hideaway {

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
};

}  // namespace hideaway
