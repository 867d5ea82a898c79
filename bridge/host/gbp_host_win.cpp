// gbp-host.exe: a 32-bit Windows console program that Wine runs for the native libGBP.so. It
// loads the phone vendor's GBP.dll and serves its six calls, one at a time and in order, over its
// standard input and output (the format is in wire.h). Plain Win32, no Qt.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

#include "gbp_abi.h"
#include "wire.h"

namespace {

using namespace hideaway::bridge;

std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
    return result;
}

/// A Unix path (as the Linux side names the DLL) in Windows form; Windows paths stay as they are.
std::wstring windowsPath(const std::wstring& path) {
    if (path.empty() || path.front() != L'/') {
        return path;
    }
    using DosName = WCHAR*(CDECL*)(LPCSTR);
    const auto toDos = reinterpret_cast<DosName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (toDos != nullptr) {
        if (WCHAR* dos = toDos(utf8(path).c_str())) {
            std::wstring result(dos);
            HeapFree(GetProcessHeap(), 0, dos);
            return result;
        }
    }
    // Wine's drive Z: is the Unix root unless someone changed it.
    std::wstring result = L"Z:" + path;
    for (wchar_t& c : result) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return result;
}

std::string systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = text != nullptr ? text : L"";
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    return utf8(message);
}

bool readAll(HANDLE in, void* data, DWORD size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        DWORD got = 0;
        if (!ReadFile(in, bytes, size, &got, nullptr) || got == 0) {
            return false;
        }
        bytes += got;
        size -= got;
    }
    return true;
}

bool writeAll(HANDLE out, const void* data, DWORD size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        DWORD put = 0;
        if (!WriteFile(out, bytes, size, &put, nullptr) || put == 0) {
            return false;
        }
        bytes += put;
        size -= put;
    }
    return true;
}

bool hello(HANDLE out, bool loaded, const std::string& text) {
    const HelloHeader header{static_cast<std::uint8_t>(loaded ? 1 : 0),
                             static_cast<std::uint32_t>(text.size())};
    return writeAll(out, kHelloMagic, sizeof kHelloMagic) &&
           writeAll(out, &header, sizeof header) &&
           writeAll(out, text.data(), static_cast<DWORD>(text.size()));
}

/// Loads the DLL and looks up all six calls; on failure, why, in words a user can act on.
bool loadDll(const std::wstring& path, GbpCalls& calls, std::string& text) {
    const std::string shown = utf8(path);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        text = shown + ": no such file";
        return false;
    }
    // The DLL's own dependencies are looked for beside it first.
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        const DWORD error = GetLastError();
        if (error == ERROR_BAD_EXE_FORMAT) {
            text = shown +
                   " is not a 32-bit Windows DLL (Windows error 193, 0xc1): not a DLL at all, or "
                   "one built for another architecture";
        } else if (error == ERROR_MOD_NOT_FOUND) {
            text = shown +
                   " needs a DLL that was not found beside it or on the system (Windows "
                   "error 126)";
        } else {
            text = shown + " did not load (Windows error " + std::to_string(error) + ": " +
                   systemMessage(error) + ")";
        }
        return false;
    }
    std::string missing;
    const auto find = [&](auto& target, const char* name) {
        target = reinterpret_cast<std::remove_reference_t<decltype(target)>>(
            reinterpret_cast<void*>(GetProcAddress(module, name)));
        if (target == nullptr) {
            missing += (missing.empty() ? "" : ", ") + std::string(name);
        }
    };
#define HIDEAWAY_FIND(name, parameters, arguments) find(calls.name, #name);
    GBP_FOR_EACH_CALL(HIDEAWAY_FIND)
#undef HIDEAWAY_FIND
    if (!missing.empty()) {
        text = shown + " lacks the call " + missing;
        return false;
    }
    wchar_t full[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameW(module, full, static_cast<DWORD>(std::size(full)));
    text = utf8(std::wstring(full, length));
    return true;
}

/// Serves requests until the library closes the pipe; false when the pipe broke mid-request.
bool serve(HANDLE in, HANDLE out, const GbpCalls& calls) {
    std::vector<std::uint8_t> buffer;
    for (;;) {
        Request request{};
        DWORD got = 0;
        if (!ReadFile(in, &request, sizeof request, &got, nullptr) || got == 0) {
            return true;  // the library is done with us
        }
        if (got < sizeof request &&
            !readAll(in, reinterpret_cast<char*>(&request) + got, sizeof request - got)) {
            return false;
        }
        const bool hasBuffer = request.hasBuffer != 0;
        const std::int32_t length = request.length;
        const std::size_t bytes =
            hasBuffer && length > 0 ? static_cast<std::size_t>(std::min(length, kMaxTransfer)) : 0;
        buffer.assign(bytes + 1, 0);  // never empty, so a buffer that was given is never null
        std::uint8_t* data = hasBuffer ? buffer.data() : nullptr;
        Answer answer{};
        switch (request.operation) {
            case Operation::InitGBPMode:
                answer.result = calls.InitGBPMode(request.first);
                break;
            case Operation::EndGBPMode:
                answer.result = calls.EndGBPMode();
                break;
            case Operation::ClearNVMFile:
                answer.result = calls.ClearNVMFile(request.first, request.second);
                break;
            case Operation::WriteNVMFile:
                if (bytes > 0 && !readAll(in, data, static_cast<DWORD>(bytes))) {
                    return false;
                }
                answer.result = calls.WriteNVMFile(request.first, request.second, data, length);
                break;
            case Operation::GetNVMFileSize:
                answer.result = calls.GetNVMFileSize(request.first, request.second);
                break;
            case Operation::ReadNVMFile:
                answer.result = calls.ReadNVMFile(request.first, request.second, data, length);
                break;
            default:
                std::fprintf(stderr, "gbp-host: unknown request %u\n",
                             static_cast<unsigned>(request.operation));
                return false;
        }
        if (!writeAll(out, &answer, sizeof answer)) {
            return false;
        }
        if (request.operation == Operation::ReadNVMFile && hasBuffer && answer.result > 0) {
            const std::int32_t count =
                std::min<std::int32_t>(answer.result, static_cast<std::int32_t>(bytes));
            if (!writeAll(out, &count, sizeof count) ||
                !writeAll(out, data, static_cast<DWORD>(count))) {
                return false;
            }
        }
    }
}

/// A crash inside the vendor's DLL ends the host with a word on the standard error, instead of
/// Wine's debugger, which would wait for someone at a console.
LONG WINAPI reportCrash(EXCEPTION_POINTERS* exception) {
    std::fprintf(stderr, "gbp-host: the DLL crashed (exception 0x%08lx)\n",
                 static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // The answers need the standard output to themselves: whatever the vendor's DLL prints goes
    // to the standard error, which the user sees.
    HANDLE out = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_OUTPUT_HANDLE), GetCurrentProcess(), &out,
                    0, FALSE, DUPLICATE_SAME_ACCESS);
    SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
    _dup2(_fileno(stderr), _fileno(stdout));
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    // No message box for a DLL that cannot load: there is nobody at this program's console.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(reportCrash);

    if (argc != 2 || out == nullptr) {
        std::fprintf(stderr, "usage: gbp-host.exe PATH-OF-GBP.DLL (started by libGBP.so)\n");
        return 2;
    }
    GbpCalls calls{};
    std::string text;
    const bool loaded = loadDll(windowsPath(argv[1]), calls, text);
    if (!hello(out, loaded, text) || !loaded) {
        return 1;
    }
    return serve(in, out, calls) ? 0 : 1;
}
