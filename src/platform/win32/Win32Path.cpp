#include "win32/Win32Path.h"

#include "LongPath.h"
#include "win32/FullPath.h"

#include <windows.h>

namespace {

TWin32PathObserver Observer = nullptr;

bool StartsWith(const std::wstring& Text, const wchar_t* Prefix) {
    return Text.rfind(Prefix, 0) == 0;
}

} // namespace

std::wstring Win32FilePath(const std::wstring& Path) {
    std::wstring Result = ExtendedLengthPath(Path);
    // Device and extended forms ("\\.\", "\\?\") are taken as they are.
    if (Result == Path && Path.size() >= ExtendedLengthThreshold && !StartsWith(Path, L"\\\\")) {
        // A relative one, against the current folder; as it is when the system cannot tell.
        const std::wstring Full = FullPathName(Path);
        Result = ExtendedLengthPath(Full.empty() ? Path : Full);
    }
    if (Observer)
        Observer(Result);
    return Result;
}

void SetWin32PathObserver(TWin32PathObserver NewObserver) {
    Observer = NewObserver;
}
