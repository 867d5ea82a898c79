#pragma once

#include <QDir>
#include <QList>
#include <QString>

#include "test_files.h"

namespace hideaway::test {

/// The bridge's hosts that parent started: its children whose command line names gbp-host
/// (gbp-host.exe under Wine, gbp-host-native in place of it).
inline QList<qint64> hostsOf(qint64 parent) {
    QList<qint64> hosts;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number) {
            continue;
        }
        const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
        // The parent is the second field after the name, which ends at the last ')'.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == parent &&
            readFile(QStringLiteral("/proc/%1/cmdline").arg(pid)).contains("gbp-host")) {
            hosts << pid;
        }
    }
    return hosts;
}

/// The processes still running in a process group.
inline QList<qint64> groupMembers(qint64 group) {
    QList<qint64> members;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(entry));
        // After the name: the state, the parent, the group.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields.at(2).toLongLong() == group && fields.at(0) != "Z") {
            members << entry.toLongLong();
        }
    }
    return members;
}

/// Whether a process has ended: it is gone, or only waits to be reaped and holds nothing.
inline bool processEnded(qint64 pid) {
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat.isEmpty() || stat.mid(stat.lastIndexOf(')') + 2).startsWith('Z');
}

}  // namespace hideaway::test
