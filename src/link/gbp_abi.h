/* The C interface of the phone-link library GBP (libGBP.so, GBP.dll), shared by the loader, the
 * Wine bridge and the simulated phone so that every side agrees on every signature. Plain C with
 * a C++ part, no Qt. */
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

/* The six calls, once: X(name, parameters, arguments), in the order that numbers them everywhere
 * (the ordinal of GbpCall, the wire's operations, the export lists). Every result is a signed
 * 16-bit value. InitGBPMode succeeds only with 0; ReadNVMFile is negative on failure and otherwise
 * the number of bytes placed in the buffer; GetNVMFileSize is the NVM file's size in bytes. */
#define GBP_FOR_EACH_CALL(X)                                                                     \
    X(InitGBPMode, (uint8_t port), (port))                                                       \
    X(EndGBPMode, (void), ())                                                                    \
    X(ClearNVMFile, (uint8_t fileGroup, uint8_t fileNumber), (fileGroup, fileNumber))            \
    X(WriteNVMFile, (uint8_t fileGroup, uint8_t fileNumber, uint8_t * buffer, int32_t length),   \
      (fileGroup, fileNumber, buffer, length))                                                   \
    X(GetNVMFileSize, (uint8_t fileGroup, uint8_t fileNumber), (fileGroup, fileNumber))          \
    X(ReadNVMFile, (uint8_t fileGroup, uint8_t fileNumber, uint8_t * buffer, int32_t maxLength), \
      (fileGroup, fileNumber, buffer, maxLength))

#ifdef __cplusplus
extern "C" {
#endif

#define GBP_DECLARE(name, parameters, arguments) GBP_API int16_t GBP_CALL name parameters;
GBP_FOR_EACH_CALL(GBP_DECLARE)
#undef GBP_DECLARE

/* GbpInitGBPModeFn and its five siblings: a pointer to each call. */
#define GBP_POINTER_TYPE(name, parameters, arguments) \
    typedef int16_t(GBP_CALL* Gbp##name##Fn) parameters;
GBP_FOR_EACH_CALL(GBP_POINTER_TYPE)
#undef GBP_POINTER_TYPE

/* The six calls as one table, the way a loader keeps them once it has looked them up. */
typedef struct GbpCalls {
#define GBP_MEMBER(name, parameters, arguments) Gbp##name##Fn name;
    GBP_FOR_EACH_CALL(GBP_MEMBER)
#undef GBP_MEMBER
} GbpCalls;

#ifdef __cplusplus
}

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

namespace hideaway {

/// The six calls by number, in the table's order.
enum class GbpCall : std::uint8_t {
#define GBP_ENUMERATOR(name, parameters, arguments) name,
    GBP_FOR_EACH_CALL(GBP_ENUMERATOR)
#undef GBP_ENUMERATOR
};

/// The calls' names as the library exports them, indexed by GbpCall.
inline constexpr const char* kGbpCallNames[] = {
#define GBP_NAME(name, parameters, arguments) #name,
    GBP_FOR_EACH_CALL(GBP_NAME)
#undef GBP_NAME
};

inline constexpr std::size_t kGbpCallCount = sizeof kGbpCallNames / sizeof kGbpCallNames[0];

constexpr const char* gbpCallName(GbpCall call) {
    return kGbpCallNames[static_cast<std::size_t>(call)];
}

/// The call at an ordinal taken from outside (a wire, a setting), or false when none is there.
constexpr bool gbpCallAt(std::size_t ordinal, GbpCall& call) {
    if (ordinal >= kGbpCallCount) {
        return false;
    }
    call = static_cast<GbpCall>(ordinal);
    return true;
}

/// Looks each of the six calls up by its exported name with find (a name to an address or null)
/// and fills calls; the names of those missing, joined by ", ", empty when all six are there.
/// Shared by every loader (Module1, the bridge's host), so that all name a fault alike.
template <typename Find>
std::string findGbpCalls(GbpCalls& calls, Find&& find) {
    std::string missing;
    const auto look = [&](auto& target, const char* name) {
        target = reinterpret_cast<std::remove_reference_t<decltype(target)>>(find(name));
        if (target == nullptr) {
            missing += (missing.empty() ? "" : ", ") + std::string(name);
        }
    };
#define GBP_LOOK(name, parameters, arguments) look(calls.name, #name);
    GBP_FOR_EACH_CALL(GBP_LOOK)
#undef GBP_LOOK
    return missing;
}

}  // namespace hideaway
#endif

#endif
