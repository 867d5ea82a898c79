#include "progress_library.h"

#include <utility>

#include "slot_table.h"
#include "terminal.h"

namespace hideaway::cli {

namespace {

using namespace std::chrono_literals;

constexpr auto kQuietTime = 1s;

QString nvmName(std::uint8_t fileGroup, std::uint8_t fileNumber) {
    if (const SlotRow* slot = slotOfNvmFile(fileGroup, fileNumber)) {
        return QStringLiteral("slot %1").arg(slot->number);
    }
    return QStringLiteral("NVM file %1/%2").arg(fileGroup).arg(fileNumber);
}

}  // namespace

/// Marks one library call as under way for as long as it lasts, also when it throws.
class ProgressLibrary::Step {
public:
    Step(ProgressLibrary& owner, const QString& text, bool shown = true) : m_owner(owner) {
        m_owner.begin(text, shown);
    }
    ~Step() { m_owner.end(); }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

private:
    ProgressLibrary& m_owner;
};

ProgressLibrary::ProgressLibrary(GbpLibrary& library, Terminal& terminal, bool showProgress,
                                 std::function<QString()> loadedFrom)
    : ForwardingLibrary(library), m_terminal(terminal), m_loadedFrom(std::move(loadedFrom)) {
    if (showProgress) {
        m_ticker = std::thread([this] { tick(); });
    }
}

ProgressLibrary::~ProgressLibrary() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_ticker.joinable()) {
        m_ticker.join();
    }
}

void ProgressLibrary::begin(const QString& step, bool shown) {
    if (shown) {
        m_terminal.step(step);
    } else {
        m_terminal.trace(step);
    }
    if (!m_ticker.joinable()) {
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_step = step;
        m_started = std::chrono::steady_clock::now();
        m_inCall = true;
        ++m_generation;
    }
    m_changed.notify_all();
}

void ProgressLibrary::end() {
    if (m_ticker.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_inCall = false;
            ++m_generation;
        }
        m_changed.notify_all();
        // The ticker draws only while holding m_mutex and for the step under way, so nothing is
        // drawn for this step after this.
        m_terminal.clearProgress();
    }
    // The library is loaded by the first call that finds it; which file that was matters when
    // several are installed.
    if (!m_libraryShown && m_loadedFrom) {
        const QString file = m_loadedFrom();
        if (!file.isEmpty()) {
            m_libraryShown = true;
            m_terminal.step(QStringLiteral("library: ") + file);
        }
    }
}

void ProgressLibrary::tick() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (!m_inCall) {
            m_changed.wait(lock);
            continue;
        }
        const std::uint64_t generation = m_generation;
        auto next = m_started + kQuietTime;
        while (!m_stopping && m_generation == generation) {
            if (m_changed.wait_until(lock, next) == std::cv_status::timeout && !m_stopping &&
                m_generation == generation) {
                const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                    std::chrono::steady_clock::now() - m_started);
                m_terminal.progress(
                    QStringLiteral("%1... %2 s").arg(m_step, QString::number(seconds.count())));
                next += 1s;
            }
        }
    }
}

std::int16_t ProgressLibrary::around(const LibraryCall& call,
                                     const std::function<std::int16_t()>& forward) {
    using Operation = LibraryCall::Operation;
    const QString nvm = nvmName(call.fileGroup, call.fileNumber);
    QString text;
    // Measuring and ending the link are shown in the full trace only.
    bool shown = true;
    switch (call.operation) {
        case Operation::InitGBPMode:
            text = QStringLiteral("opening the link on COM%1").arg(call.port);
            break;
        case Operation::EndGBPMode:
            text = QStringLiteral("ending the link");
            shown = false;
            break;
        case Operation::ClearNVMFile:
            text = QStringLiteral("emptying ") + nvm;
            break;
        case Operation::WriteNVMFile:
            text = QStringLiteral("writing %1 bytes to %2").arg(QString::number(call.length), nvm);
            break;
        case Operation::GetNVMFileSize:
            text = QStringLiteral("measuring ") + nvm;
            shown = false;
            break;
        case Operation::ReadNVMFile:
            text = QStringLiteral("reading ") + nvm;
            break;
    }
    const Step step(*this, text, shown);
    return forward();
}

}  // namespace hideaway::cli
