// Integer text: TextToInt against a reading of its documented rule written independently, with
// 128-bit arithmetic (so no value overflows on the way).
#include "FuzzSupport.h"
#include "IntegerText.h"

#include <optional>

namespace {

std::optional<int32_t> Reference(std::wstring_view Text) {
    size_t i = Text.find_first_not_of(L' ');
    if (i == std::wstring_view::npos)
        return std::nullopt;
    Text.remove_prefix(i);
    bool negative = false;
    if (Text.starts_with(L"+") || Text.starts_with(L"-")) {
        negative = Text[0] == L'-';
        Text.remove_prefix(1);
    }
    int base = 10;
    for (std::wstring_view prefix : {L"0x", L"0X", L"$", L"x", L"X"}) {
        if (Text.starts_with(prefix)) {
            base = 16;
            Text.remove_prefix(prefix.size());
            break;
        }
    }
    if (Text.empty())
        return std::nullopt;
    __int128 value = 0;
    for (wchar_t c : Text) {
        int digit = c >= L'0' && c <= L'9'                 ? c - L'0'
                    : base == 16 && c >= L'a' && c <= L'f' ? c - L'a' + 10
                    : base == 16 && c >= L'A' && c <= L'F' ? c - L'A' + 10
                                                           : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > (__int128{1} << 40))
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::wstring text = Text(Data, Size);
    const std::optional<int32_t> expected = Reference(text);
    FUZZ_CHECK(TextToInt(text, 7) == expected.value_or(7));
    FUZZ_CHECK(TextToInt(text, -7) == expected.value_or(-7));
    return 0;
}
