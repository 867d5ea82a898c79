// A stand-in for the phone-link library that exports five of the six calls and lacks ReadNVMFile,
// as a vendor's library of another version might; it counts the calls that reach it.
#include "gbp_abi.h"

namespace {
int gCalls = 0;
}

extern "C" {

GBP_API int PartialCalls(void) {
    return gCalls;
}

GBP_API int16_t GBP_CALL InitGBPMode(uint8_t) {
    ++gCalls;
    return 0;
}

GBP_API int16_t GBP_CALL EndGBPMode(void) {
    ++gCalls;
    return 0;
}

GBP_API int16_t GBP_CALL ClearNVMFile(uint8_t, uint8_t) {
    ++gCalls;
    return 0;
}

GBP_API int16_t GBP_CALL WriteNVMFile(uint8_t, uint8_t, uint8_t*, int32_t) {
    ++gCalls;
    return 0;
}

GBP_API int16_t GBP_CALL GetNVMFileSize(uint8_t, uint8_t) {
    ++gCalls;
    return 0;
}
}
