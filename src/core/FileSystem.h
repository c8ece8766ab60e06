// Paths as this platform writes them, and the one file-system question the core asks.
#pragma once

#include <string>

#ifdef _WIN32
inline constexpr wchar_t PathDelim = L'\\';
#else
inline constexpr wchar_t PathDelim = L'/';
#endif

// Path with exactly one delimiter added when it does not already end in one; an empty path
// becomes the delimiter alone.
inline std::wstring IncludeTrailingPathDelimiter(const std::wstring& Path) {
    if (!Path.empty() && Path.back() == PathDelim)
        return Path;
    return Path + PathDelim;
}

// True when anything at all is at Path: a file (also one held open by another program), a
// directory, a link (even a dangling one), a device.
bool PathExists(const std::wstring& Path);
