#include "Power.h"

#include "Application.h"
#include "SystemLibraries.h"
#include "win32/UniqueHandle.h"

namespace {

void SetExecutionState(EXECUTION_STATE State) {
    if (Application.Hooks.SetExecutionState)
        Application.Hooks.SetExecutionState(State);
    else
        SetThreadExecutionState(State);
}

// The right to shut the computer down is held by every interactive account, but it is off in a
// process's token until asked for.
DWORD EnableShutdownPrivilege() {
    UniqueHandle Token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, Token.put()))
        return GetLastError();
    TOKEN_PRIVILEGES Privileges{};
    Privileges.PrivilegeCount = 1;
    Privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &Privileges.Privileges[0].Luid))
        return GetLastError();
    // Succeeds also when the privilege is not held; the last error then says so
    // (ERROR_NOT_ALL_ASSIGNED), and is 0 when it was enabled.
    AdjustTokenPrivileges(Token.get(), FALSE, &Privileges, 0, nullptr, nullptr);
    return GetLastError();
}

} // namespace

TKeepAwake::TKeepAwake() {
    SetExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
}

TKeepAwake::~TKeepAwake() {
    SetExecutionState(ES_CONTINUOUS);
}

void FlashUntilActive(HWND Window) {
    DWORD Foreground = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &Foreground);
    if (Foreground == GetCurrentProcessId())
        return;
    if (Application.Hooks.FlashWindow) {
        Application.Hooks.FlashWindow(Window);
        return;
    }
    FLASHWINFO Flash{};
    Flash.cbSize = sizeof Flash;
    Flash.hwnd = Window;
    Flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
    FlashWindowEx(&Flash);
}

DWORD PutComputerToSleep() {
    if (Application.Hooks.SetSuspendState)
        return Application.Hooks.SetSuspendState(false, false, false);
    return SystemSetSuspendState(false, false, false);
}

DWORD ShutDownComputer() {
    // Neither EWX_FORCE nor EWX_FORCEIFHUNG: a program with unsaved work gets its say.
    const UINT Flags = EWX_SHUTDOWN | EWX_POWEROFF;
    const DWORD Reason = SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_FLAG_PLANNED;
    if (Application.Hooks.ShutDownWindows)
        return Application.Hooks.ShutDownWindows(Flags, Reason);
    if (DWORD Error = EnableShutdownPrivilege())
        return Error;
    return ExitWindowsEx(Flags, Reason) ? ERROR_SUCCESS : GetLastError();
}
