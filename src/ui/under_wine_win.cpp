#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "wine_fonts.h"

namespace hideaway {

bool runningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace hideaway
