#pragma once

#include <memory>

namespace hideaway {

/// Keeps Qt's file dialog from recording where the user's files are. Whenever the dialog closes,
/// Qt saves its last folder and its history in the user's "QtProject" settings, which would tell
/// where the hidden files came from. Held for as long as a dialog may exist; within the run Qt
/// keeps those values in memory.
class DialogMemoryGuard {
public:
    DialogMemoryGuard();
    ~DialogMemoryGuard();
    DialogMemoryGuard(const DialogMemoryGuard&) = delete;
    DialogMemoryGuard& operator=(const DialogMemoryGuard&) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> m_saved;
};

}  // namespace hideaway
