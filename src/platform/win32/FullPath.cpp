#include "win32/FullPath.h"

#include <windows.h>

std::wstring FullPathName(const std::wstring& Path) {
    // Room for the current folder in front of Path: one call in the usual case.
    std::wstring Full(Path.size() + MAX_PATH, L'\0');
    for (;;) {
        // The length without the terminator when the answer fitted, otherwise the size needed
        // with it; the current folder may change between two calls, so ask until it fits.
        const DWORD Length =
            ::GetFullPathNameW(Path.c_str(), static_cast<DWORD>(Full.size()), Full.data(), nullptr);
        if (Length == 0)
            return {};
        if (Length < Full.size()) {
            Full.resize(Length);
            return Full;
        }
        Full.resize(Length);
    }
}
