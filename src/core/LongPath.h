// Windows paths of 260 characters (MAX_PATH) or more. Windows' file functions, and the converter,
// open such paths only in their extended-length form ("\\?\C:\..." or "\\?\UNC\server\share\...").
// Plain text work, so it is tested on every platform.
#pragma once

#include <string>

// Paths this long or longer get the extended form: 248 is the limit for a folder, 12 short of
// the 260 of a file, so a path at the edge works whatever it names.
inline constexpr size_t ExtendedLengthThreshold = 248;

// The extended-length form of an absolute Windows path (drive or UNC) of ExtendedLengthThreshold
// characters or more; any other path comes back unchanged. The extended form is taken literally,
// so the path is normalised first: "/" becomes "\", repeated delimiters are merged, and "." and
// ".." components are resolved.
std::wstring ExtendedLengthPath(const std::wstring& Path);

// The ordinary form of a path given in the extended-length form ("\\?\C:\x" -> "C:\x",
// "\\?\UNC\server\share" -> "\\server\share"); any other path comes back unchanged.
std::wstring OrdinaryPath(const std::wstring& Path);
