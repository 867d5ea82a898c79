#include "end_now.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>

namespace hideaway {

void endProcessNow(int status) {
    // ExitProcess would first call every DLL's detach routine, the phone-link library's among
    // them, which may wait on the very call that hangs.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    std::abort();  // not reached: TerminateProcess on the process itself does not return
}

}  // namespace hideaway
