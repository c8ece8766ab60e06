// File queries over lstat.
#include "FileSystem.h"

#include <cstdint>
#include <sys/stat.h>

namespace {

// File names are UTF-8 on the systems this build runs on, whatever the process's locale says.
std::string ToUtf8(const std::wstring& Text) {
    std::string out;
    for (wchar_t wc : Text) {
        auto c = static_cast<uint32_t>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

bool PathExists(const std::wstring& Path) {
    // lstat, not stat: a dangling link would still send the converter's output somewhere.
    struct stat info;
    return ::lstat(ToUtf8(Path).c_str(), &info) == 0;
}
