#include <sys/stat.h>

#include "backup_privacy.h"

namespace hideaway::cli {

// The backup's umask (077) makes the folder it creates and every file it writes private.
QString protectBackup(const QString& /*folder*/) {
    return {};
}

void keepNewFilesPrivate() {
    // The backup holds what the user hides: whatever it creates is for its owner alone.
    umask(077);
}

}  // namespace hideaway::cli
