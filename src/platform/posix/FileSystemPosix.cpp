// File queries and changes over lstat, stat, unlink and mkdir.
#include "FileSystem.h"
#include "TextConversion.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
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
