// A phone-link DLL that exports five of the six calls: ReadNVMFile is missing.
#include "empty_phone_calls.h"

extern "C" GBP_API int16_t GBP_CALL WriteNVMFile(uint8_t, uint8_t, uint8_t*, int32_t) {
    return 0;
}
