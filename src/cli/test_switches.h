#pragma once

#include <QString>

namespace hideaway::cli {

// Places where the tests' build of the program (hideaway100k-cli-test) can stop a run, so that a
// test reaches every state of a backup folder without timing. The installed program is built
// with test_switches_off.cpp, where they do nothing and no switch is read.

/// Just before step `step` (counted from 1) of a backup that changes the backup folder. The tests'
/// build ends the process there as a kill would when HIDEAWAY_TEST_BACKUP_KILL_AT is that step.
void beforeBackupStep(int step);

/// Once a run holds the lock on folder. The tests' build, when HIDEAWAY_TEST_HOLD_FOLDER is set,
/// writes "holding FOLDER" on standard error and keeps the lock until its standard input ends.
void folderLocked(const QString& folder);

}  // namespace hideaway::cli
