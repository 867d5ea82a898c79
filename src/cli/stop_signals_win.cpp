#include "stop_signals.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <mutex>

namespace hideaway::cli {

namespace {

/// The handler of the one StopSignals alive; the system calls the console's control handler on a
/// thread of its own, so the handler runs there, under the mutex, which the end of the watch
/// waits for.
std::mutex g_mutex;
std::function<void(StopSignal)>* g_handler = nullptr;

BOOL WINAPI onConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
        return FALSE;  // a closed console or a logoff ends the program as it always does
    }
    const std::lock_guard lock(g_mutex);
    if (g_handler != nullptr) {
        (*g_handler)(StopSignal::Interrupt);
    }
    return TRUE;
}

}  // namespace

struct StopSignals::Watch {};

StopSignals::StopSignals(std::function<void(StopSignal)> handler)
    : m_handler(std::move(handler)), m_watch(std::make_unique<Watch>()) {
    {
        const std::lock_guard lock(g_mutex);
        g_handler = &m_handler;
    }
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

StopSignals::~StopSignals() {
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    const std::lock_guard lock(g_mutex);
    g_handler = nullptr;
}

}  // namespace hideaway::cli
