#pragma once

#include <QString>

#include <atomic>
#include <mutex>

#include "forwarding_library.h"
#include "slot_changes.h"

namespace hideaway::cli {

/// The phone-link library as a run that can be asked to stop calls it. Once a stop is requested
/// (Ctrl-C, SIGTERM), the call under way goes on to its end, and every later call except
/// EndGBPMode is refused without reaching the library, with a result the operations take as a
/// failure (kRefused: a link that did not open, a slot not measured or not read). Each operation
/// then takes its own failure path, which ends GBP mode, and no write reaches a slot.
class StoppingLibrary final : public ForwardingLibrary {
public:
    static constexpr std::int16_t kRefused = -1;

    /// library must outlive this object. The run has one, which the failure reports consult.
    explicit StoppingLibrary(GbpLibrary& library);
    ~StoppingLibrary() override;
    StoppingLibrary(const StoppingLibrary&) = delete;
    StoppingLibrary& operator=(const StoppingLibrary&) = delete;

    /// From any thread.
    void requestStop() { m_stopRequested = true; }
    /// Whether a call was refused: the run then did not do all it was asked.
    bool refusedAny() const { return m_refused; }
    /// What the slot being changed holds should the run end at once; empty when none was being
    /// changed. From any thread, also while a call is under way.
    QString leftBehind() const;

    /// The run's StoppingLibrary, or nullptr when it has none.
    static const StoppingLibrary* ofRun();

private:
    std::int16_t around(const LibraryCall& call,
                        const std::function<std::int16_t()>& forward) override;

    std::atomic<bool> m_stopRequested = false;
    std::atomic<bool> m_refused = false;
    mutable std::mutex m_mutex;
    SlotChanges m_changes;
};

}  // namespace hideaway::cli
