#include "stop_signals.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <mutex>

namespace hideaway::cli {

namespace {

/// How long a closing console waits for the run to stop on its own: less than the five seconds
/// the system gives a console program before it ends it.
constexpr DWORD kCloseWait = 4000;

/// The handler of the one StopSignals alive; the system calls the console's control handler on a
/// thread of its own, so the handler runs there, under the mutex, which the end of the watch
/// waits for.
std::mutex g_mutex;
std::function<void(StopSignal)>* g_handler = nullptr;
/// Set once the watch ends: the run is over and its own end follows.
HANDLE g_runOver = nullptr;

/// Tells the handler; false when no run is watched.
bool deliver(StopSignal signal) {
    const std::lock_guard lock(g_mutex);
    if (g_handler == nullptr) {
        return false;
    }
    (*g_handler)(signal);
    return true;
}

BOOL WINAPI onConsoleControl(DWORD type) {
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
        deliver(StopSignal::Interrupt);
        return TRUE;
    }
    // A closed console, a logoff or a shutdown: the system's default would call ExitProcess, whose
    // DLL detach routines may wait on a library call that hangs. The run stops as after a first
    // Ctrl-C, and should it not have ended in time, a second request ends it at once.
    if (!deliver(StopSignal::Close)) {
        return FALSE;
    }
    if (WaitForSingleObject(g_runOver, kCloseWait) != WAIT_OBJECT_0) {
        deliver(StopSignal::Close);
    }
    // The run is over and ends the process itself; the system would end it on this return.
    Sleep(INFINITE);
    return TRUE;
}

}  // namespace

struct StopSignals::Watch {};

StopSignals::StopSignals(std::function<void(StopSignal)> handler)
    : m_handler(std::move(handler)), m_watch(std::make_unique<Watch>()) {
    {
        const std::lock_guard lock(g_mutex);
        g_handler = &m_handler;
        g_runOver = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

StopSignals::~StopSignals() {
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    const std::lock_guard lock(g_mutex);
    g_handler = nullptr;
    // Left open: a handler may still be waiting on it.
    SetEvent(g_runOver);
}

}  // namespace hideaway::cli
