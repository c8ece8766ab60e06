// UTF-8 both ways: decoding anything gives text that encodes to valid UTF-8, valid UTF-8 comes back
// byte for byte, and wide text of any code units encodes and decodes back, lone halves of pairs
// and values past U+10FFFF becoming U+FFFD.
#include "FuzzSupport.h"

namespace {

// Independent of the decoder: Unicode's table of well-formed byte sequences.
bool IsValidUtf8(std::string_view Bytes) {
    for (size_t i = 0; i < Bytes.size();) {
        const auto b = [&](size_t k) { return static_cast<unsigned char>(Bytes[i + k]); };
        const unsigned char lead = b(0);
        size_t n = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead < 0x80)
            n = 0;
        else if (lead >= 0xC2 && lead <= 0xDF)
            n = 1;
        else if (lead >= 0xE0 && lead <= 0xEF)
            n = 2, low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
        else if (lead >= 0xF0 && lead <= 0xF4)
            n = 3, low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
        else
            return false;
        if (i + n >= Bytes.size())
            return false; // cut short
        for (size_t k = 1; k <= n; ++k) {
            const unsigned char c = b(k);
            if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF))
                return false;
        }
        i += n + 1;
    }
    return true;
}

bool IsValidWide(std::wstring_view Text) {
    for (size_t i = 0; i < Text.size(); ++i) {
        const auto c = static_cast<uint32_t>(Text[i]);
        if (c > 0x10FFFF)
            return false;
        if (c >= 0xDC00 && c < 0xE000)
            return false;
        if (c >= 0xD800 && c < 0xDC00) {
            if (sizeof(wchar_t) != 2 || i + 1 == Text.size() ||
                !(static_cast<uint32_t>(Text[i + 1]) >= 0xDC00 &&
                  static_cast<uint32_t>(Text[i + 1]) < 0xE000))
                return false;
            ++i;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string_view bytes = Bytes(Data, Size);
    const std::wstring text = FromUtf8(bytes);
    FUZZ_CHECK(IsValidWide(text));
    const std::string again = ToUtf8(text);
    FUZZ_CHECK(IsValidUtf8(again));
    if (IsValidUtf8(bytes))
        FUZZ_CHECK(again == bytes);
    else
        FUZZ_CHECK(text.find(L'\uFFFD') != std::wstring::npos);

    // The same bytes as wide code units, whatever they hold.
    std::wstring units(Size / sizeof(wchar_t), L'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t unit = 0;
        for (size_t k = 0; k < sizeof(wchar_t); ++k)
            unit |= uint32_t{Data[i * sizeof(wchar_t) + k]} << (8 * k);
        units[i] = static_cast<wchar_t>(unit);
    }
    const std::string encoded = ToUtf8(units);
    FUZZ_CHECK(IsValidUtf8(encoded));
    const std::wstring decoded = FromUtf8(encoded);
    if (IsValidWide(units))
        FUZZ_CHECK(decoded == units);
    FUZZ_CHECK(IsValidWide(decoded));
    return 0;
}
