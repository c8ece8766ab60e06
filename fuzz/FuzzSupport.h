// What every fuzz target shares: a check that stops the run with a message, and wide text made
// from the fuzzer's bytes.
#pragma once

#include "TextConversion.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(Condition)                                                                      \
    do {                                                                                           \
        if (!(Condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #Condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

inline std::string_view Bytes(const uint8_t* Data, size_t Size) {
    return {reinterpret_cast<const char*>(Data), Size};
}

inline std::wstring Text(const uint8_t* Data, size_t Size) {
    return FromUtf8(Bytes(Data, Size));
}

// Several wide texts, separated by zero bytes.
inline std::vector<std::wstring> Texts(const uint8_t* Data, size_t Size) {
    std::vector<std::wstring> texts;
    std::string_view rest = Bytes(Data, Size);
    for (;;) {
        const size_t end = rest.find('\0');
        texts.push_back(FromUtf8(rest.substr(0, end)));
        if (end == std::string_view::npos)
            return texts;
        rest.remove_prefix(end + 1);
    }
}
