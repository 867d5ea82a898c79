#pragma once

#include <functional>

#include <QByteArray>
#include <QDir>
#include <QStringList>

#include "file_transfer.h"
#include "test_files.h"

namespace hideaway::test {

/// Records what SaveBytesToFile reports.
struct Reports {
    QStringList texts;
    std::function<void(const QString&)> sink() {
        return [this](const QString& text) { texts << text; };
    }
};

inline ByteBuffer toBuffer(const QByteArray& bytes) {
    return ByteBuffer(bytes.begin(), bytes.end());
}

inline QStringList folderEntries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

/// Descriptors this process holds open, to show that no path leaves a file open (Linux; elsewhere
/// always 0, so the comparison shows nothing there). Under Wine the path would reach Wine's own
/// descriptors, which its threads open and close at any time.
inline int openDescriptors() {
#if defined(Q_OS_LINUX)
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                                .size());
#else
    return 0;
#endif
}

}  // namespace hideaway::test
