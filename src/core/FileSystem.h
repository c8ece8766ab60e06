// Paths as this platform writes them, and what the core asks of the file system.
#pragma once

#include <cstdint>
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

// The folder holding the running program, with a trailing delimiter.
std::wstring ExecutableFolder();

// True when anything at all is at Path: a file (also one held open by another program), a
// directory, a link (even a dangling one), a device.
bool PathExists(const std::wstring& Path);

// True when Path names a directory (following links).
bool DirectoryExists(const std::wstring& Path);

// True when Path is a file holding at least one byte (a file another program writes counts).
bool FileHasContent(const std::wstring& Path);

// The size of the file at Path in bytes. False when it cannot be read (nothing there, a
// directory, no access); SystemError then holds the system's code for why (GetLastError on
// Windows, errno elsewhere).
bool FileSize(const std::wstring& Path, int64_t& Size, uint32_t& SystemError);

// Path in a form another program's file functions open at any length (on Windows the
// extended-length form of a long path): the converter is given its names so.
std::wstring OpenablePath(const std::wstring& Path);

// Deletes the file at Path. False when nothing was deleted: nothing there, a directory, or the
// system refused.
bool RemoveFile(const std::wstring& Path);

// Creates the directory Path with every missing parent. True when it exists afterwards; otherwise
// SystemReason holds the system's own words for why not.
bool CreateDirectories(const std::wstring& Path, std::wstring& SystemReason);

// How an exclusive create or a rename that never replaces went.
enum class TFileClaim {
    Done,
    NameTaken, // something (a file, a folder, a link) already has the name
    Failed,    // any other reason; SystemReason holds the system's own words
};

// Creates an empty file at Path only when nothing has that name, and closes it at once: the file
// is then ours, whatever writes into it later.
TFileClaim CreateNewFile(const std::wstring& Path, std::wstring& SystemReason);

// Gives the file at From the name To, in the same folder, only when nothing has that name: an
// entry that appears under To at any moment is never replaced.
TFileClaim RenameNoReplace(const std::wstring& From, const std::wstring& To,
                           std::wstring& SystemReason);

// One attempt, without waiting, to delete the file at Path. True when no file is there afterwards
// (deleted, never there, or something else than a file has the name); false while the system
// refuses, as it does while another process still holds the file.
bool TryRemoveFile(const std::wstring& Path);
