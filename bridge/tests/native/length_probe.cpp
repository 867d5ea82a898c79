// A phone-link library that tells whether a write or a read was given more room than the bridge
// ever carries in one call: -7 if so, else 0. The other calls answer as an empty phone.
#include "../empty_phone_calls.h"

namespace {

constexpr int32_t kMostBytes = 16 * 1024 * 1024;

}  // namespace

extern "C" {

GBP_API int16_t GBP_CALL WriteNVMFile(uint8_t, uint8_t, uint8_t*, int32_t length) {
    return length > kMostBytes ? -7 : 0;
}
GBP_API int16_t GBP_CALL ReadNVMFile(uint8_t, uint8_t, uint8_t*, int32_t maxLength) {
    return maxLength > kMostBytes ? -7 : 0;
}

}  // extern "C"
