#include "busy_bar_library.h"

#include <QProgressBar>

namespace hideaway {

namespace {
/// Calls shorter than this leave the bar alone, so quick steps do not make it flicker.
constexpr int kMomentMs = 400;
}  // namespace

BusyBarLibrary::BusyBarLibrary(GbpLibrary& library) : m_library(library) {
    m_moment.setSingleShot(true);
    m_moment.setInterval(kMomentMs);
    QObject::connect(&m_moment, &QTimer::timeout, &m_moment, [this] { showBusy(); });
}

BusyBarLibrary::Watch::Watch(BusyBarLibrary& library, QProgressBar* bar) : m_library(library) {
    m_library.m_bar = bar;
}

BusyBarLibrary::Watch::~Watch() {
    m_library.m_bar = nullptr;
}

template <typename Call>
std::int16_t BusyBarLibrary::watched(Call&& call) {
    if (m_bar == nullptr) {
        return call();
    }
    // Put back whether the call returns or throws.
    struct Returned {
        BusyBarLibrary& library;
        ~Returned() { library.callReturned(); }
    } returned{*this};
    m_moment.start();
    return call();
}

void BusyBarLibrary::showBusy() {
    m_minimum = m_bar->minimum();
    m_maximum = m_bar->maximum();
    m_value = m_bar->value();
    m_bar->setRange(0, 0);  // Qt draws an empty range as a busy indicator
    m_busy = true;
}

void BusyBarLibrary::callReturned() {
    m_moment.stop();
    if (m_busy) {
        m_busy = false;
        m_bar->setRange(m_minimum, m_maximum);
        m_bar->setValue(m_value);
        // Seen at once, like every write of the operation that follows.
        m_bar->repaint();
    }
}

std::int16_t BusyBarLibrary::InitGBPMode(std::uint8_t port) {
    return watched([&] { return m_library.InitGBPMode(port); });
}

std::int16_t BusyBarLibrary::EndGBPMode() {
    return watched([&] { return m_library.EndGBPMode(); });
}

std::int16_t BusyBarLibrary::ClearNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber) {
    return watched([&] { return m_library.ClearNVMFile(fileGroup, fileNumber); });
}

std::int16_t BusyBarLibrary::WriteNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber,
                                          std::uint8_t* buffer, std::int32_t length) {
    return watched([&] { return m_library.WriteNVMFile(fileGroup, fileNumber, buffer, length); });
}

std::int16_t BusyBarLibrary::GetNVMFileSize(std::uint8_t fileGroup, std::uint8_t fileNumber) {
    return watched([&] { return m_library.GetNVMFileSize(fileGroup, fileNumber); });
}

std::int16_t BusyBarLibrary::ReadNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber,
                                         std::uint8_t* buffer, std::int32_t maxLength) {
    return watched([&] { return m_library.ReadNVMFile(fileGroup, fileNumber, buffer, maxLength); });
}

}  // namespace hideaway
