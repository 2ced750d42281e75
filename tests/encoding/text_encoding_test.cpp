// The encoding library's own edges: which UTF-8 bytes count as characters,
// GB18030's four-byte forms, the GBK encoder's refusals, and any encoding to
// UTF-8 stopping at the first bad byte.
#include <gtest/gtest.h>

#include <random>

#include "encoding/iconv_converter.h"
#include "encoding/text_encoding.h"
#include "encoding/to_utf8.h"

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

// The hand-written check agrees with iconv's UTF-8 decoder on where the
// first bad byte is: on random mixes of the bytes that matter, and on a bad
// byte at every position of an ASCII run (the eight-byte fast path).
TEST(FirstNonUtf8, AgreesWithIconvOnWhereTheTextGoesWrong) {
    auto iconvSays = [](std::string_view s) {
        encoding::IconvConverter cv("UTF-32LE", "UTF-8");
        std::string out;
        std::size_t n = cv.convert(s, out);
        return n == s.size() ? std::string_view::npos : n;
    };
    const unsigned char interesting[] = {'a',  '<',  0x00, 0x7F, 0x80, 0x8F, 0x90, 0x9F,
                                         0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1,
                                         0xED, 0xEF, 0xF0, 0xF1, 0xF4, 0xF5, 0xFE, 0xFF};
    std::mt19937 rng(7);
    for (int i = 0; i < 50000; ++i) {
        std::string s(rng() % 12, '\0');
        for (char& c : s) c = static_cast<char>(interesting[rng() % sizeof interesting]);
        ASSERT_EQ(encoding::firstNonUtf8(s), iconvSays(s)) << ::testing::PrintToString(s);
    }
    for (std::size_t at = 0; at < 40; ++at) {
        std::string s(40, 'x');
        s[at] = '\xE5';
        ASSERT_EQ(encoding::firstNonUtf8(s), at);
        s.replace(at, 1, "\xE5\x89\xA7");
        ASSERT_EQ(encoding::firstNonUtf8(s), std::string_view::npos);
    }
}

TEST(ToUtf8, ReadsWhatIconvKnowsAndStopsAtTheFirstBadByte) {
    encoding::Utf8Conversion big5 = encoding::toUtf8("\xB7\x73\xBB\x44 ok", "BIG5");
    EXPECT_TRUE(big5.known);
    EXPECT_EQ(big5.text, "新聞 ok");
    EXPECT_EQ(big5.converted, 7u);

    encoding::Utf8Conversion cut = encoding::toUtf8("a\nb\xB7", "BIG5");
    EXPECT_EQ(cut.text, "a\nb");
    EXPECT_EQ(cut.converted, 3u);

    encoding::Utf8Conversion utf16 = encoding::toUtf8({"<\0\x2D\x4E", 4}, "UTF-16LE");
    EXPECT_EQ(utf16.text, "<中");

    EXPECT_FALSE(encoding::toUtf8("x", "NO-SUCH-ENCODING").known);
}

}  // namespace
