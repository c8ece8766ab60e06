// File queries and changes over GetFileAttributesW, DeleteFileW and CreateDirectoryW. Every path
// reaches the system through Win32FilePath, so paths of any length work.
#include "FileSystem.h"

#include "win32/FullPath.h"
#include "win32/UniqueHandle.h"
#include "win32/Win32Path.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// An entry the attributes cannot be read for (one being deleted, for example) can still be
// listed by its folder.
bool FolderListsEntry(const std::wstring& Path) {
    if (Path.find_first_of(L"*?") != std::wstring::npos)
        return false; // would be taken as a pattern
    WIN32_FIND_DATAW data;
    UniqueFindHandle Search(::FindFirstFileW(Win32FilePath(Path).c_str(), &data));
    return static_cast<bool>(Search);
}

// The system's own words for an error code, without the line break it ends with.
std::wstring SystemMessage(DWORD Code) {
    wchar_t* buffer = nullptr;
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, Code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length > 0 && buffer ? std::wstring(buffer, length) : std::wstring();
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    if (text.empty())
        text = L"error " + std::to_wstring(Code);
    return text;
}

bool IsDelimiter(wchar_t C) {
    return C == L'\\' || C == L'/';
}

// Where the first component that may have to be created starts: after "X:\", after the share
// of "\\server\share\", after a leading delimiter.
size_t FirstCreatable(const std::wstring& Path) {
    if (Path.size() >= 2 && IsDelimiter(Path[0]) && IsDelimiter(Path[1])) {
        size_t server = Path.find_first_of(L"\\/", 2);
        if (server == std::wstring::npos)
            return Path.size();
        size_t share = Path.find_first_of(L"\\/", server + 1);
        return share == std::wstring::npos ? Path.size() : share + 1;
    }
    if (Path.size() >= 2 && Path[1] == L':')
        return Path.size() >= 3 && IsDelimiter(Path[2]) ? 3 : 2;
    return !Path.empty() && IsDelimiter(Path[0]) ? 1 : 0;
}

} // namespace

std::wstring ExecutableFolder() {
    std::wstring Path(MAX_PATH, L'\0');
    for (;;) {
        DWORD Length = GetModuleFileNameW(nullptr, Path.data(), static_cast<DWORD>(Path.size()));
        if (Length < Path.size()) {
            Path.resize(Length);
            break;
        }
        Path.resize(Path.size() * 2);
    }
    return Path.substr(0, Path.find_last_of(L"\\/:") + 1);
}

