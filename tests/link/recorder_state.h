/* What the recording stand-in library saw, read by the tests through RecorderStateOf(). */
#ifndef HIDEAWAY_TEST_RECORDER_STATE_H
#define HIDEAWAY_TEST_RECORDER_STATE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum RecorderOperation {
    kRecorderInit,
    kRecorderEnd,
    kRecorderClear,
    kRecorderWrite,
    kRecorderSize,
    kRecorderRead,
    kRecorderOperationCount
};

struct RecorderState {
    /* Calls received, by operation. */
    int32_t calls[kRecorderOperationCount];
    /* Arguments of the latest call that had them. */
    int32_t port;
    int32_t fileGroup;
    int32_t fileNumber;
    int32_t length;
    /* FNV-1a of the bytes the latest WriteNVMFile found in its buffer. */
    uint32_t writtenHash;
    /* How many bytes ReadNVMFile places in the buffer (capped by its maximum). */
    int32_t readCount;
    /* What every operation answers. */
    int16_t result;
};

typedef struct RecorderState* (*RecorderStateFn)(void);

#ifdef __cplusplus
}
#endif

#endif
