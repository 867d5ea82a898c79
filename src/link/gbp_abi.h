/* The C interface of the phone-link library GBP (libGBP.so, GBP.dll), shared by the loader and
 * the simulated phone so that both sides agree on every signature. Plain C, no Qt. */
#ifndef HIDEAWAY_GBP_ABI_H
#define HIDEAWAY_GBP_ABI_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define GBP_CALL __stdcall
#else
#define GBP_CALL
#endif

#if defined(GBP_BUILDING_LIBRARY)
#if defined(_WIN32)
#define GBP_API __declspec(dllexport)
#else
#define GBP_API __attribute__((visibility("default")))
#endif
#else
#define GBP_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Every result is a signed 16-bit value. InitGBPMode succeeds only with 0; ReadNVMFile is negative
 * on failure and otherwise the number of bytes placed in the buffer; GetNVMFileSize is the NVM
 * file's size in bytes. */
GBP_API int16_t GBP_CALL InitGBPMode(uint8_t port);
GBP_API int16_t GBP_CALL EndGBPMode(void);
GBP_API int16_t GBP_CALL ClearNVMFile(uint8_t fileGroup, uint8_t fileNumber);
GBP_API int16_t GBP_CALL WriteNVMFile(uint8_t fileGroup, uint8_t fileNumber, uint8_t* buffer,
                                      int32_t length);
GBP_API int16_t GBP_CALL GetNVMFileSize(uint8_t fileGroup, uint8_t fileNumber);
GBP_API int16_t GBP_CALL ReadNVMFile(uint8_t fileGroup, uint8_t fileNumber, uint8_t* buffer,
                                     int32_t maxLength);

typedef int16_t(GBP_CALL* GbpInitGBPModeFn)(uint8_t);
typedef int16_t(GBP_CALL* GbpEndGBPModeFn)(void);
typedef int16_t(GBP_CALL* GbpClearNVMFileFn)(uint8_t, uint8_t);
typedef int16_t(GBP_CALL* GbpWriteNVMFileFn)(uint8_t, uint8_t, uint8_t*, int32_t);
typedef int16_t(GBP_CALL* GbpGetNVMFileSizeFn)(uint8_t, uint8_t);
typedef int16_t(GBP_CALL* GbpReadNVMFileFn)(uint8_t, uint8_t, uint8_t*, int32_t);

/* The six calls as one table, the way a loader keeps them once it has looked them up. */
typedef struct GbpCalls {
    GbpInitGBPModeFn init;
    GbpEndGBPModeFn end;
    GbpClearNVMFileFn clear;
    GbpWriteNVMFileFn write;
    GbpGetNVMFileSizeFn size;
    GbpReadNVMFileFn read;
} GbpCalls;

#ifdef __cplusplus
}
#endif

#endif
