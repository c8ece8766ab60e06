// What is checked before a batch starts, so that a missing converter or an unusable output folder
// is reported once, clearly, with nothing converted or marked.
#pragma once

#include "EnglishTexts.h"

#include <string>

enum class TPrecheckKind {
    Ok,
    ConverterMissing,         // Path: the converter's full path
    FolderEmpty,              // "Other:" is chosen and its folder box is empty
    FolderRelative,           // Path: the folder as typed, which is not a full path
    FolderNotCreated,         // Path: the folder; Reason: the system's words
    FolderIsFile,             // Path: the folder, which names a file
    FolderForbiddenCharacter, // Path: the folder, holding a character names cannot have
    FolderDeviceName, // Path: the folder; Reason: its part that is a device's name ("NUL.txt")
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

// The "Other:" text as Windows users type and paste it: blanks around it and one pair of double
// quotes around the whole (Explorer's "Copy as path") dropped, then the blanks and dots at its
// end, which Windows drops from a name anyway ("C:\Out " is "C:\Out"); a last part "." or ".."
// keeps its dots. The batch writes into the folder this names.
std::wstring CleanFolderText(const std::wstring& Text);

// A character Windows allows in no name: < > : " | ? * (a drive's colon and the "\\?\" of the
// extended form aside) or a control character. Windows' rule, applied on every platform.
bool HasForbiddenCharacter(const std::wstring& Path);
// The first part of Path that is a name Windows keeps for a device (CON, PRN, AUX, NUL, COM1 to
// COM9, LPT1 to LPT9, in any case, also with an extension: "nul.txt"); empty when there is none.
std::wstring DeviceNamePart(const std::wstring& Path);

// Checks, in this order: the converter is there as a file; with "Other:" chosen (SameFolder
// false), the folder text, cleaned (CleanFolderText), is not empty (blanks alone count as empty),
// is a full path, holds no forbidden character and no device name, does not name a file, and
// the folder exists or is created now, with its parents. Path is the cleaned text.
TPrecheck CheckBeforeBatch(const std::wstring& ConverterPath, bool SameFolder,
                           const std::wstring& FolderText);

// The words of the messages; the window fills them from its string table. ConverterMissing: %1
// the converter's file name, %2 its folder. FolderRelative, FolderIsFile,
// FolderForbiddenCharacter: %1 the folder text. FolderNotCreated: %1 the folder, %2 the system's
// reason. FolderDeviceName: %1 the folder, %2 the part that is a device's name.
struct TPrecheckTexts {
    std::wstring ConverterMissing;
    std::wstring FolderEmpty;
    std::wstring FolderRelative;
    std::wstring FolderNotCreated;
    std::wstring FolderIsFile;
    std::wstring FolderForbiddenCharacter;
    std::wstring FolderDeviceName;
};

inline const TPrecheckTexts DefaultPrecheckTexts{
    .ConverterMissing = English_IDS_CHECKCONVERTERMISSING,
    .FolderEmpty = English_IDS_CHECKFOLDEREMPTY,
    .FolderRelative = English_IDS_CHECKFOLDERRELATIVE,
    .FolderNotCreated = English_IDS_CHECKFOLDERNOTCREATED,
    .FolderIsFile = English_IDS_CHECKFOLDERISFILE,
    .FolderForbiddenCharacter = English_IDS_CHECKFOLDERFORBIDDEN,
    .FolderDeviceName = English_IDS_CHECKFOLDERDEVICENAME,
};

// The message for a check that failed; empty for Ok.
std::wstring DescribePrecheck(const TPrecheck& Check, const TPrecheckTexts& Texts);