bool PathExists(const std::wstring& Path) {
    if (::GetFileAttributesW(Win32FilePath(Path).c_str()) != INVALID_FILE_ATTRIBUTES)
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

bool DirectoryExists(const std::wstring& Path) {
    DWORD attributes = ::GetFileAttributesW(Win32FilePath(Path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileHasContent(const std::wstring& Path) {
    // Attributes come from the folder's entry, so a file held open by another program is read.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(Win32FilePath(Path).c_str(), GetFileExInfoStandard, &data))
        return false;
    return !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (data.nFileSizeHigh != 0 || data.nFileSizeLow != 0);
}

bool FileSize(const std::wstring& Path, int64_t& Size, uint32_t& SystemError) {
    Size = 0;
    SystemError = 0;
    // Read access alone, shared with every other use, so read-only and busy files are read too.
    UniqueFileHandle File(::CreateFileW(Win32FilePath(Path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER Bytes;
    if (!File || !::GetFileSizeEx(File.get(), &Bytes)) {
        SystemError = ::GetLastError();
        return false;
    }
    Size = Bytes.QuadPart;
    return true;
}

bool FreeSpace(const std::wstring& Folder, uint64_t& Bytes) {
    ULARGE_INTEGER available;
    if (!::GetDiskFreeSpaceExW(Win32FilePath(IncludeTrailingPathDelimiter(Folder)).c_str(),
                               &available, nullptr, nullptr))
        return false;
    Bytes = available.QuadPart;
    return true;
}

std::wstring OpenablePath(const std::wstring& Path) {
    return Win32FilePath(Path);
}

bool RemoveFile(const std::wstring& Path) {
    // A converter that was just terminated may still hold the file for a moment while the
    // system closes its handles.
    const std::wstring Target = Win32FilePath(Path);
    for (int attempt = 0;; ++attempt) {
        if (::DeleteFileW(Target.c_str()))
            return true;
        const DWORD error = ::GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || attempt == 10)
            return false;
        if (DirectoryExists(Path))
            return false;
        ::Sleep(50);
    }
}

bool CreateDirectories(const std::wstring& Path, std::wstring& SystemReason) {
    SystemReason.clear();
    for (size_t end = Path.find_first_of(L"\\/", FirstCreatable(Path));;
         end = Path.find_first_of(L"\\/", end + 1)) {
        const std::wstring prefix = Path.substr(0, end);
        if (!prefix.empty() && !IsDelimiter(prefix.back()) && !DirectoryExists(prefix) &&
            !::CreateDirectoryW(Win32FilePath(prefix).c_str(), nullptr)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_ALREADY_EXISTS || !DirectoryExists(prefix)) {
                SystemReason = SystemMessage(error);
                return false;
            }
        }
        if (end == std::wstring::npos)
            break;
    }
    if (DirectoryExists(Path))
        return true;
    SystemReason = SystemMessage(ERROR_DIRECTORY);
    return false;
}

// Exclusive create and no-replace rename: CreateFileW with CREATE_NEW, MoveFileExW without
// MOVEFILE_REPLACE_EXISTING.
namespace {

// A name held by a file being deleted, or by a folder, can come back as "access denied".
TFileClaim ClaimFailure(DWORD Error, const std::wstring& Path, std::wstring& SystemReason) {
    if (Error == ERROR_FILE_EXISTS || Error == ERROR_ALREADY_EXISTS ||
        (Error == ERROR_ACCESS_DENIED && PathExists(Path)))
        return TFileClaim::NameTaken;
    SystemReason = SystemMessage(Error);
    return TFileClaim::Failed;
}

} // namespace

TFileClaim CreateNewFile(const std::wstring& Path, std::wstring& SystemReason) {
    SystemReason.clear();
    const UniqueFileHandle file(::CreateFileW(Win32FilePath(Path).c_str(), GENERIC_WRITE, 0,
                                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        return TFileClaim::Done; // closed on the way out
    return ClaimFailure(::GetLastError(), Path, SystemReason);
}

TFileClaim RenameNoReplace(const std::wstring& From, const std::wstring& To,
                           std::wstring& SystemReason) {
    SystemReason.clear();
    const std::wstring from = Win32FilePath(From);
    const std::wstring to = Win32FilePath(To);
    // A converter that has just ended, or a virus scanner looking at the new file, may hold it
    // for a moment.
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(from.c_str(), to.c_str(), 0))
            return TFileClaim::Done;
        const DWORD error = ::GetLastError();
        if (error != ERROR_SHARING_VIOLATION || attempt == 10)
            return ClaimFailure(error, To, SystemReason);
        ::Sleep(50);
    }
}

bool TryRemoveFile(const std::wstring& Path) {
    if (::DeleteFileW(Win32FilePath(Path).c_str()))
        return true;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || DirectoryExists(Path);
}

// The hold and the publishing through it: CreateFileW without FILE_SHARE_DELETE, FlushFileBuffers,
// SetFileInformationByHandle(FileRenameInfo) with ReplaceIfExists FALSE.
namespace {

HANDLE HandleOf(intptr_t Value) {
    return reinterpret_cast<HANDLE>(Value);
}

bool IdentityOf(HANDLE File, uint64_t& Volume, uint64_t& Number) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(File, &info))
        return false;
    Volume = info.dwVolumeSerialNumber;
    Number = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return true;
}

// The hold reads, and shares reading and writing: the converter opens the file for writing with
// reading and writing shared, and would be refused by a hold that asked for DELETE access or did
// not share writing. Not sharing deletion is what keeps every other program from deleting or
// renaming the file.
constexpr DWORD HoldAccess = GENERIC_READ;
constexpr DWORD HoldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Opens Path again as the hold, when it is still the file recorded.
HANDLE Rehold(const std::wstring& Path, uint64_t Volume, uint64_t Number) {
    UniqueFileHandle file(::CreateFileW(Win32FilePath(Path).c_str(), HoldAccess, HoldSharing,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    uint64_t volume = 0, number = 0;
    if (!file || !IdentityOf(file.get(), volume, number) || volume != Volume || number != Number)
        return INVALID_HANDLE_VALUE;
    return file.release();
}

// The native form of a full path, as a rename by handle takes it: "\??\C:\...", "\??\UNC\...".
std::wstring NativePath(const std::wstring& Path) {
    std::wstring full = Win32FilePath(Path);
    if (!full.starts_with(L"\\\\?\\")) {
        if (std::wstring whole = FullPathName(full); !whole.empty())
            full = std::move(whole);
        if (full.starts_with(L"\\\\"))
            return L"\\??\\UNC\\" + full.substr(2);
        return L"\\??\\" + full;
    }
    return L"\\??\\" + full.substr(4);
}

bool IsBusy(DWORD Error) {
    return Error == ERROR_SHARING_VIOLATION || Error == ERROR_LOCK_VIOLATION ||
           Error == ERROR_ACCESS_DENIED;
}

} // namespace

void THeldFile::Release() {
    if (Handle != -1)
        ::CloseHandle(HandleOf(std::exchange(Handle, -1)));
}

TFileClaim CreateHeldFile(const std::wstring& Path, THeldFile& Held, std::wstring& SystemReason) {
    SystemReason.clear();
    Held = THeldFile();
    UniqueFileHandle file(::CreateFileW(Win32FilePath(Path).c_str(), HoldAccess, HoldSharing,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ClaimFailure(::GetLastError(), Path, SystemReason);
    IdentityOf(file.get(), Held.VolumeId, Held.FileId);
    Held.Handle = reinterpret_cast<intptr_t>(file.release());
    return TFileClaim::Done;
}

TFileClaim PublishHeldFile(THeldFile& Held, const std::wstring& From, const std::wstring& To,
                           std::wstring& SystemReason) {
    SystemReason.clear();
    // Renaming needs DELETE access, which the hold's own sharing refuses: it is let go for the
    // moment between, and the file opened then must prove to be the one the hold had.
    Held.Release();
    auto fail = [&](DWORD Error, TFileClaim Claim) {
        if (Held.FileId != 0 || Held.VolumeId != 0)
            Held.Handle = reinterpret_cast<intptr_t>(Rehold(From, Held.VolumeId, Held.FileId));
        if (Claim != TFileClaim::NameTaken)
            SystemReason = SystemMessage(Error);
        return Claim;
    };
    // Sharing reading alone: nobody writes, deletes or renames it while it is published.
    UniqueFileHandle file(::CreateFileW(Win32FilePath(From).c_str(),
                                        DELETE | GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        return fail(error, IsBusy(error) ? TFileClaim::Busy : TFileClaim::Failed);
    }
    uint64_t volume = 0, number = 0;
    if ((Held.FileId != 0 || Held.VolumeId != 0) &&
        (!IdentityOf(file.get(), volume, number) || volume != Held.VolumeId ||
         number != Held.FileId)) {
        // Another file stands under the partial name: it is not ours to publish or to touch.
        file.reset();
        Held = THeldFile();
        SystemReason = SystemMessage(ERROR_FILE_NOT_FOUND);
        return TFileClaim::Failed;
    }
    if (!::FlushFileBuffers(file.get())) {
        const DWORD error = ::GetLastError();
        file.reset();
        return fail(error, TFileClaim::Failed);
    }
    const std::wstring target = NativePath(To);
    const size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(rename->FileName, target.c_str(), nameBytes);
    if (!::SetFileInformationByHandle(file.get(), FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size()))) {
        const DWORD error = ::GetLastError();
        file.reset();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
            (error == ERROR_ACCESS_DENIED && PathExists(To)))
            return fail(error, TFileClaim::NameTaken);
        return fail(error, IsBusy(error) ? TFileClaim::Busy : TFileClaim::Failed);
    }
    // As MOVEFILE_WRITE_THROUGH does: the rename reaches the disk before the file counts as
    // published.
    ::FlushFileBuffers(file.get());
    Held = THeldFile();
    return TFileClaim::Done;
}

// The saved list's files: identities, whole-file reads and flushed writes, a replacing rename and
// the owner's lock file.

bool FileIdentity(const std::wstring& Path, TFileIdentity& Identity) {
    // No access asked beyond the attributes, shared with everything: a converter writing the
    // file does not stop the question, and the question does not disturb it.
    const UniqueFileHandle file(::CreateFileW(
        Win32FilePath(Path).c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !::GetFileInformationByHandle(file.get(), &info))
        return false;
    Identity.Volume = info.dwVolumeSerialNumber;
    Identity.Index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool ReadWholeFile(const std::wstring& Path, std::string& Bytes) {
    Bytes.clear();
    const UniqueFileHandle file(::CreateFileW(Win32FilePath(Path).c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x40000000)
        return false;
    Bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < Bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(Bytes.size() - done, 1 << 20));
        if (!::ReadFile(file.get(), Bytes.data() + done, want, &got, nullptr) || got == 0)
            return false;
        done += got;
    }
    return true;
}

bool WriteFileFlushed(const std::wstring& Path, const std::string& Bytes,
                      std::wstring& SystemReason) {
    SystemReason.clear();
    const UniqueFileHandle file(::CreateFileW(Win32FilePath(Path).c_str(), GENERIC_WRITE, 0,
                                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                              nullptr));
    bool written = static_cast<bool>(file);
    for (size_t done = 0; written && done < Bytes.size();) {
        DWORD put = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(Bytes.size() - done, 1 << 20));
        written = ::WriteFile(file.get(), Bytes.data() + done, want, &put, nullptr) && put > 0;
        done += put;
    }
    if (written && ::FlushFileBuffers(file.get()))
        return true;
    SystemReason = SystemMessage(::GetLastError());
    return false;
}

bool RenameReplacing(const std::wstring& From, const std::wstring& To, std::wstring& SystemReason) {
    SystemReason.clear();
    if (::MoveFileExW(Win32FilePath(From).c_str(), Win32FilePath(To).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    SystemReason = SystemMessage(::GetLastError());
    return false;
}

TFileLock& TFileLock::operator=(TFileLock&& Other) noexcept {
    if (this != &Other) {
        Release();
        Handle = std::exchange(Other.Handle, -1);
        Path = std::move(Other.Path);
    }
    return *this;
}

bool TFileLock::Acquire(const std::wstring& LockPath) {
    Release();
    // No sharing at all: while this handle is open, every other open of the name fails. The
    // system closes it when the process ends, and deleting on close takes the file with it.
    HANDLE file =
        ::CreateFileW(Win32FilePath(LockPath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    Handle = reinterpret_cast<intptr_t>(file);
    Path = LockPath;
    return true;
}

void TFileLock::Release() {
    if (Handle == -1)
        return;
    ::CloseHandle(reinterpret_cast<HANDLE>(std::exchange(Handle, -1)));
    Path.clear();
}
