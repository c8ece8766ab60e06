// File queries over GetFileAttributesW.
#include "FileSystem.h"
#include "LongPath.h"

#include <windows.h>

namespace {

// An entry the attributes cannot be read for (one being deleted, for example) can still be
// listed by its folder.
bool FolderListsEntry(const std::wstring& Path) {
    if (Path.find_first_of(L"*?") != std::wstring::npos)
        return false; // would be taken as a pattern
    WIN32_FIND_DATAW data;
    HANDLE search = ::FindFirstFileW(ExtendedLengthPath(Path).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(search);
    return true;
}

} // namespace

bool PathExists(const std::wstring& Path) {
    if (::GetFileAttributesW(ExtendedLengthPath(Path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    switch (::GetLastError()) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return true; // only an entry that is there can be in use
    case ERROR_ACCESS_DENIED:
        return FolderListsEntry(Path);
    default:
        // Not found, bad name, no such drive: nothing is in the way; the converter reports what
        // it cannot write.
        return false;
    }
}
