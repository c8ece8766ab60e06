// File queries and changes over lstat, stat, unlink, mkdir, open and renameat2.
#include "FileSystem.h"
#include "TextConversion.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

std::wstring ExecutableFolder() {
    std::string Path(4096, '\0');
    ssize_t Length = ::readlink("/proc/self/exe", Path.data(), Path.size());
    Path.resize(Length > 0 ? static_cast<size_t>(Length) : 0);
    return FromUtf8(Path.substr(0, Path.rfind('/') + 1));
}

bool PathExists(const std::wstring& Path) {
    // lstat, not stat: a dangling link would still send the converter's output somewhere.
    struct stat info;
    return ::lstat(ToUtf8(Path).c_str(), &info) == 0;
}

bool DirectoryExists(const std::wstring& Path) {
    struct stat info;
    return ::stat(ToUtf8(Path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool FileHasContent(const std::wstring& Path) {
    struct stat info;
    return ::stat(ToUtf8(Path).c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

bool FileSize(const std::wstring& Path, int64_t& Size, uint32_t& SystemError) {
    Size = 0;
    SystemError = 0;
    struct stat info;
    if (::stat(ToUtf8(Path).c_str(), &info) != 0) {
        SystemError = static_cast<uint32_t>(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        SystemError = EISDIR;
        return false;
    }
    Size = info.st_size;
    return true;
}

bool FreeSpace(const std::wstring& Folder, uint64_t& Bytes) {
    struct statvfs info;
    if (::statvfs(ToUtf8(Folder).c_str(), &info) != 0)
        return false;
    Bytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
    return true;
}

std::wstring OpenablePath(const std::wstring& Path) {
    return Path;
}

bool RemoveFile(const std::wstring& Path) {
    const std::string path = ToUtf8(Path);
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return false;
    return ::unlink(path.c_str()) == 0;
}

bool CreateDirectories(const std::wstring& Path, std::wstring& SystemReason) {
    SystemReason.clear();
    const std::string path = ToUtf8(Path);
    // Each prefix ending before a "/", then the whole path; existing ones are passed over.
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string prefix = path.substr(0, end);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
            SystemReason = FromUtf8(std::strerror(errno));
            return false;
        }
        if (end == std::string::npos)
            break;
    }
    if (DirectoryExists(Path))
        return true;
    SystemReason = FromUtf8(std::strerror(ENOTDIR)); // a file stands where the folder should be
    return false;
}

TFileClaim CreateNewFile(const std::wstring& Path, std::wstring& SystemReason) {
    SystemReason.clear();
    // O_EXCL also refuses a dangling link, which would otherwise send the file elsewhere.
    const int fd = ::open(ToUtf8(Path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        ::close(fd);
        return TFileClaim::Done;
    }
    if (errno == EEXIST)
        return TFileClaim::NameTaken;
    SystemReason = FromUtf8(std::strerror(errno));
    return TFileClaim::Failed;
}

namespace {

// For file systems without an atomic no-replace rename: a hard link is refused when the name is
// taken, and only once it stands is the old name removed.
TFileClaim RenameByLink(const std::string& From, const std::string& To,
                        std::wstring& SystemReason) {
    if (::link(From.c_str(), To.c_str()) != 0) {
        if (errno == EEXIST)
            return TFileClaim::NameTaken;
        SystemReason = FromUtf8(std::strerror(errno));
        return TFileClaim::Failed;
    }
    ::unlink(From.c_str());
    return TFileClaim::Done;
}

} // namespace

TFileClaim RenameNoReplace(const std::wstring& From, const std::wstring& To,
                           std::wstring& SystemReason) {
    SystemReason.clear();
    const std::string from = ToUtf8(From);
    const std::string to = ToUtf8(To);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return TFileClaim::Done;
    switch (errno) {
    case EEXIST:
        return TFileClaim::NameTaken;
    case EINVAL: // the file system does not offer the flag
    case ENOSYS:
    case ENOTSUP:
        return RenameByLink(from, to, SystemReason);
    default:
        SystemReason = FromUtf8(std::strerror(errno));
        return TFileClaim::Failed;
    }
}

bool TryRemoveFile(const std::wstring& Path) {
    const std::string path = ToUtf8(Path);
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR;
    return S_ISDIR(info.st_mode) || ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

// The hold is an open descriptor: it records the file's identity and lets it be flushed, but
// holds nothing back from other programs.
void THeldFile::Release() {
    if (Handle != -1)
        ::close(static_cast<int>(std::exchange(Handle, -1)));
}

TFileClaim CreateHeldFile(const std::wstring& Path, THeldFile& Held, std::wstring& SystemReason) {
    SystemReason.clear();
    Held = THeldFile();
    const int fd = ::open(ToUtf8(Path).c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            return TFileClaim::NameTaken;
        SystemReason = FromUtf8(std::strerror(errno));
        return TFileClaim::Failed;
    }
    struct stat info;
    if (::fstat(fd, &info) == 0) {
        Held.VolumeId = static_cast<uint64_t>(info.st_dev);
        Held.FileId = static_cast<uint64_t>(info.st_ino);
    }
    Held.Handle = fd;
    return TFileClaim::Done;
}

TFileClaim PublishHeldFile(THeldFile& Held, const std::wstring& From, const std::wstring& To,
                           std::wstring& SystemReason) {
    SystemReason.clear();
    const std::string from = ToUtf8(From);
    auto failure = [&](int Error) {
        SystemReason = FromUtf8(std::strerror(Error));
        return Error == EBUSY || Error == ETXTBSY ? TFileClaim::Busy : TFileClaim::Failed;
    };
    const int fd =
        Held.IsHeld() ? static_cast<int>(Held.Handle) : ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failure(errno);
    struct stat atName, held;
    const bool same = ::stat(from.c_str(), &atName) == 0 && ::fstat(fd, &held) == 0 &&
                      atName.st_dev == held.st_dev && atName.st_ino == held.st_ino &&
                      (Held.FileId == 0 || (static_cast<uint64_t>(held.st_dev) == Held.VolumeId &&
                                            static_cast<uint64_t>(held.st_ino) == Held.FileId));
    const int flushed = same ? ::fsync(fd) : 0;
    const int flushError = errno;
    if (!Held.IsHeld())
        ::close(fd);
    if (!same) {
        // Another file stands under the partial name: it is not ours to publish or to touch.
        Held = THeldFile();
        return failure(ENOENT);
    }
    if (flushed != 0)
        return failure(flushError);
    const TFileClaim claim = RenameNoReplace(From, To, SystemReason);
    if (claim != TFileClaim::Done)
        return claim;
    // The rename is the folder's change: flushing the folder writes it through.
    const size_t slash = from.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : from.substr(0, slash + 1);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    Held = THeldFile();
    return TFileClaim::Done;
}

bool FileIdentity(const std::wstring& Path, TFileIdentity& Identity) {
    struct stat info;
    if (::lstat(ToUtf8(Path).c_str(), &info) != 0)
        return false;
    Identity.Volume = static_cast<uint64_t>(info.st_dev);
    Identity.Index = static_cast<uint64_t>(info.st_ino);
    return true;
}

bool ReadWholeFile(const std::wstring& Path, std::string& Bytes) {
    Bytes.clear();
    const int fd = ::open(ToUtf8(Path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[65536];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        Bytes.append(buffer, static_cast<size_t>(got));
    ::close(fd);
    return got == 0;
}

bool WriteFileFlushed(const std::wstring& Path, const std::string& Bytes,
                      std::wstring& SystemReason) {
    SystemReason.clear();
    const int fd = ::open(ToUtf8(Path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    bool written = fd >= 0;
    for (size_t done = 0; written && done < Bytes.size();) {
        const ssize_t put = ::write(fd, Bytes.data() + done, Bytes.size() - done);
        written = put > 0;
        done += written ? static_cast<size_t>(put) : 0;
    }
    written = written && ::fsync(fd) == 0;
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!written)
        SystemReason = FromUtf8(std::strerror(error));
    return written;
}

bool RenameReplacing(const std::wstring& From, const std::wstring& To, std::wstring& SystemReason) {
    SystemReason.clear();
    if (::rename(ToUtf8(From).c_str(), ToUtf8(To).c_str()) == 0)
        return true;
    SystemReason = FromUtf8(std::strerror(errno));
    return false;
}

TFileLock& TFileLock::operator=(TFileLock&& Other) noexcept {
    if (this != &Other) {
        Release();
        Handle = Other.Handle;
        Other.Handle = -1;
        Path = std::move(Other.Path);
    }
    return *this;
}

bool TFileLock::Acquire(const std::wstring& LockPath) {
    Release();
    // flock belongs to the open file: a second open, in this process or another, is refused
    // while this one holds it, and the system lets it go when the process ends.
    const int fd = ::open(ToUtf8(LockPath).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    Handle = fd;
    Path = LockPath;
    return true;
}

void TFileLock::Release() {
    if (Handle == -1)
        return;
    // Removed while still held, so no one takes a name that is about to vanish.
    ::unlink(ToUtf8(Path).c_str());
    ::close(static_cast<int>(Handle));
    Handle = -1;
    Path.clear();
}
