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
