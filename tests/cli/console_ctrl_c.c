/* For the tests on Windows: console_ctrl_c PROGRAM [ARGUMENTS...] runs the command line that
 * follows its own first word in its console, and presses Ctrl-C there for each byte it reads on
 * standard input, as a user at the keyboard would; every program of the console receives it, this
 * one too, which ignores it. Once its input ends it ends with the program's status. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

static BOOL WINAPI ignore(DWORD type) {
    return type == CTRL_C_EVENT ? TRUE : FALSE;
}

int main(void) {
    wchar_t* line = _wcsdup(GetCommandLineW());
    wchar_t* rest = line;
    if (*rest == L'"') {
        rest += 1 + wcscspn(rest + 1, L"\"");
        rest += *rest == L'"';
    } else {
        rest += wcscspn(rest, L" \t");
    }
    rest += wcsspn(rest, L" \t");
    SetConsoleCtrlHandler(ignore, TRUE);
    STARTUPINFOW startup = {.cb = sizeof startup, .dwFlags = STARTF_USESTDHANDLES};
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child;
    if (*rest == L'\0' ||
        !CreateProcessW(NULL, rest, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &child)) {
        fprintf(stderr, "console_ctrl_c: cannot start '%ls' (error %lu)\n", rest, GetLastError());
        return 125;
    }
    char byte = 0;
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, NULL) && got == 1) {
        if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
            fprintf(stderr, "console_ctrl_c: cannot press Ctrl-C (error %lu)\n", GetLastError());
        }
    }
    DWORD status = 124;
    if (WaitForSingleObject(child.hProcess, 60000) != WAIT_OBJECT_0) {
        fprintf(stderr, "console_ctrl_c: '%ls' did not end within 60 s\n", rest);
        TerminateProcess(child.hProcess, status);
    }
    GetExitCodeProcess(child.hProcess, &status);
    return (int)status;
}
