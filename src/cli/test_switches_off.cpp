#include "test_switches.h"

namespace hideaway::cli {

void beforeBackupStep(int) {}

void folderLocked(const QString&) {}

}  // namespace hideaway::cli
