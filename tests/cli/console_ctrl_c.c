/* A Windows program for the tests: console_ctrl_c PROGRAM [ARGUMENTS...] starts the program in its
 * own console and presses Ctrl-C there once for each byte it reads on standard input, as a user
 * at the keyboard would. Every program of the console receives it, this one too, which takes it
 * as handled. Once its input ends it waits for the program and ends with the program's status;
 * it says on standard error what went wrong, if anything did. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

static BOOL WINAPI keepRunning(DWORD type) {
    return type == CTRL_C_EVENT ? TRUE : FALSE;
}

int main(void) {
    /* The program's command line is this one's after its first word, quoted as the caller
     * quoted it. */
    const wchar_t* rest = GetCommandLineW();
    if (*rest == L'"') {
        const wchar_t* closing = wcschr(rest + 1, L'"');
        rest = closing != NULL ? closing + 1 : rest + wcslen(rest);
    } else {
        while (*rest != L'\0' && *rest != L' ' && *rest != L'\t') {
            ++rest;
        }
    }
    while (*rest == L' ' || *rest == L'\t') {
        ++rest;
    }
    wchar_t* line = _wcsdup(rest);
    if (line == NULL || *line == L'\0') {
        fprintf(stderr, "console_ctrl_c: no program to start\n");
        return 125;
    }
    SetConsoleCtrlHandler(keepRunning, TRUE);

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child;
    if (!CreateProcessW(NULL, line, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &child)) {
        fprintf(stderr, "console_ctrl_c: cannot start %ls (error %lu)\n", line, GetLastError());
        return 125;
    }

    char byte = 0;
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, NULL) && got == 1) {
        if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
            fprintf(stderr, "console_ctrl_c: cannot press Ctrl-C (error %lu)\n", GetLastError());
        }
    }
    if (WaitForSingleObject(child.hProcess, 60000) != WAIT_OBJECT_0) {
        fprintf(stderr, "console_ctrl_c: %ls did not end within 60 s\n", line);
        TerminateProcess(child.hProcess, 124);
        return 124;
    }
    DWORD status = 0;
    GetExitCodeProcess(child.hProcess, &status);
    return (int)status;
}
