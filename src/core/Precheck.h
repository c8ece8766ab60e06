// What is checked before a batch starts, so that a missing converter or an unusable output folder
// is reported once, clearly, with nothing converted or marked.
#pragma once

#include <string>

enum class TPrecheckKind {
    Ok,
    ConverterMissing, // Path: the converter's full path
    FolderEmpty,      // "Other:" is chosen and its folder box is empty
    FolderRelative,   // Path: the folder as typed, which is not a full path
    FolderNotCreated, // Path: the folder; Reason: the system's words
};

struct TPrecheck {
    TPrecheckKind Kind = TPrecheckKind::Ok;
    std::wstring Path;
    std::wstring Reason;
};

// A full path as Windows reads it: "X:\..." (or "X:/...") or a UNC path "\\server\share...".
// "\Films" (the current drive's root), "Films" and "C:Films" (relative to a current folder) are
// not.
bool IsAbsoluteWindowsPath(const std::wstring& Path);
// A full POSIX path: it starts with "/".
bool IsAbsolutePosixPath(const std::wstring& Path);
// The rule of the platform being built.
bool IsAbsolutePath(const std::wstring& Path);

// Checks, in this order: the converter is there as a file; with "Other:" chosen (SameFolder
// false), the folder text is not empty (blanks alone count as empty) and is a full path, and the
// folder exists or is created now, with its parents.
TPrecheck CheckBeforeBatch(const std::wstring& ConverterPath, bool SameFolder,
                           const std::wstring& FolderText);

// The words of the messages; the window fills them from its string table. ConverterMissing: %1
// the converter's file name, %2 its folder. FolderRelative: %1 the folder text. FolderNotCreated:
// %1 the folder, %2 the system's reason.
struct TPrecheckTexts {
    std::wstring ConverterMissing;
    std::wstring FolderEmpty;
    std::wstring FolderRelative;
    std::wstring FolderNotCreated;
};

inline const TPrecheckTexts DefaultPrecheckTexts{
    .ConverterMissing = L"The converter %1 is missing from the folder %2. Put %1 back beside the "
                        L"program and try again.",
    .FolderEmpty = L"Type the folder for the AVI files beside \"Other:\", or choose \"Same\".",
    .FolderRelative =
        L"The folder \"%1\" is not a full path. Type a path that starts with a drive, "
        L"such as C:\\Videos, or a network path such as \\\\server\\share\\Videos.",
    .FolderNotCreated = L"The folder %1 could not be created: %2",
};

// The message for a check that failed; empty for Ok.
std::wstring DescribePrecheck(const TPrecheck& Check, const TPrecheckTexts& Texts);
