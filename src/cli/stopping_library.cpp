#include "stopping_library.h"

namespace hideaway::cli {

namespace {

StoppingLibrary* g_run = nullptr;

}  // namespace

StoppingLibrary::StoppingLibrary(GbpLibrary& library) : ForwardingLibrary(library) {
    g_run = this;
}

StoppingLibrary::~StoppingLibrary() {
    g_run = nullptr;
}

StoppingLibrary* StoppingLibrary::ofRun() {
    return g_run;
}

int StoppingLibrary::requestStop() {
    const std::lock_guard lock(m_mutex);
    m_stopRequested = true;
    return m_slotInProgress;
}

QString StoppingLibrary::leftBehind() const {
    const std::lock_guard lock(m_mutex);
    return m_changes.leftBehind();
}

void StoppingLibrary::noted(SlotFact fact) {
    const std::lock_guard lock(m_mutex);
    m_changes.noted(fact);
}

StoppingLibrary::WholeSlot::WholeSlot(int slot) {
    if (g_run != nullptr) {
        const std::lock_guard lock(g_run->m_mutex);
        g_run->m_slotInProgress = g_run->m_stopRequested ? 0 : slot;
    }
}

StoppingLibrary::WholeSlot::~WholeSlot() {
    if (g_run != nullptr) {
        const std::lock_guard lock(g_run->m_mutex);
        if (g_run->m_stopRequested && g_run->m_slotInProgress != 0) {
            g_run->m_finishedAfterStop = g_run->m_slotInProgress;
        }
        g_run->m_slotInProgress = 0;
    }
}

std::int16_t StoppingLibrary::around(const LibraryCall& call,
                                     const std::function<std::int16_t()>& forward) {
    {
        const std::lock_guard lock(m_mutex);
        // Ending GBP mode is what every failure path does last; it is never refused.
        if (m_stopRequested && m_slotInProgress == 0 &&
            call.operation != LibraryCall::Operation::EndGBPMode) {
            m_refused = true;
            if (call.operation == LibraryCall::Operation::InitGBPMode) {
                // Refused or not, a new link belongs to the next operation: a slot written before
                // was verified over its own link.
                m_changes.began(call);
            }
            return kRefused;
        }
        m_changes.began(call);
    }
    // Also when the call throws: it is over all the same.
    struct Returned {
        StoppingLibrary& owner;
        ~Returned() {
            const std::lock_guard lock(owner.m_mutex);
            owner.m_changes.returned();
        }
    } returned{*this};
    return forward();
}

}  // namespace hideaway::cli
