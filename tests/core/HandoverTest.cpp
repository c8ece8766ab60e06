// The block of paths one start hands over to another's window.
#include "Handover.h"

#include <gtest/gtest.h>

TEST(Handover, PathsSurviveTheBlock) {
    const std::vector<std::wstring> Paths{L"C:\\Films\\clip 2.webm", L"",
                                          L"D:\\\u00fcn\u00ef \U0001F3AC\\a.webm"};
    const std::u16string Block = EncodeHandover(Paths);
    // The letter beyond the first plane is a surrogate pair on every platform.
    EXPECT_EQ(Block.size(), 20u + 1 + 1 + 16 + 1);
    const auto Back = DecodeHandover(Block.data(), Block.size() * sizeof(char16_t));
    ASSERT_TRUE(Back);
    EXPECT_EQ(*Back, (std::vector<std::wstring>{Paths[0], Paths[2]}));
}

TEST(Handover, MalformedBlocksAreRefused) {
    const std::u16string Block = EncodeHandover({L"C:\\a.webm"});
    // Cut inside a unit, or before the closing NUL.
    EXPECT_FALSE(DecodeHandover(Block.data(), Block.size() * 2 - 1));
    EXPECT_FALSE(DecodeHandover(Block.data(), (Block.size() - 1) * 2));
    EXPECT_FALSE(DecodeHandover(nullptr, 4));
    const auto Empty = DecodeHandover(nullptr, 0);
    ASSERT_TRUE(Empty);
    EXPECT_TRUE(Empty->empty());
}
