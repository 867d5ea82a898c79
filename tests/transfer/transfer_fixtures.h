#pragma once

#include <grp.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

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

/// Descriptors this process holds open, to show that no path leaves a file open.
inline int openDescriptors() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                                .size());
}

/// Root reads and writes anything, so permission cases drop to an unprivileged user and group
/// while the guard lives. The folders such a case uses must be reachable by others.
class Unprivileged {
public:
    Unprivileged() {
        if (geteuid() != 0) {
            return;
        }
        m_groups.resize(static_cast<std::size_t>(std::max(0, getgroups(0, nullptr))));
        m_groupCount = getgroups(static_cast<int>(m_groups.size()), m_groups.data());
        const gid_t nogroup = kNobody;
        // The real ids change too, since access() checks with them; the saved ones stay root so
        // that the guard can come back.
        m_dropped = m_groupCount >= 0 && setgroups(1, &nogroup) == 0 &&
                    setresgid(kNobody, kNobody, 0) == 0 && setresuid(kNobody, kNobody, 0) == 0;
        m_ok = m_dropped;
        if (!m_dropped) {
            restore();
        }
    }
    ~Unprivileged() {
        if (m_dropped) {
            restore();
        }
    }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

    /// False when the user could not be changed; the case cannot show anything then.
    bool ok() const { return m_ok; }

private:
    void restore() {
        [[maybe_unused]] const int user = setresuid(0, 0, 0);
        [[maybe_unused]] const int group = setresgid(0, 0, 0);
        if (m_groupCount >= 0) {
            [[maybe_unused]] const int groups =
                setgroups(static_cast<std::size_t>(m_groupCount), m_groups.data());
        }
    }

    static constexpr uid_t kNobody = 65534;
    std::vector<gid_t> m_groups;
    int m_groupCount = -1;
    bool m_dropped = false;
    bool m_ok = true;
};

}  // namespace hideaway::test
