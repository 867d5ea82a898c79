#include "busy_bar_library.h"

#include <QProgressBar>

namespace hideaway {

namespace {
/// Calls shorter than this leave the bar alone, so quick steps do not make it flicker.
constexpr int kMomentMs = 400;
}  // namespace

BusyBarLibrary::BusyBarLibrary(GbpLibrary& library) : ForwardingLibrary(library) {
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

std::int16_t BusyBarLibrary::around(const LibraryCall& /*call*/,
                                    const std::function<std::int16_t()>& forward) {
    if (m_bar == nullptr) {
        return forward();
    }
    // Put back whether the call returns or throws.
    struct Returned {
        BusyBarLibrary& library;
        ~Returned() { library.callReturned(); }
    } returned{*this};
    m_moment.start();
    return forward();
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

}  // namespace hideaway
