#pragma once

#include <QFile>
#include <QTemporaryDir>

#include "link_steps.h"
#include "recording_view.h"
#include "scripted_dialog.h"
#include "scripted_library.h"
#include "slot_table.h"

namespace hideaway::test {

/// The fakes of one operation: a window, a phone and a dialog sharing one log. Every slot starts
/// with a former file on the phone and that file's name and size in its row, so a test can tell
/// whether an operation touched them.
struct SlotBench {
    EventLog log;
    RecordingView view{log};
    ScriptedLibrary library{log};
    ScriptedFileDialog dialog{log};
    QTemporaryDir dir;

    SlotBench() {
        // Reachable by the unprivileged user of the permission cases.
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadGroup | QFile::ExeGroup |
                                              QFile::ReadOther | QFile::ExeOther);
        for (const SlotRow& slot : kSlotTable) {
            const auto n = static_cast<std::size_t>(slot.number);
            library.nvm[slot.fileNumber] = formerContent(slot.number);
            view.names[n] = formerName(slot.number);
            view.bytes[n] = QString::number(formerContent(slot.number).size());
            view.bars[n] = static_cast<float>(formerContent(slot.number).size());
        }
    }

    static QByteArray formerContent(int slot) {
        return QByteArrayLiteral("former content of slot ") + QByteArray::number(slot);
    }
    static QString formerName(int slot) {
        return QStringLiteral("C:\\former\\slot%1.bin").arg(slot);
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    /// Whether the slot's row still shows the former file.
    bool rowKept(int slot) const {
        const auto n = static_cast<std::size_t>(slot);
        const QByteArray former = formerContent(slot);
        return view.names[n] == formerName(slot) &&
               view.bytes[n] == QString::number(former.size()) &&
               view.bars[n] == static_cast<float>(former.size());
    }
    /// Whether every slot but the given one still holds its former file, on the phone and in
    /// its row.
    bool othersKept(int slot) const {
        for (const SlotRow& other : kSlotTable) {
            if (other.number == slot) {
                continue;
            }
            const auto it = library.nvm.find(other.fileNumber);
            if (it == library.nvm.end() || it->second != formerContent(other.number) ||
                !rowKept(other.number)) {
                return false;
            }
        }
        return view.total == QStringLiteral("0");
    }
    QByteArray phone(const SlotRow& slot) const {
        const auto it = library.nvm.find(slot.fileNumber);
        return it == library.nvm.end() ? QByteArray() : it->second;
    }
};

/// What every upload does before it looks at the file.
inline QStringList uploadStarted() {
    return {QStringLiteral("Status=UPLOAD"), QStringLiteral("LCD=Uploading..."),
            QStringLiteral("ShowOpen[Any Files *.*|*.*]")};
}

inline const QString kSave = QStringLiteral("ShowSave[Bin Files *.bin|*.bin]");

/// Slot 2 alone asks where to save after it has read the phone.
inline bool readsFirst(int slot) {
    return slot == 2;
}

/// The link, the reading texts and the read, as every download that reaches the phone does.
inline QStringList linkAndRead(const SlotRow& slot) {
    return openedLinkSteps() +
           QStringList{QStringLiteral("Status=DOWNLOADING SLOT%1...").arg(slot.number),
                       QStringLiteral("LCD=DOWNLOAD"),
                       QStringLiteral("ReadNVMFile(18,%1,21000)").arg(slot.fileNumber)};
}

/// What CLEAR writes into the row: the row no longer names the file the slot lost.
inline QStringList rowCleared(int slot) {
    return {QStringLiteral("Bar%1=0").arg(slot), QStringLiteral("Name%1=<SLOT%1 CLEAR>").arg(slot),
            QStringLiteral("Bytes%1=0").arg(slot)};
}

}  // namespace hideaway::test
