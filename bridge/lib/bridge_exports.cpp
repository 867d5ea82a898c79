// The six calls of the phone-link library, each forwarded to the vendor's GBP.dll in a host
// process under Wine. One host serves the whole process, from the first call on.
#include <dlfcn.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <string>

#include "gbp_abi.h"
#include "host_process.h"

namespace {

using namespace hideaway::bridge;

/// What a call returns when the bridge itself failed: non-zero for InitGBPMode and negative for
/// the NVM calls, so the slot operations take it as the failure it is.
constexpr std::int16_t kBridgeFailed = -32768;

std::mutex gMutex;
HostProcess gHost;
// Whether a host was started in this process; after one died, only InitGBPMode starts the next.
bool gStarted = false;
std::string gHosted;
// Each call's limit in seconds, from the settings the host was started with.
int gLimitSeconds = 0;

/// gbp-host.exe, which is installed beside this library.
std::string hostProgram() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&hostProgram), &info) == 0 || info.dli_fname == nullptr) {
        return "gbp-host.exe";
    }
    return (std::filesystem::absolute(info.dli_fname).parent_path() / "gbp-host.exe").string();
}

/// Starts the host when none runs, and takes the limit of each call from the same settings.
StartFailure startHost(std::string& reason) {
    BridgeSettings settings;
    if (!readBridgeSettings(settings, reason)) {
        reason = startFailureText(StartFailure::SettingsUnreadable, {}, reason);
        return StartFailure::SettingsUnreadable;
    }
    const StartFailure failure = gHost.start(settings, hostProgram(), reason);
    if (failure == StartFailure::None) {
        gStarted = true;
        gHosted = gHost.hostedLibrary();
        gLimitSeconds = settings.timeoutSeconds;
    }
    return failure;
}

std::int16_t forward(Operation operation, std::uint8_t first, std::uint8_t second,
                     const std::uint8_t* writeBytes, std::uint8_t* readBuffer, bool hasBuffer,
                     std::int32_t length) {
    const std::lock_guard lock(gMutex);
    try {
        if (!gHost.running()) {
            if (gStarted && operation != Operation::InitGBPMode) {
                return kBridgeFailed;
            }
            gStarted = true;
            std::string reason;
            if (startHost(reason) != StartFailure::None) {
                std::fprintf(stderr, "wine bridge: %s\n", reason.c_str());
                return kBridgeFailed;
            }
        }
        if (length > kMaxTransfer) {
            std::fprintf(stderr, "wine bridge: %s of %d bytes refused: more than %d\n",
                         hideaway::gbpCallName(operation), length, kMaxTransfer);
            return kBridgeFailed;
        }
        const Request request{operation, first, second, static_cast<std::uint8_t>(hasBuffer),
                              length};
        std::int16_t result = 0;
        std::string reason;
        if (!gHost.call(request, writeBytes, readBuffer, gLimitSeconds, result, reason)) {
            std::fprintf(stderr, "wine bridge: %s; the next InitGBPMode starts a new host\n",
                         reason.c_str());
            return kBridgeFailed;
        }
        return result;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "wine bridge: %s\n", error.what());
    }
    return kBridgeFailed;
}

}  // namespace

extern "C" {

GBP_API int16_t GBP_CALL InitGBPMode(uint8_t port) {
    return forward(Operation::InitGBPMode, port, 0, nullptr, nullptr, false, 0);
}

GBP_API int16_t GBP_CALL EndGBPMode(void) {
    return forward(Operation::EndGBPMode, 0, 0, nullptr, nullptr, false, 0);
}

GBP_API int16_t GBP_CALL ClearNVMFile(uint8_t fileGroup, uint8_t fileNumber) {
    return forward(Operation::ClearNVMFile, fileGroup, fileNumber, nullptr, nullptr, false, 0);
}

GBP_API int16_t GBP_CALL WriteNVMFile(uint8_t fileGroup, uint8_t fileNumber, uint8_t* buffer,
                                      int32_t length) {
    return forward(Operation::WriteNVMFile, fileGroup, fileNumber, buffer, nullptr,
                   buffer != nullptr, length);
}

GBP_API int16_t GBP_CALL GetNVMFileSize(uint8_t fileGroup, uint8_t fileNumber) {
    return forward(Operation::GetNVMFileSize, fileGroup, fileNumber, nullptr, nullptr, false, 0);
}

GBP_API int16_t GBP_CALL ReadNVMFile(uint8_t fileGroup, uint8_t fileNumber, uint8_t* buffer,
                                     int32_t maxLength) {
    return forward(Operation::ReadNVMFile, fileGroup, fileNumber, nullptr, buffer,
                   buffer != nullptr, maxLength);
}

/// The full path of the DLL the host has loaded, as Windows names it; empty before the first
/// host answered. The loader's callers show it beside this library's own path.
GBP_API const char* GbpBridgeHostedLibrary(void) {
    const std::lock_guard lock(gMutex);
    static std::string shown;
    shown = gHosted;
    return shown.c_str();
}

/// Starts the host when none runs, without any call reaching the DLL, for a check of the set-up
/// (hideaway100k-cli doctor). 1, with *text the DLL's full path, when the host loaded the DLL
/// with all six calls; 0, with *text why not: the settings, Wine, its 32-bit half, the DLL. Either
/// way *failure is the StartFailure (start_failure.h), 0 once started.
GBP_API int GbpBridgeStartHost(const char** text, int* failure) {
    const std::lock_guard lock(gMutex);
    static std::string shown;
    StartFailure why = StartFailure::None;
    try {
        if (!gHost.running()) {
            why = startHost(shown);
        }
        if (why == StartFailure::None) {
            shown = gHosted;
        }
    } catch (const std::exception& error) {
        shown = error.what();
        why = StartFailure::HostEnded;
    }
    *text = shown.c_str();
    *failure = static_cast<int>(why);
    return why == StartFailure::None ? 1 : 0;
}

}  // extern "C"
