// Folder listing over opendir and lstat.
#include "FolderScan.h"
#include "TextConversion.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

struct TDirHandle {
    DIR* Handle;
    ~TDirHandle() {
        if (Handle)
            ::closedir(Handle);
    }
};

} // namespace

bool ListFolder(const std::wstring& Folder, std::vector<TFolderEntry>& Entries,
                TFolderIdentity& Identity, uint32_t& Error) {
    Entries.clear();
    Identity = {};
    std::string Path = ToUtf8(Folder);
    TDirHandle Dir{::opendir(Path.c_str())};
    if (!Dir.Handle) {
        Error = static_cast<uint32_t>(errno);
        return false;
    }
    // The folder opened, not the name: a link has been followed by now.
    if (struct stat Self; ::fstat(::dirfd(Dir.Handle), &Self) == 0)
        Identity = {static_cast<uint64_t>(Self.st_dev), 0, static_cast<uint64_t>(Self.st_ino),
                    true};
    if (!Path.empty() && Path.back() != '/')
        Path += '/';
    errno = 0;
    while (dirent* Item = ::readdir(Dir.Handle)) {
        if (std::strcmp(Item->d_name, ".") == 0 || std::strcmp(Item->d_name, "..") == 0)
            continue;
        TFolderEntry Entry;
        Entry.Name = FromUtf8(Item->d_name);
        Entry.IsHidden = Item->d_name[0] == '.';
        struct stat Info;
        const std::string Full = Path + Item->d_name;
        const bool Known = ::lstat(Full.c_str(), &Info) == 0;
        if (Known && S_ISLNK(Info.st_mode)) {
            Entry.IsLink = true;
            Entry.IsFolder = ::stat(Full.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode);
        } else {
            Entry.IsFolder = Known && S_ISDIR(Info.st_mode);
            if (Known && S_ISREG(Info.st_mode))
                Entry.Size = static_cast<int64_t>(Info.st_size);
        }
        Entries.push_back(std::move(Entry));
        errno = 0;
    }
    if (errno != 0) {
        Error = static_cast<uint32_t>(errno);
        return false;
    }
    Error = 0;
    return true;
}

bool IsFolder(const std::wstring& Path) {
    struct stat Info;
    return ::stat(ToUtf8(Path).c_str(), &Info) == 0 && S_ISDIR(Info.st_mode);
}
