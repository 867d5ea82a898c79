// A complete stand-in for the phone-link library that keeps what each call received, so tests
// can see whether arguments, buffers and results cross the C boundary intact.
#include <algorithm>

#include "gbp_abi.h"
#include "recorder_state.h"

namespace {

RecorderState state;

// The byte ReadNVMFile writes at index i; the tests expect the same pattern.
uint8_t readPattern(int32_t i) {
    return static_cast<uint8_t>((i * 31 + 7) & 0xFF);
}

// Counts a call on an NVM file and keeps which file it named.
int16_t record(RecorderOperation operation, uint8_t fileGroup, uint8_t fileNumber) {
    ++state.calls[operation];
    state.fileGroup = fileGroup;
    state.fileNumber = fileNumber;
    return state.result;
}

}  // namespace

extern "C" {

GBP_API RecorderState* RecorderStateOf(void) {
    return &state;
}

GBP_API int16_t GBP_CALL InitGBPMode(uint8_t port) {
    ++state.calls[kRecorderInit];
    state.port = port;
    return state.result;
}

GBP_API int16_t GBP_CALL EndGBPMode(void) {
    ++state.calls[kRecorderEnd];
    return state.result;
}

GBP_API int16_t GBP_CALL ClearNVMFile(uint8_t fileGroup, uint8_t fileNumber) {
    return record(kRecorderClear, fileGroup, fileNumber);
}

GBP_API int16_t GBP_CALL WriteNVMFile(uint8_t fileGroup, uint8_t fileNumber, uint8_t* buffer,
                                      int32_t length) {
    state.length = length;
    uint32_t hash = 2166136261U;
    for (int32_t i = 0; i < length; ++i) {
        hash = (hash ^ buffer[i]) * 16777619U;
    }
    state.writtenHash = hash;
    return record(kRecorderWrite, fileGroup, fileNumber);
}

GBP_API int16_t GBP_CALL GetNVMFileSize(uint8_t fileGroup, uint8_t fileNumber) {
    return record(kRecorderSize, fileGroup, fileNumber);
}

GBP_API int16_t GBP_CALL ReadNVMFile(uint8_t fileGroup, uint8_t fileNumber, uint8_t* buffer,
                                     int32_t maxLength) {
    state.length = maxLength;
    const int32_t count = std::min(state.readCount, maxLength);
    for (int32_t i = 0; i < count; ++i) {
        buffer[i] = readPattern(i);
    }
    return record(kRecorderRead, fileGroup, fileNumber);
}
}
