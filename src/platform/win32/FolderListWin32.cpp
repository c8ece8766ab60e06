// Folder listing over FindFirstFileExW; paths reach the system through Win32FilePath.
#include "FolderScan.h"

#include "win32/UniqueHandle.h"
#include "win32/Win32Path.h"

#include <windows.h>

bool ListFolder(const std::wstring& Folder, std::vector<TFolderEntry>& Entries, uint32_t& Error) {
    Entries.clear();
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
