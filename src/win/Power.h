// A batch left alone overnight: the computer stays awake while it runs, a window not in front
// tells that the batch has ended, and what the computer does once it has ("When done:").
#pragma once

#include "Settings.h" // TWhenDone, the choice as kept

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

// Asks Windows to sleep (not hibernate, wake-up events kept). 0 when Windows took the request,
// otherwise the system's error code.
DWORD PutComputerToSleep();
// Asks Windows to shut down and power off, without forcing: other programs may still ask the
// user to save their work, or refuse. 0 when Windows took the request, otherwise the error code.
DWORD ShutDownComputer();
