#pragma once

namespace hideaway {
class GbpLibrary;
}

namespace hideaway::cli {

struct Invocation;
class Terminal;

/// Saves every slot that holds bytes into the folder, with a manifest and their checksums. The
/// new backup takes the place of the previous one only once it is complete. Returns an exit
/// status.
int backup(const Invocation& invocation, GbpLibrary& library, Terminal& terminal);

/// Puts back the slots of the backup in the folder, each checked against the manifest before the
/// first library call. Returns an exit status.
int restore(const Invocation& invocation, GbpLibrary& library, Terminal& terminal);

}  // namespace hideaway::cli
