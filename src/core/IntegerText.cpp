#include "IntegerText.h"

#include <limits>

int32_t TextToInt(std::wstring_view Text, int32_t Default) {
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
        return Default;

    // Magnitude limit: one more for negatives, so the full signed range is accepted.
    const int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + (negative ? 1 : 0);
    int64_t value = 0;
    for (; i < Text.size(); ++i) {
        wchar_t c = Text[i];
        unsigned digit;
        if (c >= L'0' && c <= L'9')
            digit = c - L'0';
        else if (base == 16 && c >= L'a' && c <= L'f')
            digit = c - L'a' + 10;
        else if (base == 16 && c >= L'A' && c <= L'F')
            digit = c - L'A' + 10;
        else
            return Default;
        value = value * base + digit;
        if (value > limit)
            return Default;
    }
    return static_cast<int32_t>(negative ? -value : value);
}
