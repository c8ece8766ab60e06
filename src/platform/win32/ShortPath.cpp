#include "win32/ShortPath.h"

#include "LongPath.h"
#include "win32/Win32Path.h"

#include <windows.h>

std::wstring ShortPathForm(const std::wstring& Path) {
    if (Path.size() < MAX_PATH)
        return Path;
    const std::wstring Extended = Win32FilePath(Path);
    // A short form is never longer than the path it stands for.
    std::wstring Short(Extended.size() + 1, L'\0');
    DWORD Length =
        ::GetShortPathNameW(Extended.c_str(), Short.data(), static_cast<DWORD>(Short.size()));
    if (Length == 0 || Length >= Short.size())
        return Path;
    Short.resize(Length);
    Short = OrdinaryPath(Short);
    return Short.size() < MAX_PATH ? Short : Path;
}
