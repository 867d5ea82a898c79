#pragma once

#include <QStringList>

namespace hideaway::test {

/// One ordered record of everything the fakes see, so that tests assert the interleaving of
/// status writes, dialogs and library calls.
struct EventLog {
    QStringList entries;

    void add(const QString& entry) { entries << entry; }
    void clear() { entries.clear(); }
    /// The entries that start with prefix, in order.
    QStringList matching(const QString& prefix) const {
        QStringList out;
        for (const QString& e : entries) {
            if (e.startsWith(prefix)) {
                out << e;
            }
        }
        return out;
    }
};

}  // namespace hideaway::test
