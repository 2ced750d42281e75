#include <gtest/gtest.h>

#include "gbk_literal.h"

TEST(Gbk, LiteralsBecomeDoubleByteCharacters) {
    EXPECT_EQ(G("剧情"), "\xBE\xE7\xC7\xE9");
    EXPECT_EQ(G("a剧"), "a\xBE\xE7");
    EXPECT_EQ(U(G("星期一 CCTV")), "星期一 CCTV");
}

TEST(Gbk, CharactersWithoutGbkFormAreRefusedStrictly) {
    EXPECT_FALSE(rt::gbkStrict("\xF0\x9F\x98\x80").has_value());  // an emoji
    EXPECT_FALSE(rt::gbkStrict("\xFF").has_value());              // not UTF-8
    EXPECT_EQ(rt::gbkStrict("").value(), "");
}

TEST(Gbk, UndecodableBytesShowAsReplacementCharacter) {
    EXPECT_EQ(U("a\xFF"), "a\xEF\xBF\xBD");  // not a GBK byte
    EXPECT_EQ(U("\xBE"), "\xEF\xBF\xBD");    // lead byte at the end
    EXPECT_EQ(U("\xBE\xE7x\xFF"), "剧x\xEF\xBF\xBD");
}
