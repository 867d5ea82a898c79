#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QThread>

#include "forwarding_library.h"

namespace hideaway {

/// Runs every call of a phone-link library on one worker thread of its own, the loading of the
/// library included, while the calling thread waits in an event loop that goes on handling its
/// events (paints, timers, accessibility). A vendor's library may keep its port in thread-local
/// state, so its calls never hop between threads. Each call returns only when the library has
/// returned, so buffers passed by pointer stay valid; an exception thrown by the library is
/// rethrown in the caller. Calls come from one thread at a time.
class WorkerLibrary final : public ForwardingLibrary {
public:
    /// library must outlive this object; it is only ever called on the worker thread.
    explicit WorkerLibrary(GbpLibrary& library);
    /// Waits for the worker thread to end.
    ~WorkerLibrary() override;

    WorkerLibrary(const WorkerLibrary&) = delete;
    WorkerLibrary& operator=(const WorkerLibrary&) = delete;

    /// Told on the calling thread after every InitGBPMode and EndGBPMode whether GBP mode is open:
    /// true once InitGBPMode has opened it, false after EndGBPMode or an InitGBPMode that failed.
    void setLinkObserver(std::function<void(bool open)> observer);
    bool isLinkOpen() const { return m_linkOpen; }
    /// Told on the calling thread when a call begins, with the call, and once it has returned or
    /// thrown, with nullptr: while one is under way, the caller's events go on being handled.
    void setCallObserver(std::function<void(const LibraryCall* call)> observer);

    /// Runs work on the worker thread and waits for it as the calls do; work may call the wrapped
    /// library directly.
    void runOnWorker(const std::function<void()>& work);

    /// The worker thread, on which every call of the wrapped library runs.
    const QThread* workerThread() const { return &m_thread; }

private:
    std::int16_t around(const LibraryCall& call,
                        const std::function<std::int16_t()>& forward) override;
    void reportLink(bool open);

    QThread m_thread;
    /// Lives on the worker thread; the calls are queued to it.
    std::unique_ptr<QObject> m_context;
    std::function<void(bool)> m_observer;
    std::function<void(const LibraryCall*)> m_callObserver;
    bool m_linkOpen = false;
};

}  // namespace hideaway
