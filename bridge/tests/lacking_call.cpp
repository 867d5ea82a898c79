// A phone-link DLL that exports five of the six calls: ReadNVMFile is missing.
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
GBP_API int16_t GBP_CALL WriteNVMFile(uint8_t, uint8_t, uint8_t*, int32_t) {
    return 0;
}
GBP_API int16_t GBP_CALL GetNVMFileSize(uint8_t, uint8_t) {
    return 0;
}

}  // extern "C"
