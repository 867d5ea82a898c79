#include <QtGlobal>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "test_switches.h"

namespace hideaway::cli {

void beforeBackupStep(int step) {
    static const int killAt = qEnvironmentVariableIntValue("HIDEAWAY_TEST_BACKUP_KILL_AT");
    if (step != killAt) {
        return;
    }
#if defined(SIGKILL)
    std::raise(SIGKILL);
#endif
    std::_Exit(137);
}

void folderLocked(const QString& folder) {
    if (!qEnvironmentVariableIsSet("HIDEAWAY_TEST_HOLD_FOLDER")) {
        return;
    }
    std::fprintf(stderr, "holding %s\n", qPrintable(folder));
    std::fflush(stderr);
    // The test lets go by closing the pipe; a kill ends the hold as well.
    while (std::fgetc(stdin) != EOF) {
    }
}

}  // namespace hideaway::cli
