#pragma once

#include <QTimer>

#include "forwarding_library.h"

class QProgressBar;

namespace hideaway {

/// Passes every call on to the window's library. While a slot's transfer runs, a call that lasts
/// longer than a moment shows the slot's bar as a busy indicator, and the call's return puts back
/// the bar the operation had written, so the operations never learn of it. The moment is measured
/// by the window's event loop, which runs only while the wrapped library waits for its worker.
class BusyBarLibrary final : public ForwardingLibrary {
public:
    explicit BusyBarLibrary(GbpLibrary& library);

    /// Lends the bar of the slot whose transfer runs for as long as it lives.
    class Watch {
    public:
        Watch(BusyBarLibrary& library, QProgressBar* bar);
        ~Watch();
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;

    private:
        BusyBarLibrary& m_library;
    };

private:
    std::int16_t around(const LibraryCall& call,
                        const std::function<std::int16_t()>& forward) override;
    void showBusy();
    void callReturned();

    QProgressBar* m_bar = nullptr;
    QTimer m_moment;
    bool m_busy = false;
    int m_minimum = 0;
    int m_maximum = 0;
    int m_value = 0;
};

}  // namespace hideaway
