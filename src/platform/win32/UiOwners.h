// Owners of the window layer's resources: GDI objects, icons, menus, image lists, child windows,
// COM objects and a few scopes. Each closing function has its own type; copying is not allowed.
#pragma once

#include "win32/UniqueHandle.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <utility>

namespace handle_traits {
template <typename T> struct GdiObject {
    using Type = T;
    static T Invalid() { return nullptr; }
    static void Close(T H) { ::DeleteObject(H); }
};
struct Icon {
    using Type = HICON;
    static HICON Invalid() { return nullptr; }
    static void Close(HICON H) { ::DestroyIcon(H); }
};
struct Menu {
    using Type = HMENU;
    static HMENU Invalid() { return nullptr; }
    static void Close(HMENU H) { ::DestroyMenu(H); }
};
struct ImageList {
    using Type = HIMAGELIST;
    static HIMAGELIST Invalid() { return nullptr; }
    static void Close(HIMAGELIST H) { ::ImageList_Destroy(H); }
};
struct Drop {
    using Type = HDROP;
    static HDROP Invalid() { return nullptr; }
    static void Close(HDROP H) { ::DragFinish(H); }
};
struct Window {
    using Type = HWND;
    static HWND Invalid() { return nullptr; }
    static void Close(HWND H) { ::DestroyWindow(H); }
};
template <typename T> struct LocalMemory {
    using Type = T;
    static T Invalid() { return nullptr; }
    static void Close(T H) { ::LocalFree(H); }
};
template <typename T> struct CoTaskMem {
    using Type = T;
    static T Invalid() { return nullptr; }
    static void Close(T H) { ::CoTaskMemFree(H); }
};
} // namespace handle_traits

using UniqueFont = UniqueResource<handle_traits::GdiObject<HFONT>>;
using UniqueBitmap = UniqueResource<handle_traits::GdiObject<HBITMAP>>;
using UniqueIcon = UniqueResource<handle_traits::Icon>;
using UniqueMenu = UniqueResource<handle_traits::Menu>;
using UniqueImageList = UniqueResource<handle_traits::ImageList>;
// A child window made by code rather than by a dialog template (the dialog's own controls go
// with it), destroyed with its owner. Must be reset on the window's own thread.
using UniqueWindow = UniqueResource<handle_traits::Window>;
// A drop handle is released however the drop handler ends.
using UniqueDrop = UniqueResource<handle_traits::Drop>;
// Memory the system hands out with LocalAlloc (FormatMessageW's text, CommandLineToArgvW's block).
template <typename T> using UniqueLocalMemory = UniqueResource<handle_traits::LocalMemory<T>>;
// Memory the shell hands out with its allocator (item ID lists, for one).
template <typename T> using UniqueCoTaskMem = UniqueResource<handle_traits::CoTaskMem<T>>;

// A window's device context, released with the scope.
class TWindowDC {
public:
    explicit TWindowDC(HWND Window) : Window(Window), Dc(::GetDC(Window)) {}
    ~TWindowDC() {
        if (Dc)
            ::ReleaseDC(Window, Dc);
    }
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    HDC get() const { return Dc; }

private:
    HWND Window;
    HDC Dc;
};

// An object selected into a device context; the previous one is selected back with the scope.
class TSelectObject {
public:
    TSelectObject(HDC Dc, HGDIOBJ Object) : Dc(Dc), Previous(::SelectObject(Dc, Object)) {}
    ~TSelectObject() {
        if (Previous && Previous != HGDI_ERROR)
            ::SelectObject(Dc, Previous);
    }
    TSelectObject(const TSelectObject&) = delete;
    TSelectObject& operator=(const TSelectObject&) = delete;

private:
    HDC Dc;
    HGDIOBJ Previous;
};

// One reference to a COM object.
template <typename T> class TComPtr {
public:
    TComPtr() = default;
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;
    TComPtr(TComPtr&& Other) noexcept : Object(std::exchange(Other.Object, nullptr)) {}
    TComPtr& operator=(TComPtr&& Other) noexcept {
        reset(std::exchange(Other.Object, nullptr));
        return *this;
    }
    ~TComPtr() { reset(); }

    T* get() const { return Object; }
    T* operator->() const { return Object; }
    explicit operator bool() const { return Object != nullptr; }
    void reset(T* NewObject = nullptr) {
        if (T* Old = std::exchange(Object, NewObject))
            Old->Release();
    }
    // For CoCreateInstance and friends.
    void** put_void() {
        reset();
        return reinterpret_cast<void**>(&Object);
    }

private:
    T* Object = nullptr;
};

// COM on this thread for the scope, when it could be initialised.
class TComScope {
public:
    explicit TComScope(DWORD Model) : Result(::CoInitializeEx(nullptr, Model)) {}
    ~TComScope() {
        if (SUCCEEDED(Result))
            ::CoUninitialize();
    }
    TComScope(const TComScope&) = delete;
    TComScope& operator=(const TComScope&) = delete;

private:
    HRESULT Result;
};

// Keeps a window's redrawing off for the scope, then repaints it whole.
class TRedrawLock {
public:
    explicit TRedrawLock(HWND Window) : Window(Window) {
        ::SendMessageW(Window, WM_SETREDRAW, FALSE, 0);
    }
    ~TRedrawLock() {
        ::SendMessageW(Window, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(Window, nullptr, TRUE);
    }
    TRedrawLock(const TRedrawLock&) = delete;
    TRedrawLock& operator=(const TRedrawLock&) = delete;

private:
    HWND Window;
};

// The process's error mode for the scope.
class TErrorModeScope {
public:
    explicit TErrorModeScope(UINT Mode) : Previous(::SetErrorMode(Mode)) {}
    ~TErrorModeScope() { ::SetErrorMode(Previous); }
    TErrorModeScope(const TErrorModeScope&) = delete;
    TErrorModeScope& operator=(const TErrorModeScope&) = delete;

private:
    UINT Previous;
};
