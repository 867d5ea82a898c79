#pragma once

namespace hideaway {

/// Ends the process at once with status: no destructor runs and no thread is waited for, so a
/// thread stuck in a library call that never returns cannot hold the process. Output still
/// buffered is lost; flush it first.
[[noreturn]] void endProcessNow(int status);

}  // namespace hideaway
