#include "stop_signals.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>

namespace hideaway::cli {

namespace {

/// The handler of the one StopSignals alive; the system calls the console's control handler on a
/// thread of its own, so the handler runs there.
std::atomic<std::function<void(StopSignal)>*> g_handler{nullptr};

BOOL WINAPI onConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
        return FALSE;  // a closed console or a logoff ends the program as it always does
    }
    if (auto* handler = g_handler.load()) {
        (*handler)(StopSignal::Interrupt);
    }
    return TRUE;
}

}  // namespace

struct StopSignals::Watch {};

StopSignals::StopSignals(std::function<void(StopSignal)> handler)
    : m_handler(std::move(handler)), m_watch(std::make_unique<Watch>()) {
    g_handler = &m_handler;
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

StopSignals::~StopSignals() {
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    g_handler = nullptr;
}

}  // namespace hideaway::cli
