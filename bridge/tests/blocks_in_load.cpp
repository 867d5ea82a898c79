// A phone-link library whose load never finishes: its static initialiser blocks, as a vendor's
// DllMain may (a DLL's initialisers run inside its DllMain, under Windows' loader lock; a native
// library's in its constructor).
#include <chrono>
#include <thread>

#include "empty_phone_calls.h"

namespace {

bool blockForEver() {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

const bool gLoaded = blockForEver();

}  // namespace

extern "C" {

GBP_API int16_t GBP_CALL WriteNVMFile(uint8_t, uint8_t, uint8_t*, int32_t) {
    return gLoaded ? 0 : -1;
}
GBP_API int16_t GBP_CALL ReadNVMFile(uint8_t, uint8_t, uint8_t*, int32_t) {
    return 0;
}

}  // extern "C"
