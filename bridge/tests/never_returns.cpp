// A phone-link library whose ReadNVMFile never returns, as a phone's that stopped answering in
// the middle of a read; the other calls answer as an empty phone.
#include <chrono>
#include <thread>

#include "empty_phone_calls.h"

extern "C" {

GBP_API int16_t GBP_CALL WriteNVMFile(uint8_t, uint8_t, uint8_t*, int32_t) {
    return 0;
}
GBP_API int16_t GBP_CALL ReadNVMFile(uint8_t, uint8_t, uint8_t*, int32_t) {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

}  // extern "C"
