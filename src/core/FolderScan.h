// Finding the WebM files in a folder and its subfolders, in the order a person reads them in the
// file manager.
#pragma once

#include <compare>
#include <cstdint>
#include <set>
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
// leaves them out. Links to folders (symbolic links, junctions) are followed as the file manager
// opens them, but every folder is listed once however it is reached: one already entered (a link
// or a share's own link back to an ancestor, a second link to the same place) is passed over, so
// a tree whose links loop still ends. A link is followed only where the system tells the
// identity of the folder it leads to.
TFolderScan FindWebMFiles(const std::wstring& Folder);

// Which folder a listing read, however it was reached: the volume and the folder's number on it
// (volume serial number and file index or file id on Windows, st_dev and st_ino elsewhere).
struct TFolderIdentity {
    uint64_t Volume = 0;
    uint64_t FileHigh = 0; // the high half of a 128-bit file id (ReFS), else 0
    uint64_t FileLow = 0;
    bool Known = false; // false when the system did not tell (some network file systems)
    auto operator<=>(const TFolderIdentity&) const = default;
};

// One entry of a folder listing (the platform's side, src/platform).
struct TFolderEntry {
    std::wstring Name;
    bool IsFolder = false;
    bool IsLink = false;   // a symbolic link or junction
    bool IsHidden = false; // hidden or system
    int64_t Size = -1;     // bytes of a plain file; -1 for folders and links
};
// The entries of Folder, without "." and "..", in any order, and the identity of the folder read
// (links followed). False, with the system's error code in Error, when the folder cannot be read.
bool ListFolder(const std::wstring& Folder, std::vector<TFolderEntry>& Entries,
                TFolderIdentity& Identity, uint32_t& Error);
// How a walk lists one folder: ListFolder, or a stand-in in tests.
using TListFolder = decltype(&ListFolder);

// The same walk one folder at a time, so that a caller can do other work between folders.
class TFolderWalk {
public:
    explicit TFolderWalk(std::wstring Folder, TListFolder List = ListFolder)
        : List(List), Waiting{{std::move(Folder), false}} {}
    // Lists the next folder into Result (its WebM files appended, or it noted as unreadable); its
    // subfolders come next. A folder already entered is passed over, adding nothing. False, with
    // Result untouched, once every folder has been listed.
    bool Step(TFolderScan& Result);

private:
    struct TWaiting {
        std::wstring Path;
        bool ThroughLink; // reached through a link: entered only when its identity is known
    };
    TListFolder List;
    std::vector<TWaiting> Waiting; // the next folder last
    std::set<TFolderIdentity> Entered;
};

// True when Path names a folder (or a link to one).
bool IsFolder(const std::wstring& Path);
