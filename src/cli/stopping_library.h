#pragma once

#include <QString>

#include <atomic>
#include <mutex>

#include "forwarding_library.h"
#include "slot_changes.h"

namespace hideaway::cli {

/// The phone-link library as a run that can be asked to stop calls it. Once a stop is requested
/// (Ctrl-C, SIGTERM), the slot in progress (a WholeSlot) goes on to its end, and every later call
/// except EndGBPMode is refused without reaching the library, with a result the operations take as
/// a failure (kRefused: a link that did not open, a slot not measured or not read). Each operation
/// then takes its own failure path, which ends GBP mode, and no write reaches a later slot.
class StoppingLibrary final : public ForwardingLibrary {
public:
    static constexpr std::int16_t kRefused = -1;

    /// library must outlive this object. The run has one, which the failure reports consult.
    explicit StoppingLibrary(GbpLibrary& library);
    ~StoppingLibrary() override;
    StoppingLibrary(const StoppingLibrary&) = delete;
    StoppingLibrary& operator=(const StoppingLibrary&) = delete;

    /// From any thread. Returns the slot that is finished before the run stops, 0 for none.
    int requestStop();
    /// Whether the stop changed the run: a call was refused, or a slot was finished after it.
    bool stopped() const { return m_refused || m_finishedAfterStop != 0; }
    /// Whether a call was refused: the run then did not do all it was asked.
    bool refusedAny() const { return m_refused; }
    /// The slot finished after the stop was requested, 0 for none.
    int finishedAfterStop() const { return m_finishedAfterStop; }
    /// What the slot being changed holds should the run end at once; empty when none was being
    /// changed. From any thread, also while a call is under way.
    QString leftBehind() const;

    /// Told by the run's view what the operation made sure of, so that leftBehind() says it.
    void noted(SlotFact fact);

    /// The run's StoppingLibrary, or nullptr when it has none.
    static StoppingLibrary* ofRun();

    /// Makes one slot operation (an upload's clear, write and read-back; a clear; a download) one
    /// whole for as long as it lives: a stop requested meanwhile takes effect once it is over. A
    /// slot begun after the stop is refused like any call. From the thread that runs the
    /// operations.
    class WholeSlot {
    public:
        explicit WholeSlot(int slot);
        ~WholeSlot();
        WholeSlot(const WholeSlot&) = delete;
        WholeSlot& operator=(const WholeSlot&) = delete;
    };

private:
    std::int16_t around(const LibraryCall& call,
                        const std::function<std::int16_t()>& forward) override;

    std::atomic<bool> m_refused = false;
    std::atomic<int> m_finishedAfterStop = 0;
    mutable std::mutex m_mutex;
    // Under m_mutex:
    bool m_stopRequested = false;
    int m_slotInProgress = 0;
    SlotChanges m_changes;
};

}  // namespace hideaway::cli
