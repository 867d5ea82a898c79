#include "folder_lock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

#include <algorithm>

#include "test_switches.h"

namespace hideaway::cli {

namespace {

/// What the lock file holds: the process id, the command and the program, one a line.
QByteArray holderRecord(const QString& command) {
    return QByteArray::number(QCoreApplication::applicationPid()) + '\n' + command.toUtf8() + '\n' +
           QCoreApplication::applicationName().toUtf8() + '\n';
}

QString heldBy(const QString& folder, const QByteArray& record) {
    const QList<QByteArray> lines = record.split('\n');
    bool isNumber = false;
    const qint64 pid = lines.value(0).toLongLong(&isNumber);
    QString holder = QStringLiteral("another run of backup or restore");
    const QString program = QString::fromUtf8(lines.value(2));
    // Whoever can write into the folder can write the file: nothing that would steer a terminal.
    const bool printable =
        !program.isEmpty() && std::all_of(program.begin(), program.end(),
                                          [](QChar character) { return character.isPrint(); });
    if (isNumber && printable) {
        const QByteArray& command = lines.at(1);
        const QString what = command == "backup"    ? QStringLiteral(", a backup into it")
                             : command == "restore" ? QStringLiteral(", a restore from it")
                                                    : QString();
        holder = QStringLiteral("%1 (process %2%3)").arg(program, QString::number(pid), what);
    }
    return QStringLiteral("%1 is in use by %2; try again once that has finished")
        .arg(folder, holder);
}

}  // namespace

FolderLock::FolderLock(const QString& folder, const QString& command, Need need)
    : m_path(QDir(folder).filePath(kLockName)) {
    const QDeadlineTimer deadline(kLockWaitMs);
    for (;;) {
        QString reason;
        switch (tryTake(reason)) {
            case Attempt::Taken:
                writeHolder(holderRecord(command));
                folderLocked(folder);
                return;
            case Attempt::Failed:
                if (need == Need::Required) {
                    m_refusal =
                        QStringLiteral("cannot lock %1 (%2: %3)").arg(folder, m_path, reason);
                }
                return;
            case Attempt::Busy:
                break;
        }
        if (deadline.hasExpired()) {
            m_refusal = heldBy(folder, readHolder(m_path));
            m_inUse = true;
            return;
        }
        QThread::msleep(50);
    }
}

FolderLock::~FolderLock() {
    release();
}

}  // namespace hideaway::cli
