// The four calls that every stand-in DLL of the bridge's tests answers as an empty phone would;
// each stand-in includes this once and adds the calls it is about. Definitions, not declarations:
// include it in one file of a stand-in only.
#pragma once

#include "gbp_abi.h"

extern "C" {

GBP_API int16_t GBP_CALL InitGBPMode(uint8_t) {
    return 0;
}
GBP_API int16_t GBP_CALL EndGBPMode(void) {
    return 0;
}
GBP_API int16_t GBP_CALL ClearNVMFile(uint8_t, uint8_t) {
    return 0;
}
GBP_API int16_t GBP_CALL GetNVMFileSize(uint8_t, uint8_t) {
    return 0;
}

}  // extern "C"
