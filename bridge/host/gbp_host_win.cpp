// gbp-host.exe: a 32-bit Windows console program that Wine runs for the native libGBP.so. It
// loads the phone vendor's GBP.dll and serves its six calls, one at a time and in order, over its
// standard input and output (the format is in wire.h, the serving in host_core.cpp). Plain
// Win32, no Qt.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iterator>
#include <string>

#include "host_core.h"

namespace hideaway::bridge::host {

namespace {

HANDLE gInput = nullptr;
HANDLE gAnswers = nullptr;

std::wstring wide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size);
    return result;
}

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

/// Why the loader refused the DLL, by its error.
StartFailure loadFault(DWORD error, const std::string& shown, std::string& text) {
    const StartFailure failure = error == ERROR_BAD_EXE_FORMAT  ? StartFailure::NotA32BitDll
                                 : error == ERROR_MOD_NOT_FOUND ? StartFailure::NeedsDll
                                                                : StartFailure::DllNotLoaded;
    text = startFailureText(failure, shown,
                            "Windows error " + std::to_string(error) + ": " + systemMessage(error));
    return failure;
}

}  // namespace

StartFailure loadLibrary(const std::string& library, GbpCalls& calls, std::string& text) {
    const std::wstring path = windowsPath(wide(library));
    const std::string shown = utf8(path);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        text = startFailureText(StartFailure::DllMissing, shown);
        return StartFailure::DllMissing;
    }
    // The DLL's own dependencies are looked for beside it first.
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        return loadFault(GetLastError(), shown, text);
    }
    const std::string missing = findGbpCalls(calls, [module](const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(module, name));
    });
    if (!missing.empty()) {
        text = startFailureText(StartFailure::CallMissing, shown, missing);
        return StartFailure::CallMissing;
    }
    wchar_t full[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameW(module, full, static_cast<DWORD>(std::size(full)));
    text = utf8(std::wstring(full, length));
    return StartFailure::None;
}

std::size_t readInput(void* data, std::size_t size) {
    DWORD got = 0;
    if (!ReadFile(gInput, data, static_cast<DWORD>(size), &got, nullptr)) {
        return 0;
    }
    return got;
}

bool writeAnswer(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        DWORD put = 0;
        if (!WriteFile(gAnswers, bytes, static_cast<DWORD>(size), &put, nullptr) || put == 0) {
            return false;
        }
        bytes += put;
        size -= put;
    }
    return true;
}

void endAtOnce(int status) {
    // Not ExitProcess: that would wait for the loader's lock, which a hung DllMain may hold.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    for (;;) {
        Sleep(INFINITE);
    }
}

}  // namespace hideaway::bridge::host

namespace {

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
    using namespace hideaway::bridge::host;
    // The answers need the standard output to themselves: whatever the vendor's DLL prints goes
    // to the standard error, which the user sees.
    DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_OUTPUT_HANDLE), GetCurrentProcess(),
                    &gAnswers, 0, FALSE, DUPLICATE_SAME_ACCESS);
    SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
    _dup2(_fileno(stderr), _fileno(stdout));
    gInput = GetStdHandle(STD_INPUT_HANDLE);
    // No message box for a DLL that cannot load: there is nobody at this program's console.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(reportCrash);

    if (argc != 2 || gAnswers == nullptr) {
        std::fprintf(stderr, "usage: gbp-host.exe PATH-OF-GBP.DLL (started by libGBP.so)\n");
        return 2;
    }
    return runHost(utf8(argv[1]));
}
