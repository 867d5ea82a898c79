#pragma once

#include <QString>

namespace hideaway::cli {

// A rename is atomic against a kill but not against a crash of the whole machine: the system may
// write the rename to the disk before the data of the file it publishes. These make a backup's
// renames durable, as mail servers and databases do theirs.

/// Writes what the system still holds in memory of the file at path to the disk. Returns whether
/// it did; a file system that cannot flush counts as done.
bool flushFile(const QString& path);

/// Writes the folder's entries (the names created, renamed or removed in it) to the disk. Returns
/// whether it did. Nothing to do on Windows, where renames are written through instead.
bool flushFolder(const QString& path);

/// Renames the file or folder at from to to, replacing a file there, so that once it returns true
/// the new name and everything it holds survive a power cut: the file (or every file in the
/// folder, and the folder) is flushed before the rename, and the folders holding both names
/// after it.
bool renameDurably(const QString& from, const QString& to);

/// The rename itself, replacing a file at to, without flushing the folders after it; on Windows
/// written through to the disk before it returns.
bool renameReplacing(const QString& from, const QString& to, bool isFolder);

}  // namespace hideaway::cli
