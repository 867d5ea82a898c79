#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace hideaway::cli {

/// The file in a backup folder through which one run of backup or restore at a time holds the
/// folder. It names the run that holds it; it is no part of a backup, and it goes when the run
/// ends (a killed run may leave it on POSIX systems, where it then blocks nothing).
inline const QString kLockName = QStringLiteral(".hideaway100k.lock");

/// How long a run waits for another run to let go of its folder before it gives up.
inline constexpr int kLockWaitMs = 2000;

/// Holds a backup folder for one run of backup or restore, so that a second run never removes the
/// staging of the first or reads a backup while it is rewritten. The lock belongs to the process
/// (an advisory lock on POSIX, a file open without sharing on Windows): the system lets go of it
/// however the process ends.
class FolderLock {
public:
    enum class Need {
        /// The run changes the folder: no lock, no run.
        Required,
        /// The run only reads the folder: where it cannot hold a lock file (a read-only folder,
        /// where no backup of this user can run either), it goes on without one.
        WhenWritable,
    };

    /// Takes the lock of folder for command ("backup" or "restore"), waiting up to kLockWaitMs
    /// while another run holds it.
    FolderLock(const QString& folder, const QString& command, Need need);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    /// Empty when the run may go on; otherwise why not, naming the program that holds the
    /// folder when it is known.
    const QString& refusal() const { return m_refusal; }
    /// Whether the refusal is that another run holds the folder, which may be changing it now.
    bool inUse() const { return m_inUse; }

private:
    enum class Attempt { Taken, Busy, Failed };

    // In the platform's twin.
    Attempt tryTake(QString& reason);
    void writeHolder(const QByteArray& record);
    void release();
    static QByteArray readHolder(const QString& path);

    QString m_path;
    std::intptr_t m_handle = -1;
    QString m_refusal;
    bool m_inUse = false;
};

}  // namespace hideaway::cli
