// A stand-in for the phone-link library that lacks EndGBPMode, for the missing-operation path.
#include "gbp_abi.h"

extern "C" {

GBP_API int16_t GBP_CALL InitGBPMode(uint8_t) {
    return 0;
}

GBP_API int16_t GBP_CALL ClearNVMFile(uint8_t, uint8_t) {
    return 0;
}
}
