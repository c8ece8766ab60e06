// A batch left alone overnight: the computer stays awake while it runs, a window not in front
// tells that the batch has ended, and what the computer does once it has ("When done:").
#pragma once

#include <windows.h>

#include <string>

// Keeps the computer from sleeping on idle for as long as it lives (the display may still turn
// off); the request ends with it, however the batch ends.
class TKeepAwake {
public:
    TKeepAwake();
    ~TKeepAwake();
    TKeepAwake(const TKeepAwake&) = delete;
    TKeepAwake& operator=(const TKeepAwake&) = delete;
};

// Flashes Window's taskbar button until the user brings the window to the front, unless the
// program is in front already.
void FlashUntilActive(HWND Window);

// What happens once a batch has run to its end; the order of the progress window's list.
enum class TWhenDone { Nothing, CloseProgram, Sleep, ShutDown };

// The choice as kept in the settings key under RegistryKey; Nothing when missing, unreadable or
// out of range.
TWhenDone ReadWhenDoneChoice(const std::wstring& RegistryKey);
// Keeps the choice at once, so it survives however the program ends.
void SaveWhenDoneChoice(const std::wstring& RegistryKey, TWhenDone Choice);

// Asks Windows to sleep (not hibernate, wake-up events kept). 0 when Windows took the request,
// otherwise the system's error code.
DWORD PutComputerToSleep();
// Asks Windows to shut down and power off, without forcing: other programs may still ask the
// user to save their work, or refuse. 0 when Windows took the request, otherwise the error code.
DWORD ShutDownComputer();
