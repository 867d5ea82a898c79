#include "worker_library.h"

#include <QEventLoop>
#include <QSemaphore>

#include <exception>
#include <utility>

namespace hideaway {

WorkerLibrary::WorkerLibrary(GbpLibrary& library)
    : ForwardingLibrary(library), m_context(std::make_unique<QObject>()) {
    m_thread.setObjectName(QStringLiteral("GBP link"));
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

WorkerLibrary::~WorkerLibrary() {
    m_thread.quit();
    m_thread.wait();
}

void WorkerLibrary::setLinkObserver(std::function<void(bool open)> observer) {
    m_observer = std::move(observer);
}

void WorkerLibrary::setCallObserver(std::function<void(const LibraryCall* call)> observer) {
    m_callObserver = std::move(observer);
}

void WorkerLibrary::runOnWorker(const std::function<void()>& work) {
    QSemaphore done;
    std::exception_ptr error;
    QEventLoop loop;
    QMetaObject::invokeMethod(
        m_context.get(),
        [&work, &done, &error, &loop] {
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
            // Posted before the release, so the loop cannot be gone yet; a quit still pending
            // when the caller destroys the loop is discarded with it.
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            done.release();
        },
        Qt::QueuedConnection);
    if (!done.tryAcquire()) {
        loop.exec();
        // The loop also ends when the application exits; the call must still finish before its
        // buffers go out of scope.
        done.acquire();
    }
    if (error) {
        std::rethrow_exception(error);
    }
}

void WorkerLibrary::reportLink(bool open) {
    // Told after every call that opens or ends a link, not only on a change: a front end that
    // gave up on a link an error left open learns afresh.
    m_linkOpen = open;
    if (m_observer) {
        m_observer(open);
    }
}

std::int16_t WorkerLibrary::around(const LibraryCall& call,
                                   const std::function<std::int16_t()>& forward) {
    const bool opens = call.operation == LibraryCall::Operation::InitGBPMode;
    const bool ends = call.operation == LibraryCall::Operation::EndGBPMode;
    std::int16_t result = 0;
    const auto tell = [this](const LibraryCall* under) {
        if (m_callObserver) {
            m_callObserver(under);
        }
    };
    tell(&call);
    try {
        runOnWorker([&] { result = forward(); });
    } catch (...) {
        tell(nullptr);
        if (opens || ends) {
            reportLink(false);  // a library that cannot be loaded opens nothing
        }
        throw;
    }
    tell(nullptr);
    if (opens || ends) {
        reportLink(opens && result == 0);
    }
    return result;
}

}  // namespace hideaway
