#include "open_in_place.h"

namespace hideaway {

bool openWithoutWaiting(QFile& file, const QString& path, QString& reason) {
    // Windows never waits in an open: a pipe without a free instance or a busy port fails at once.
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        reason = file.errorString();
        return false;
    }
    return true;
}

}  // namespace hideaway
