#include "Dpi.h"

#include "win32/UiOwners.h"

namespace {

template <typename F> F User32Function(const char* Name) {
    // A function pointer from the loaded user32; nullptr on systems that lack it.
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), Name)));
}

} // namespace

UINT WindowDpi(HWND Window) {
    using TGetDpiForWindow = UINT(WINAPI*)(HWND);
    static auto GetDpiForWindowFn = User32Function<TGetDpiForWindow>("GetDpiForWindow");
    if (GetDpiForWindowFn && Window) {
        UINT Dpi = GetDpiForWindowFn(Window);
        if (Dpi)
            return Dpi;
    }
    int Dpi = GetDeviceCaps(TWindowDC(nullptr).get(), LOGPIXELSY);
    return Dpi > 0 ? static_cast<UINT>(Dpi) : 96;
}

SIZE WindowSizeForClient(SIZE Client, DWORD Style, DWORD ExStyle, UINT Dpi) {
    using TAdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static auto AdjustForDpi = User32Function<TAdjustForDpi>("AdjustWindowRectExForDpi");
    RECT Bounds{0, 0, Client.cx, Client.cy};
    if (!AdjustForDpi || !AdjustForDpi(&Bounds, Style, FALSE, ExStyle, Dpi))
        AdjustWindowRectEx(&Bounds, Style, FALSE, ExStyle);
    return {Bounds.right - Bounds.left, Bounds.bottom - Bounds.top};
}

void DisableDialogDpiScaling(HWND Dialog) {
    // DIALOG_DPI_CHANGE_BEHAVIORS: DDC_DISABLE_ALL = 1.
    using TSetDialogBehavior = BOOL(WINAPI*)(HWND, int, int);
    static auto SetBehavior = User32Function<TSetDialogBehavior>("SetDialogDpiChangeBehavior");
    // DIALOG_CONTROL_DPI_CHANGE_BEHAVIORS: fonts and layout left alone (1 | 2).
    using TSetControlBehavior = BOOL(WINAPI*)(HWND, int, int);
    static auto SetControlBehavior =
        User32Function<TSetControlBehavior>("SetDialogControlDpiChangeBehavior");
    if (SetBehavior)
        SetBehavior(Dialog, 1, 1);
    if (SetControlBehavior)
        for (HWND Child = GetWindow(Dialog, GW_CHILD); Child; Child = GetWindow(Child, GW_HWNDNEXT))
            SetControlBehavior(Child, 3, 3);
}

HFONT CreateDialogFont(UINT Dpi) {
    LOGFONTW Font{};
    Font.lfHeight = -MulDiv(8, static_cast<int>(Dpi), 72);
    Font.lfWeight = FW_NORMAL;
    Font.lfCharSet = DEFAULT_CHARSET;
    Font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(Font.lfFaceName, L"Tahoma", LF_FACESIZE);
    return CreateFontIndirectW(&Font);
}
