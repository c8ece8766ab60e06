#include "SystemLibraries.h"

#include "win32/UniqueHandle.h"

#include <uxtheme.h>

bool RestrictDllSearch() {
    const bool restricted = ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
    // An empty string, unlike none, also drops the current folder from the older search order
    // that a later SetDllDirectoryW(nullptr) would bring back.
    const bool noCurrentFolder = ::SetDllDirectoryW(L"") != FALSE;
    return restricted && noCurrentFolder;
}

void SetSystemWindowTheme(HWND Window, const wchar_t* SubAppName) {
    // Loaded once and kept: themed controls call into it for as long as they exist.
    static const UniqueModule UxTheme(
        ::LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!UxTheme)
        return;
    using TSetWindowTheme = decltype(&::SetWindowTheme);
    // Through a plain function pointer, which GCC lets any function pointer become.
    const auto setWindowTheme = reinterpret_cast<TSetWindowTheme>(
        reinterpret_cast<void (*)()>(::GetProcAddress(UxTheme.get(), "SetWindowTheme")));
    if (setWindowTheme)
        setWindowTheme(Window, SubAppName, nullptr);
}

DWORD SystemSetSuspendState(bool Hibernate, bool Force, bool WakeupEventsDisabled) {
    const UniqueModule PowrProf(
        ::LoadLibraryExW(L"powrprof.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!PowrProf)
        return ::GetLastError();
    using TSetSuspendState = BOOLEAN(WINAPI*)(BOOLEAN, BOOLEAN, BOOLEAN);
    const auto setSuspendState = reinterpret_cast<TSetSuspendState>(
        reinterpret_cast<void (*)()>(::GetProcAddress(PowrProf.get(), "SetSuspendState")));
    if (!setSuspendState)
        return ::GetLastError();
    if (setSuspendState(Hibernate, Force, WakeupEventsDisabled))
        return ERROR_SUCCESS;
    const DWORD Error = ::GetLastError();
    return Error ? Error : ERROR_GEN_FAILURE;
}
