#include "TextConversion.h"

#include <cstdint>

namespace {

constexpr char32_t Replacement = 0xFFFD;

void AppendUtf8(std::string& Out, char32_t C) {
    if (C < 0x80) {
        Out += static_cast<char>(C);
    } else if (C < 0x800) {
        Out += static_cast<char>(0xC0 | (C >> 6));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    } else if (C < 0x10000) {
        Out += static_cast<char>(0xE0 | (C >> 12));
        Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    } else {
        Out += static_cast<char>(0xF0 | (C >> 18));
        Out += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
        Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    }
}

void AppendWide(std::wstring& Out, char32_t C) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (C >= 0x10000) {
            C -= 0x10000;
            Out += static_cast<wchar_t>(0xD800 + (C >> 10));
            Out += static_cast<wchar_t>(0xDC00 + (C & 0x3FF));
            return;
        }
    }
    Out += static_cast<wchar_t>(C);
}

} // namespace

std::string ToUtf8(std::wstring_view Text) {
    std::string Out;
    Out.reserve(Text.size());
    for (size_t i = 0; i < Text.size(); ++i) {
        auto C = static_cast<char32_t>(Text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (C >= 0xD800 && C < 0xDC00 && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 &&
                Text[i + 1] < 0xE000) {
                C = 0x10000 + ((C - 0xD800) << 10) + (static_cast<char32_t>(Text[i + 1]) - 0xDC00);
                ++i;
            } else if (C >= 0xD800 && C < 0xE000) {
                C = Replacement; // a lone half of a pair
            }
        }
        AppendUtf8(Out, C > 0x10FFFF ? Replacement : C);
    }
    return Out;
}

std::wstring FromUtf8(std::string_view Bytes) {
    std::wstring Out;
    Out.reserve(Bytes.size());
    for (size_t i = 0; i < Bytes.size();) {
        auto Lead = static_cast<unsigned char>(Bytes[i]);
        int Extra = Lead >= 0xF0 && Lead < 0xF5 ? 3 : Lead >= 0xE0 ? 2 : Lead >= 0xC2 ? 1 : 0;
        if (Lead >= 0x80 && Extra == 0) { // a stray continuation byte or an invalid lead
            AppendWide(Out, Replacement);
            ++i;
            continue;
        }
        char32_t C = Extra == 0 ? Lead : Lead & (0x3F >> Extra);
        int Taken = 1;
        for (; Taken <= Extra && i + Taken < Bytes.size(); ++Taken) {
            auto Next = static_cast<unsigned char>(Bytes[i + Taken]);
            if ((Next & 0xC0) != 0x80)
                break;
            C = C << 6 | (Next & 0x3F);
        }
        if (Taken <= Extra) { // cut short
            AppendWide(Out, Replacement);
            i += static_cast<size_t>(Taken);
            continue;
        }
        AppendWide(Out, C > 0x10FFFF ? Replacement : C);
        i += static_cast<size_t>(Extra) + 1;
    }
    return Out;
}
