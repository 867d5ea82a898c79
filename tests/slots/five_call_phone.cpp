// The simulated phone behind a library that exports five of the six calls and lacks ReadNVMFile:
// an upload through it would empty and write the slot and then find no call to verify it with.
#include "gbp_abi.h"
#include "phone.h"

namespace {
hideaway::sim::Phone gPhone;
}

extern "C" {

GBP_API int16_t GBP_CALL InitGBPMode(uint8_t port) {
    return gPhone.initGbpMode(port);
}

GBP_API int16_t GBP_CALL EndGBPMode(void) {
    return gPhone.endGbpMode();
}

GBP_API int16_t GBP_CALL ClearNVMFile(uint8_t fileGroup, uint8_t fileNumber) {
    return gPhone.clearNvmFile(fileGroup, fileNumber);
}

GBP_API int16_t GBP_CALL WriteNVMFile(uint8_t fileGroup, uint8_t fileNumber, uint8_t* buffer,
                                      int32_t length) {
    return gPhone.writeNvmFile(fileGroup, fileNumber, buffer, length);
}

GBP_API int16_t GBP_CALL GetNVMFileSize(uint8_t fileGroup, uint8_t fileNumber) {
    return gPhone.getNvmFileSize(fileGroup, fileNumber);
}
}
