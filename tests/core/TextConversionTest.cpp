// Wide text and UTF-8 both ways, as paths and messages need them.
#include "TextConversion.h"

#include <gtest/gtest.h>

TEST(TextConversion, RoundTripsEveryPlane) {
    // ASCII, Latin-1, the rest of the first plane, and a letter beyond it (a pair on Windows).
    const std::wstring Text = L"clip \u00e4\u00df \u20ac\u4e2d \U0001F3AC.webm";
    const std::string Bytes =
        "clip \xC3\xA4\xC3\x9F \xE2\x82\xAC\xE4\xB8\xAD \xF0\x9F\x8E\xAC.webm";
    EXPECT_EQ(ToUtf8(Text), Bytes);
    EXPECT_EQ(FromUtf8(Bytes), Text);
    EXPECT_EQ(ToUtf8(L""), "");
    EXPECT_EQ(FromUtf8(""), L"");
}

TEST(TextConversion, InvalidBytesBecomeReplacementCharacters) {
    EXPECT_EQ(FromUtf8("a\x80z"), L"a\uFFFDz");       // a stray continuation byte
    EXPECT_EQ(FromUtf8("a\xC3"), L"a\uFFFD");         // cut short at the end
    EXPECT_EQ(FromUtf8("a\xE2\x82z"), L"a\uFFFDz");   // cut short inside
    EXPECT_EQ(FromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD"); // an overlong form's lead
}

TEST(TextConversion, FormsUtf8ForbidsBecomeReplacementCharacters) {
    EXPECT_EQ(FromUtf8("\xE0\x80\xAF"), L"\uFFFD\uFFFD\uFFFD") << "an overlong slash";
    EXPECT_EQ(FromUtf8("\xED\xA0\x80z"), L"\uFFFD\uFFFD\uFFFDz") << "a surrogate";
    EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80"), L"\uFFFD\uFFFD\uFFFD\uFFFD") << "past U+10FFFF";
    EXPECT_EQ(FromUtf8("\xF0\x9F\x8E"), L"\uFFFD") << "one for the longest start";
    EXPECT_EQ(FromUtf8("\xF0\x9F\x8Ez"), L"\uFFFDz");
    std::wstring lone(1, static_cast<wchar_t>(0xD800));
    EXPECT_EQ(ToUtf8(L"a" + lone + L"b"), "a\xEF\xBF\xBD"
                                          "b")
        << "a lone half of a pair";
}

// The converter's output arrives a pipe read at a time: a letter split between two reads must
// come out whole, wherever the split falls.
TEST(TextConversion, PiecesSplitAnywhereDecodeAsTheWhole) {
    const std::string bytes = "clip \xC3\xBCn\xC3\xAF \xF0\x9F\x8E\xAC";
    const std::wstring text = L"clip \u00fcn\u00ef \U0001F3AC";
    for (size_t split = 0; split <= bytes.size(); ++split) {
        for (size_t second = split; second <= bytes.size(); ++second) {
            TUtf8Decoder decoder;
            std::wstring out = decoder.Decode(std::string_view(bytes).substr(0, split));
            out += decoder.Decode(std::string_view(bytes).substr(split, second - split));
            out += decoder.Decode(std::string_view(bytes).substr(second));
            out += decoder.Finish();
            EXPECT_EQ(out, text) << "split at " << split << " and " << second;
        }
    }
    TUtf8Decoder decoder;
    EXPECT_EQ(decoder.Decode("a\xF0\x9F"), L"a");
    EXPECT_EQ(decoder.Finish(), L"\uFFFD") << "an end inside a letter";
    EXPECT_EQ(decoder.Decode("\x8E\xAC"), L"\uFFFD\uFFFD") << "nothing carried past Finish";
}
