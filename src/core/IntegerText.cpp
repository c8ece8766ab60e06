#include "IntegerText.h"

#include <limits>

namespace {

enum class TOverflow { Fails, Saturates };

// The rule itself; Limit bounds the magnitude (one more is allowed for negatives when it fails
// beyond, so the full signed 32-bit range is accepted).
std::optional<int64_t> ReadInteger(std::wstring_view Text, int64_t Limit, TOverflow Overflow) {
    size_t i = 0;
    while (i < Text.size() && Text[i] == L' ')
        ++i;
    bool negative = false;
    if (i < Text.size() && (Text[i] == L'+' || Text[i] == L'-'))
        negative = Text[i++] == L'-';

    unsigned base = 10;
    if (i < Text.size() && (Text[i] == L'$' || Text[i] == L'x' || Text[i] == L'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < Text.size() && Text[i] == L'0' &&
               (Text[i + 1] == L'x' || Text[i + 1] == L'X')) {
        base = 16;
        i += 2;
    }
    if (i == Text.size())
        return std::nullopt;

    const int64_t limit = Overflow == TOverflow::Fails && negative ? Limit + 1 : Limit;
    int64_t value = 0;
    for (; i < Text.size(); ++i) {
        const wchar_t c = Text[i];
        unsigned digit;
        if (c >= L'0' && c <= L'9')
            digit = c - L'0';
        else if (base == 16 && c >= L'a' && c <= L'f')
            digit = c - L'a' + 10;
        else if (base == 16 && c >= L'A' && c <= L'F')
            digit = c - L'A' + 10;
        else
            return std::nullopt;
        // value <= limit <= INT64_MAX / 16 - 1 here, so this cannot overflow.
        value = value * base + digit;
        if (value > limit) {
            if (Overflow == TOverflow::Fails)
                return std::nullopt;
            value = limit; // the remaining characters must still be digits
        }
    }
    return negative ? -value : value;
}

bool MayBeInInteger(wchar_t C) {
    return (C >= L'0' && C <= L'9') || (C >= L'a' && C <= L'f') || (C >= L'A' && C <= L'F') ||
           C == L' ' || C == L'+' || C == L'-' || C == L'$' || C == L'x' || C == L'X';
}

} // namespace

int32_t TextToInt(std::wstring_view Text, int32_t Default) {
    const std::optional<int64_t> value =
        ReadInteger(Text, std::numeric_limits<int32_t>::max(), TOverflow::Fails);
    return value ? static_cast<int32_t>(*value) : Default;
}

std::optional<int64_t> TextToIntSaturated(std::wstring_view Text, int64_t Limit) {
    // Bounded so that value * 16 + 15 stays inside 64 bits.
    constexpr int64_t MaxLimit = std::numeric_limits<int64_t>::max() / 16 - 1;
    Limit = Limit < 0 ? 0 : (Limit > MaxLimit ? MaxLimit : Limit);
    return ReadInteger(Text, Limit, TOverflow::Saturates);
}

size_t IntegerTextLength(std::wstring_view Text) {
    size_t n = 0;
    while (n < Text.size() && MayBeInInteger(Text[n]))
        ++n;
    return n;
}
