#include "win32/Win32Path.h"

#include "LongPath.h"

#include <windows.h>

namespace {

TWin32PathObserver Observer = nullptr;

bool StartsWith(const std::wstring& Text, const wchar_t* Prefix) {
    return Text.rfind(Prefix, 0) == 0;
}

// The full form of a relative path, or Path itself when the system cannot tell it.
std::wstring FullPathOf(const std::wstring& Path) {
    std::wstring Full(Path.size() + MAX_PATH, L'\0');
    for (;;) {
        DWORD Length =
            ::GetFullPathNameW(Path.c_str(), static_cast<DWORD>(Full.size()), Full.data(), nullptr);
        if (Length == 0)
            return Path;
        if (Length < Full.size()) {
            Full.resize(Length);
            return Full;
        }
        Full.resize(Length);
    }
}

} // namespace

std::wstring Win32FilePath(const std::wstring& Path) {
    std::wstring Result = ExtendedLengthPath(Path);
    // Device and extended forms ("\\.\", "\\?\") are taken as they are.
    if (Result == Path && Path.size() >= ExtendedLengthThreshold && !StartsWith(Path, L"\\\\"))
        Result = ExtendedLengthPath(FullPathOf(Path));
    if (Observer)
        Observer(Result);
    return Result;
}

void SetWin32PathObserver(TWin32PathObserver NewObserver) {
    Observer = NewObserver;
}
