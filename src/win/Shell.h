// The shell services the main window uses: opening documents and folders, special folders, the
// file-open dialog and the folder chooser. Each goes through the application's seams.
#pragma once

#include <windows.h>

#include <shtypes.h>

#include <string>
#include <vector>

// Opens a document or address with the shell's "open" verb. 0 when the shell did it, otherwise
// the system's error code for why not (the shell itself shows nothing).
DWORD ShellOpen(const std::wstring& FileName);
// Opens a file-manager window on Folder; returns as ShellOpen.
DWORD ShellExplore(const std::wstring& Folder);

// The current path of a shell special folder with a trailing delimiter, or empty on failure.
std::wstring GetSpecialFolder(int Csidl);

// A multi-selection file-open dialog.
struct TOpenDialog {
    std::wstring Title;
    // Pairs of description and pattern separated by "|", e.g. "Text (*.txt)|*.txt".
    std::wstring Filter;
    // In: the name the dialog starts with. Out: the first chosen file.
    std::wstring FileName;
    // Out: every chosen file with its full path, in the dialog's order.
    std::vector<std::wstring> Files;

    // True when the user confirmed a choice.
    bool Execute(HWND Owner);
};

// Splits the dialog's result buffer ("path\0" or "folder\0name\0name\0\0") into full paths.
std::vector<std::wstring> SplitOpenDialogResult(const wchar_t* Buffer);

// The shell's folder chooser with Instruction above the tree, centred on the monitor of Owner,
// starting at Folder when it names an existing directory. True with Folder set on confirmation.
bool BrowseForFolder(HWND Owner, const std::wstring& Instruction, std::wstring& Folder);

// The file-system path of a folder chosen in the shell, of any length; empty when it has none.
std::wstring FolderPathOf(PCIDLIST_ABSOLUTE Item);
