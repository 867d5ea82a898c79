#pragma once

#include <QTimer>

#include "gbp_library.h"

class QProgressBar;

namespace hideaway {

/// Passes every call on to the window's library. While a slot's transfer runs, a call that lasts
/// longer than a moment shows the slot's bar as a busy indicator, and the call's return puts back
/// the bar the operation had written, so the operations never learn of it. The moment is measured
/// by the window's event loop, which runs only while the wrapped library waits for its worker.
class BusyBarLibrary final : public GbpLibrary {
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

    std::int16_t InitGBPMode(std::uint8_t port) override;
    std::int16_t EndGBPMode() override;
    std::int16_t ClearNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber) override;
    std::int16_t WriteNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber, std::uint8_t* buffer,
                              std::int32_t length) override;
    std::int16_t GetNVMFileSize(std::uint8_t fileGroup, std::uint8_t fileNumber) override;
    std::int16_t ReadNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber, std::uint8_t* buffer,
                             std::int32_t maxLength) override;

private:
    template <typename Call>
    std::int16_t watched(Call&& call);
    void showBusy();
    void callReturned();

    GbpLibrary& m_library;
    QProgressBar* m_bar = nullptr;
    QTimer m_moment;
    bool m_busy = false;
    int m_minimum = 0;
    int m_maximum = 0;
    int m_value = 0;
};

}  // namespace hideaway
