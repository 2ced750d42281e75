// The encoding library's own edges: which UTF-8 bytes count as characters,
// GB18030's four-byte forms, and the GBK encoder's refusals.
#include <gtest/gtest.h>

#include "encoding/text_encoding.h"

namespace {

using encoding::kNotUtf8;

TEST(DecodeUtf8, EachByteThatStartsNoCharacterIsMarkedAndDecodingGoesOn) {
    const struct {
        const char* what;
        std::string_view bytes;
        std::u32string codePoints;
    } cases[] = {
        {"empty", "", U""},
        {"one to four bytes", "a\xC3\xA9\xE5\x89\xA7\xF0\x9D\x84\x9E", U"aé剧𝄞"},
        {"a NUL stays a character", std::string_view("a\0b", 3), std::u32string(U"a\0b", 3)},
        {"stray continuation byte", "a\x80z", {U'a', kNotUtf8, U'z'}},
        {"lead byte cut by an ASCII byte", "\xE5\x89z", {kNotUtf8, kNotUtf8, U'z'}},
        {"lead byte at the end", "a\xE5", {U'a', kNotUtf8}},
        {"overlong slash", "\xC0\xAF", {kNotUtf8, kNotUtf8}},
        {"overlong three-byte NUL", "\xE0\x80\x80", {kNotUtf8, kNotUtf8, kNotUtf8}},
        {"surrogate", "\xED\xA0\x80!", {kNotUtf8, kNotUtf8, kNotUtf8, U'!'}},
        {"above U+10FFFF", "\xF4\x90\x80\x80", {kNotUtf8, kNotUtf8, kNotUtf8, kNotUtf8}},
        {"U+10FFFF itself", "\xF4\x8F\xBF\xBF", U"\U0010FFFF"},
        {"bytes no UTF-8 uses", "\xFE\xFF", {kNotUtf8, kNotUtf8}},
    };
    for (const auto& c : cases) EXPECT_EQ(encoding::decodeUtf8(c.bytes), c.codePoints) << c.what;
}

TEST(Gb18030, FourByteFormsConvertAndBrokenInputIsRefused) {
    EXPECT_EQ(encoding::gb18030ToUtf8("\xA8\xA6\xA2\xE3\x94\x32\xBE\x34\xBE\xE7x"), "é€𝄞剧x");
    EXPECT_EQ(encoding::gb18030ToUtf8(""), "");
    EXPECT_FALSE(encoding::gb18030ToUtf8("ok\x94\x32"));  // a four-byte form cut short
    EXPECT_FALSE(encoding::gb18030ToUtf8("\xFF"));
}

TEST(GbkEncoder, AppendsCharactersGbkHasAndRefusesTheRestUntouched) {
    encoding::GbkEncoder enc;
    std::string out = "<";
    EXPECT_TRUE(enc.append(out, U'a'));
    EXPECT_TRUE(enc.append(out, U'剧'));
    EXPECT_TRUE(enc.append(out, U'＜'));
    EXPECT_FALSE(enc.append(out, U'𝄞'));
    EXPECT_FALSE(enc.append(out, kNotUtf8));
    EXPECT_TRUE(enc.append(out, U'情'));  // a refusal leaves the encoder usable
    EXPECT_EQ(out, "<a\xBE\xE7\xA3\xBC\xC7\xE9");
}

}  // namespace
