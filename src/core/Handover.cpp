#include "Handover.h"

#include <cstring>

namespace {

// wchar_t holds UTF-16 on Windows and UTF-32 elsewhere; the block is UTF-16 on both.
void AppendUtf16(std::u16string& Block, wchar_t C) {
    const auto Code = static_cast<char32_t>(C);
    if (sizeof(wchar_t) == 4 && Code > 0xFFFF && Code <= 0x10FFFF) {
        Block += static_cast<char16_t>(0xD800 + ((Code - 0x10000) >> 10));
        Block += static_cast<char16_t>(0xDC00 + ((Code - 0x10000) & 0x3FF));
    } else {
        Block += static_cast<char16_t>(Code);
    }
}

std::wstring FromUtf16(const std::u16string& Units) {
    std::wstring Text;
    for (size_t i = 0; i < Units.size(); ++i) {
        const char16_t Unit = Units[i];
        if (sizeof(wchar_t) == 4 && Unit >= 0xD800 && Unit < 0xDC00 && i + 1 < Units.size() &&
            Units[i + 1] >= 0xDC00 && Units[i + 1] < 0xE000) {
            Text +=
                static_cast<wchar_t>(0x10000 + ((Unit - 0xD800) << 10) + (Units[i + 1] - 0xDC00));
            ++i;
        } else {
            Text += static_cast<wchar_t>(Unit);
        }
    }
    return Text;
}

} // namespace

std::u16string EncodeHandover(const std::vector<std::wstring>& Paths) {
    std::u16string Block;
    for (const std::wstring& Path : Paths) {
        for (wchar_t C : Path)
            AppendUtf16(Block, C);
        Block += u'\0';
    }
    return Block;
}

std::optional<std::vector<std::wstring>> DecodeHandover(const void* Data, size_t Bytes) {
    if (Bytes % sizeof(char16_t) != 0 || (Bytes > 0 && !Data))
        return std::nullopt;
    std::u16string Units(Bytes / sizeof(char16_t), u'\0');
    if (Bytes > 0)
        std::memcpy(Units.data(), Data, Bytes);
    if (!Units.empty() && Units.back() != u'\0')
        return std::nullopt;
    std::vector<std::wstring> Paths;
    size_t Start = 0;
    for (size_t End = Units.find(u'\0'); End != std::u16string::npos;
         Start = End + 1, End = Units.find(u'\0', Start)) {
        if (End > Start)
            Paths.push_back(FromUtf16(Units.substr(Start, End - Start)));
    }
    return Paths;
}
