// Wide text and UTF-8 both ways: for POSIX paths and messages, the converter's output, exception
// texts, and whatever the tests and tools print. Wide text is UTF-16 on Windows and UTF-32
// elsewhere.
#pragma once

#include <string>
#include <string_view>

// Code points that UTF-8 cannot carry (a lone half of a UTF-16 pair, values past U+10FFFF)
// become U+FFFD.
std::string ToUtf8(std::wstring_view Text);
// Bytes that are not valid UTF-8 become U+FFFD: each longest start of a sequence that cannot be
// completed gives one, as Unicode recommends (overlong forms, surrogates and values past
// U+10FFFF included).
std::wstring FromUtf8(std::string_view Bytes);

// UTF-8 that arrives in pieces (a pipe read at a time): a sequence split across two pieces is
// decoded whole. The pieces' texts joined, with Finish's, equal FromUtf8 of the bytes joined.
class TUtf8Decoder {
public:
    std::wstring Decode(std::string_view Bytes);
    // The end of the bytes: a sequence still incomplete becomes U+FFFD.
    std::wstring Finish();

private:
    std::string Carried; // the start of a sequence that the last piece cut off (at most 3 bytes)
};
