#pragma once

// The host's plain C++ core, shared by gbp-host.exe and the native host the tests run: the
// greeting, the request loop and the thread that watches for the library's end. Each platform's
// twin (gbp_host_win.cpp, gbp_host_posix.cpp) supplies the few functions declared last, and its
// own main.
#include <cstddef>
#include <string>

#include "gbp_abi.h"
#include "start_failure.h"

namespace hideaway::bridge::host {

/// Serves the library at the path (as the program was given it) until the library closes the
/// host's input; the process's exit status. A watch thread owns the input from the start: the
/// DLL is loaded only once it runs, so that the end of the library's program ends the host at
/// once even while the DLL is loading or inside a call that never returns.
int runHost(const std::string& library);

// The platform's part.

/// Reads up to size bytes of the host's input; 0 at its end or on an error.
std::size_t readInput(void* data, std::size_t size);
/// Writes all bytes to the library's channel of answers; false when it broke.
bool writeAnswer(const void* data, std::size_t size);
/// Loads the DLL and looks up all six calls (findGbpCalls); None with text its full path, or why
/// not with text in words a user can act on (startFailureText).
StartFailure loadLibrary(const std::string& library, GbpCalls& calls, std::string& text);
/// Ends the process now, whatever its threads are doing.
[[noreturn]] void endAtOnce(int status);

}  // namespace hideaway::bridge::host
