// The one rule by which the program reads integers out of text (converter output, settings).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Optional leading blanks (space only), an optional sign, then decimal digits or a hexadecimal
// number introduced by "$", "x", "X", "0x" or "0X", running to the end of the text. Anything else,
// an empty text, or a value outside the signed 32-bit range gives Default.
int32_t TextToInt(std::wstring_view Text, int32_t Default = 0);

// The same rule for a field printed without bound (the hours of a clock time): a magnitude above
// Limit (at least 0) reads as Limit, with its sign, instead of failing. Nothing for a text the rule
// does not accept.
std::optional<int64_t> TextToIntSaturated(std::wstring_view Text, int64_t Limit);

// The length of the text at the start of Text that could be such an integer (blanks, a sign, the
// hexadecimal marks and digits): where a field without a fixed width ends.
size_t IntegerTextLength(std::wstring_view Text);
