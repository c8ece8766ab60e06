// DPI queries that work from Windows 7 on: newer calls are looked up at run time.
#pragma once

#include <windows.h>

// The DPI the window is drawn at (its monitor's under per-monitor awareness).
UINT WindowDpi(HWND Window);

// Scales a 96-DPI pixel value to Dpi.
inline int ScaleForDpi(int Value, UINT Dpi) {
    return MulDiv(Value, static_cast<int>(Dpi), 96);
}

// The outer size of a window with the given client size, style and DPI.
SIZE WindowSizeForClient(SIZE Client, DWORD Style, DWORD ExStyle, UINT Dpi);

// Stops the dialog manager from rescaling Dialog and its controls itself on a DPI change, for
// windows that lay themselves out (no-op before Windows 10 1703).
void DisableDialogDpiScaling(HWND Dialog);

// Tahoma 8 at the DPI (height -11 at 96 DPI).
HFONT CreateDialogFont(UINT Dpi);
