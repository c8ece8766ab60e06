// Wide text to the UTF-8 bytes that POSIX file and process calls take.
#pragma once

#include <cstdint>
#include <string>

inline std::string ToUtf8(const std::wstring& Text) {
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

// UTF-8 bytes (paths, system messages) to wide text.
inline std::wstring FromUtf8(const std::string& Bytes) {
    std::wstring text;
    for (size_t i = 0; i < Bytes.size();) {
        auto c = static_cast<unsigned char>(Bytes[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < Bytes.size(); ++k)
            code = code << 6 | (static_cast<unsigned char>(Bytes[i + k]) & 0x3F);
        text += static_cast<wchar_t>(code);
        i += 1 + extra;
    }
    return text;
}
