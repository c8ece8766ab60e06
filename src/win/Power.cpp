#include "Power.h"

#include "Application.h"

namespace {

void SetExecutionState(EXECUTION_STATE State) {
    if (Application.Hooks.SetExecutionState)
        Application.Hooks.SetExecutionState(State);
    else
        SetThreadExecutionState(State);
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
