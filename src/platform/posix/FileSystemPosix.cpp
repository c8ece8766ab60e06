// File queries over lstat.
#include "FileSystem.h"
#include "posix/Utf8.h"

#include <sys/stat.h>

bool PathExists(const std::wstring& Path) {
    // lstat, not stat: a dangling link would still send the converter's output somewhere.
    struct stat info;
    return ::lstat(ToUtf8(Path).c_str(), &info) == 0;
}
