// Finding the WebM files in a folder and its subfolders, in the order a person reads them in the
// file manager.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// True when the extension of Path's last component (from its last ".") is ".webm" in any ASCII
// case: the list's own admission rule.
bool HasWebMExtension(const std::wstring& Path);

// Natural order, as the file manager sorts names: letters compare without regard to case, and a
// run of digits compares as the number it writes ("clip 2" before "clip 10", "07" with "7").
// Names that are equal that way fall back to their code units, so the order is total.
bool NaturalLess(const std::wstring& A, const std::wstring& B);

struct TFolderScan {
    // Full paths of the WebM files: first a folder's own files, then each subfolder's in turn,
    // both in natural order.
    std::vector<std::wstring> Files;
    // For each of Files, its size in bytes as the folder listing gave it (no need to open
    // thousands of files one by one), or -1 where the listing cannot tell (a link).
    std::vector<int64_t> Sizes;
    // Folders that could not be read, with the system's error code.
    std::vector<std::pair<std::wstring, uint32_t>> Unreadable;
};

// The WebM files in Folder and below. Hidden and system entries are left out, as the file manager
// leaves them out; links to folders are not followed, so a link that points back up cannot loop.
TFolderScan FindWebMFiles(const std::wstring& Folder);

// The same walk one folder at a time, so that a caller can do other work between folders.
class TFolderWalk {
public:
    explicit TFolderWalk(std::wstring Folder) : Waiting{std::move(Folder)} {}
    // Lists the next folder into Result (its WebM files appended, or it noted as unreadable); its
    // subfolders come next. False, with Result untouched, once every folder has been listed.
    bool Step(TFolderScan& Result);

private:
    std::vector<std::wstring> Waiting; // the next folder last
};

// The platform's side (src/platform).
struct TFolderEntry {
    std::wstring Name;
    bool IsFolder = false;
    bool IsLink = false;   // a symbolic link or junction
    bool IsHidden = false; // hidden or system
    int64_t Size = -1;     // bytes of a plain file; -1 for folders and links
};
// The entries of Folder, without "." and "..", in any order. False, with the system's error code
// in Error, when the folder cannot be read.
bool ListFolder(const std::wstring& Folder, std::vector<TFolderEntry>& Entries, uint32_t& Error);
// True when Path names a folder (or a link to one).
bool IsFolder(const std::wstring& Path);
