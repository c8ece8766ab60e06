// A batch left alone overnight: the computer stays awake while it runs, and a window not in front
// tells that the batch has ended.
#pragma once

#include <windows.h>

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
