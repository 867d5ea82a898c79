// The six calls of the library. Each one serialises access to the one phone of this process and
// keeps C++ exceptions from crossing into a C caller.
#include <cstdio>
#include <exception>
#include <mutex>

#include "gbp_abi.h"
#include "phone.h"

namespace {

std::mutex gPhoneMutex;
hideaway::sim::Phone gPhone;

template <typename Call>
int16_t answer(Call call) {
    const std::lock_guard lock(gPhoneMutex);
    try {
        return call();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "GBP: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "GBP: unexpected failure\n");
    }
    return hideaway::sim::result::kIoError;
}

}  // namespace

extern "C" {

GBP_API int16_t GBP_CALL InitGBPMode(uint8_t port) {
    return answer([&] { return gPhone.initGbpMode(port); });
}

GBP_API int16_t GBP_CALL EndGBPMode(void) {
    return answer([&] { return gPhone.endGbpMode(); });
}

GBP_API int16_t GBP_CALL ClearNVMFile(uint8_t fileGroup, uint8_t fileNumber) {
    return answer([&] { return gPhone.clearNvmFile(fileGroup, fileNumber); });
}

GBP_API int16_t GBP_CALL WriteNVMFile(uint8_t fileGroup, uint8_t fileNumber, uint8_t* buffer,
                                      int32_t length) {
    return answer([&] { return gPhone.writeNvmFile(fileGroup, fileNumber, buffer, length); });
}

GBP_API int16_t GBP_CALL GetNVMFileSize(uint8_t fileGroup, uint8_t fileNumber) {
    return answer([&] { return gPhone.getNvmFileSize(fileGroup, fileNumber); });
}

GBP_API int16_t GBP_CALL ReadNVMFile(uint8_t fileGroup, uint8_t fileNumber, uint8_t* buffer,
                                     int32_t maxLength) {
    return answer([&] { return gPhone.readNvmFile(fileGroup, fileNumber, buffer, maxLength); });
}

}  // extern "C"
