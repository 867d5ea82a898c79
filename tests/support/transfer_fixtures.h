#pragma once

#include <functional>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

#include "file_transfer.h"

namespace hideaway::test {

/// What a link that opens writes and calls, on port 1.
inline QStringList linkOpens() {
    return {QStringLiteral("Caption=Initializing GBP Mode..."),
            QStringLiteral("Status=Open COMPORT..."),
            QStringLiteral("LCD=Connect..."),
            QStringLiteral("InitGBPMode(1)"),
            QStringLiteral("Status=Ready..."),
            QStringLiteral("Caption=Hideaway100K V1.1 for Sony CMD-J7/70 by Corvane")};
}

/// What a link refused with InitGBPMode's result shows.
inline QStringList linkRefused(const QString& statusText) {
    return {QStringLiteral("Caption=Initializing GBP Mode..."),
            QStringLiteral("Status=Open COMPORT..."),
            QStringLiteral("LCD=Connect..."),
            QStringLiteral("InitGBPMode(1)"),
            QStringLiteral("Status=") + statusText,
            QStringLiteral("LCD=Error!"),
            QStringLiteral("Message=Unable to initialize GBP Mode...")};
}

/// Reproducible bytes: the same seed gives the same file in every run.
inline QByteArray randomBytes(qsizetype size, quint32 seed) {
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes) {
        byte = static_cast<char>(generator.bounded(256));
    }
    return bytes;
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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
/// always 0, so the comparison shows nothing there).
inline int openDescriptors() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                                .size());
}

}  // namespace hideaway::test
