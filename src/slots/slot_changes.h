#pragma once

#include <QString>

#include "forwarding_library.h"
#include "slot_view.h"

namespace hideaway {

/// What the library calls of a run have done to a slot so far, told call by call and by the facts
/// the operation makes sure of, so that a front end can say what ending the run at once would
/// leave behind. An upload verifies over the link it writes on, so a write is forgotten once a new
/// link opens; a clear is not, since an upload writes over its second link what it cleared over
/// its first.
class SlotChanges {
public:
    /// Told before call reaches the library.
    void began(const LibraryCall& call);
    /// Told once the call begun last has returned, or thrown.
    void returned();
    /// Told once the operation made sure of fact about the slot being changed.
    void noted(SlotFact fact);
    /// Forgets every change: a new operation begins.
    void reset() { *this = SlotChanges(); }

    /// Whether a slot was being changed: cleared or written, or about to be.
    bool changing() const { return m_stage != Stage::None; }
    /// What the slot being changed holds should the run end now, e.g. "slot 2 may hold part of the
    /// file or nothing" or "slot 2 holds the file"; empty when no slot was being changed.
    QString leftBehind() const;

private:
    enum class Stage { None, Clearing, Cleared, Writing, Written, Verified, Emptied, NotEmptied };

    Stage m_stage = Stage::None;
    int m_slot = 0;
};

}  // namespace hideaway
