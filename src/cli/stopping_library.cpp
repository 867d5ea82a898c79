#include "stopping_library.h"

namespace hideaway::cli {

namespace {

const StoppingLibrary* g_run = nullptr;

}  // namespace

StoppingLibrary::StoppingLibrary(GbpLibrary& library) : ForwardingLibrary(library) {
    g_run = this;
}

StoppingLibrary::~StoppingLibrary() {
    g_run = nullptr;
}

const StoppingLibrary* StoppingLibrary::ofRun() {
    return g_run;
}

QString StoppingLibrary::leftBehind() const {
    const std::lock_guard lock(m_mutex);
    return m_changes.leftBehind();
}

std::int16_t StoppingLibrary::around(const LibraryCall& call,
                                     const std::function<std::int16_t()>& forward) {
    // Ending GBP mode is what every failure path does last; it is never refused.
    if (m_stopRequested && call.operation != LibraryCall::Operation::EndGBPMode) {
        m_refused = true;
        if (call.operation == LibraryCall::Operation::InitGBPMode) {
            // Refused or not, a new link belongs to the next operation: a slot written before
            // was verified over its own link.
            const std::lock_guard lock(m_mutex);
            m_changes.began(call);
        }
        return kRefused;
    }
    {
        const std::lock_guard lock(m_mutex);
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
