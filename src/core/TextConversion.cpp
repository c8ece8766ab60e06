#include "TextConversion.h"

#include <algorithm>
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

// Decodes Bytes into Out. Unless Final, a valid start of a sequence that the end of Bytes cuts off
// is left undecoded; returns how many bytes were decoded.
size_t DecodeUtf8(std::string_view Bytes, std::wstring& Out, bool Final) {
    size_t i = 0;
    while (i < Bytes.size()) {
        const auto lead = static_cast<unsigned char>(Bytes[i]);
        if (lead < 0x80) {
            Out += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        // How many bytes follow the lead, and the range the first of them must lie in (which
        // excludes overlong forms, surrogates and values past U+10FFFF).
        int extra = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else { // a stray continuation byte or a byte that never leads
            AppendWide(Out, Replacement);
            ++i;
            continue;
        }
        char32_t c = lead & (0x3F >> extra);
        int taken = 0;
        while (taken < extra && i + 1 + taken < Bytes.size()) {
            const auto next = static_cast<unsigned char>(Bytes[i + 1 + taken]);
            if (next < (taken == 0 ? low : 0x80) || next > (taken == 0 ? high : 0xBF))
                break;
            c = c << 6 | (next & 0x3F);
            ++taken;
        }
        if (taken == extra) {
            AppendWide(Out, c);
        } else if (!Final && i + 1 + taken == Bytes.size()) {
            return i; // the rest may come with the next piece
        } else {
            AppendWide(Out, Replacement); // the longest start that cannot be completed
        }
        i += 1 + static_cast<size_t>(taken);
    }
    return i;
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
            }
        }
        // What is left in the surrogate range is a lone half of a pair (or, in UTF-32, never text).
        AppendUtf8(Out, C > 0x10FFFF || (C >= 0xD800 && C < 0xE000) ? Replacement : C);
    }
    return Out;
}

std::wstring FromUtf8(std::string_view Bytes) {
    std::wstring Out;
    Out.reserve(Bytes.size());
    DecodeUtf8(Bytes, Out, true);
    return Out;
}

std::wstring TUtf8Decoder::Decode(std::string_view Bytes) {
    std::wstring Out;
    Out.reserve(Bytes.size());
    if (!Carried.empty()) {
        // Complete the carried sequence with as few bytes as it needs, then go on directly.
        std::string joined = Carried;
        joined.append(Bytes.substr(0, std::min<size_t>(Bytes.size(), 3)));
        const size_t done = DecodeUtf8(joined, Out, false);
        if (done < Carried.size()) { // still incomplete: all of Bytes joined it
            Carried = joined.substr(done);
            return Out;
        }
        Bytes.remove_prefix(done - Carried.size());
        Carried.clear();
    }
    const size_t done = DecodeUtf8(Bytes, Out, false);
    Carried.assign(Bytes.substr(done));
    return Out;
}

std::wstring TUtf8Decoder::Finish() {
    std::wstring Out;
    DecodeUtf8(Carried, Out, true);
    Carried.clear();
    return Out;
}
