#include "durable_file.h"

#include <QDir>
#include <QFileInfo>

namespace hideaway::cli {

bool renameDurably(const QString& from, const QString& to) {
    const QFileInfo source(from);
    const bool isFolder = source.isDir() && !source.isSymLink();
    if (isFolder) {
        const QDir folder(from);
        for (const QString& name :
             folder.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks)) {
            if (!flushFile(folder.filePath(name))) {
                return false;
            }
        }
        if (!flushFolder(from)) {
            return false;
        }
    } else if (!flushFile(from)) {
        return false;
    }
    if (!renameReplacing(from, to, isFolder)) {
        return false;
    }
    const QString fromFolder = source.absolutePath();
    const QString toFolder = QFileInfo(to).absolutePath();
    return flushFolder(toFolder) && (fromFolder == toFolder || flushFolder(fromFolder));
}

}  // namespace hideaway::cli
