#pragma once

#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>

#include <QByteArray>
#include <QString>

#include "app_error.h"
#include "event_log.h"
#include "gbp_library.h"

namespace hideaway::test {

/// A scripted phone-link library. It keeps a small phone (one byte array per NVM file number),
/// records every call in the log as "InitGBPMode(1)", "ClearNVMFile(18,9)",
/// "WriteNVMFile(18,9,len)", "GetNVMFileSize(18,9)", "ReadNVMFile(18,9,max)", "EndGBPMode()",
/// and answers from the script below, or from the phone where nothing is scripted.
class ScriptedLibrary : public GbpLibrary {
public:
    explicit ScriptedLibrary(EventLog& log) : m_log(log) {}

    /// Results of InitGBPMode, one per call; 0 once the queue is empty.
    std::deque<std::int16_t> initResults;
    /// Forced results of GetNVMFileSize and ReadNVMFile by file number, one per call; the
    /// phone's own answer once the queue is empty.
    std::map<int, std::deque<std::int16_t>> sizeResults;
    std::map<int, std::deque<std::int16_t>> readResults;
    /// Result of ClearNVMFile, WriteNVMFile and EndGBPMode (never looked at by the tool).
    std::int16_t otherResult = 0;
    /// Bytes a write leaves out at its end, and a byte it flips (an index), to play faults.
    int shortWriteBy = 0;
    std::optional<int> corruptByteAt;
    /// Operations that throw instead of answering, by name.
    std::map<QString, AppError> throws;
    /// Called with each operation's name before it answers (after it is logged).
    std::function<void(const QString&)> onCall;
    /// The phone's NVM files of group 18, by file number.
    std::map<int, QByteArray> nvm;
    bool gbpModeOpen = false;

    std::int16_t InitGBPMode(std::uint8_t port) override {
        enter(QStringLiteral("InitGBPMode"), QStringLiteral("InitGBPMode(%1)").arg(port));
        const std::int16_t result = pop(initResults, 0);
        gbpModeOpen = result == 0;
        return result;
    }
    std::int16_t EndGBPMode() override {
        enter(QStringLiteral("EndGBPMode"), QStringLiteral("EndGBPMode()"));
        gbpModeOpen = false;
        return otherResult;
    }
    std::int16_t ClearNVMFile(std::uint8_t g, std::uint8_t n) override {
        enter(QStringLiteral("ClearNVMFile"), QStringLiteral("ClearNVMFile(%1,%2)").arg(g).arg(n));
        nvm[n].clear();
        return otherResult;
    }
    std::int16_t WriteNVMFile(std::uint8_t g, std::uint8_t n, std::uint8_t* buffer,
                              std::int32_t length) override {
        enter(QStringLiteral("WriteNVMFile"),
              QStringLiteral("WriteNVMFile(%1,%2,%3)").arg(g).arg(n).arg(length));
        QByteArray data(reinterpret_cast<const char*>(buffer),
                        std::max<std::int32_t>(0, length - shortWriteBy));
        if (corruptByteAt && *corruptByteAt < data.size()) {
            data[*corruptByteAt] = static_cast<char>(data[*corruptByteAt] ^ 0x5A);
        }
        nvm[n] = data;
        return otherResult;
    }
    std::int16_t GetNVMFileSize(std::uint8_t g, std::uint8_t n) override {
        enter(QStringLiteral("GetNVMFileSize"),
              QStringLiteral("GetNVMFileSize(%1,%2)").arg(g).arg(n));
        return pop(sizeResults[n], static_cast<std::int16_t>(nvm[n].size()));
    }
    std::int16_t ReadNVMFile(std::uint8_t g, std::uint8_t n, std::uint8_t* buffer,
                             std::int32_t maxLength) override {
        enter(QStringLiteral("ReadNVMFile"),
              QStringLiteral("ReadNVMFile(%1,%2,%3)").arg(g).arg(n).arg(maxLength));
        const QByteArray& data = nvm[n];
        const auto count = static_cast<std::int16_t>(std::min<qsizetype>(data.size(), maxLength));
        std::memcpy(buffer, data.constData(), static_cast<std::size_t>(count));
        return pop(readResults[n], count);
    }

    /// The library calls in the log, in order.
    QStringList calls() const {
        QStringList out;
        for (const QString& e : m_log.entries) {
            if (!e.contains(QLatin1Char('=')) && e.contains(QLatin1Char('('))) {
                out << e;
            }
        }
        return out;
    }

private:
    void enter(const QString& name, const QString& entry) {
        m_log.add(entry);
        if (onCall) {
            onCall(name);
        }
        if (auto it = throws.find(name); it != throws.end()) {
            throw it->second;
        }
    }
    static std::int16_t pop(std::deque<std::int16_t>& queue, std::int16_t fallback) {
        if (queue.empty()) {
            return fallback;
        }
        const std::int16_t value = queue.front();
        queue.pop_front();
        return value;
    }

    EventLog& m_log;
};

}  // namespace hideaway::test
