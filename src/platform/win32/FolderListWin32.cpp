// Folder listing over FindFirstFileExW; paths reach the system through Win32FilePath.
#include "FolderScan.h"

#include "win32/UniqueHandle.h"
#include "win32/Win32Path.h"

#include <cstring>

#include <windows.h>

namespace {

// FILE_ID_INFO and its class (Windows 8 and later), which the headers show only to programs that
// require Windows 8; on an older system the call fails and the classic index serves.
struct TFileIdInfo {
    ULONGLONG VolumeSerialNumber;
    BYTE Identifier[16];
};
constexpr auto FileIdInfoClass = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);

// The folder's volume and number, read through a handle that follows links and junctions to the
// folder they lead to. The 128-bit id first (ReFS numbers do not fit 64 bits), the classic index
// where that is not offered. All zeros is what some network file systems give: not an identity.
TFolderIdentity IdentityOf(const std::wstring& Folder) {
    TFolderIdentity Identity;
    UniqueFileHandle Handle(::CreateFileW(Win32FilePath(Folder).c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr));
    if (!Handle)
        return Identity;
    TFileIdInfo Id{};
    BY_HANDLE_FILE_INFORMATION Info{};
    if (::GetFileInformationByHandleEx(Handle.get(), FileIdInfoClass, &Id, sizeof(Id))) {
        uint64_t Halves[2];
        static_assert(sizeof(Halves) == sizeof(Id.Identifier));
        std::memcpy(Halves, Id.Identifier, sizeof(Halves));
        Identity = {Id.VolumeSerialNumber, Halves[1], Halves[0], true};
    } else if (::GetFileInformationByHandle(Handle.get(), &Info)) {
        Identity = {Info.dwVolumeSerialNumber, 0,
                    uint64_t{Info.nFileIndexHigh} << 32 | Info.nFileIndexLow, true};
    }
    Identity.Known = Identity.Known && (Identity.FileHigh != 0 || Identity.FileLow != 0);
    return Identity;
}

} // namespace

bool ListFolder(const std::wstring& Folder, std::vector<TFolderEntry>& Entries,
                TFolderIdentity& Identity, uint32_t& Error) {
    Entries.clear();
    Identity = IdentityOf(Folder);
    std::wstring Pattern = Folder;
    if (Pattern.empty() || (Pattern.back() != L'\\' && Pattern.back() != L'/'))
        Pattern += L'\\';
    Pattern += L'*';
    // The pattern counts towards the limit as well.
    WIN32_FIND_DATAW Data;
    UniqueFindHandle Search(::FindFirstFileExW(Win32FilePath(Pattern).c_str(), FindExInfoBasic,
                                               &Data, FindExSearchNameMatch, nullptr, 0));
    if (!Search) {
        Error = ::GetLastError();
        // An empty drive root has not even "." to report.
        if (Error == ERROR_FILE_NOT_FOUND)
            return true;
        return false;
    }
    do {
        std::wstring Name = Data.cFileName;
        if (Name == L"." || Name == L"..")
            continue;
        TFolderEntry Entry;
        Entry.Name = std::move(Name);
        Entry.IsFolder = (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        Entry.IsLink = (Data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        Entry.IsHidden =
            (Data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        if (!Entry.IsFolder && !Entry.IsLink)
            Entry.Size =
                static_cast<int64_t>(uint64_t{Data.nFileSizeHigh} << 32 | Data.nFileSizeLow);
        Entries.push_back(std::move(Entry));
    } while (::FindNextFileW(Search.get(), &Data));
    Error = ::GetLastError();
    if (Error != ERROR_NO_MORE_FILES)
        return false;
    Error = 0;
    return true;
}

bool IsFolder(const std::wstring& Path) {
    DWORD Attributes = ::GetFileAttributesW(Win32FilePath(Path).c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
}
