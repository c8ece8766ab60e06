// The one rule by which the program reads integers out of text (converter output, settings).
#pragma once

#include <cstdint>
#include <string_view>

// Optional leading blanks (space only), an optional sign, then decimal digits or a hexadecimal
// number introduced by "$", "x", "X", "0x" or "0X", running to the end of the text. Anything else,
// an empty text, or a value outside the signed 32-bit range gives Default.
int32_t TextToInt(std::wstring_view Text, int32_t Default = 0);
