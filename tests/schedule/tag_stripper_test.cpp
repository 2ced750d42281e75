#include "app/schedule/tag_stripper.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "gbk_literal.h"
#include "literal_parse.h"

namespace {

using app::stripTags;

TEST(TagStripper, RemovesTagsAndKeepsEverythingElse) {
    EXPECT_EQ(stripTags("a<b>c</b>"), "ac");
    EXPECT_EQ(stripTags(""), "");
    EXPECT_EQ(stripTags("plain text"), "plain text");
    EXPECT_EQ(stripTags("&nbsp;19:30 \r\n"), "&nbsp;19:30 \r\n");
    EXPECT_EQ(stripTags("<a href='x.htm'>" + G("新闻联播") + "</a> " + G("剧情")),
              G("新闻联播 剧情"));
    // A "<" with no ">" after it stays; one with a ">" later takes the rest up to it.
    EXPECT_EQ(stripTags("1 < 2"), "1 < 2");
    EXPECT_EQ(stripTags("1 < 2 <b>x"), "1 x");
    EXPECT_EQ(stripTags("<b>x<"), "x<");
    EXPECT_EQ(stripTags("x>y<>z"), "x>yz");
}

TEST(TagStripper, DeletesEveryOccurrenceOfATagTextNotJustTheTag) {
    // "<b>" is also the end of the longer tag "<x<b>", and goes there too.
    EXPECT_EQ(stripTags("<b><x<b>"), "<x");
    // Deleting "<a>" inside "<<a>" joins "<" and "a>" into a new "<a>",
    // which the third tag (again "<a>") deletes.
    EXPECT_EQ(stripTags("<a><<a>a>"), "<a>");
    EXPECT_EQ(stripTags("<a><<a>a><a>"), "");
}

TEST(TagStripper, StepsOverDoubleByteCharacters) {
    // After the lead byte 0x81 the "<" is a trail byte, so that occurrence stays.
    EXPECT_EQ(stripTags("\x81<b>x"), "\x81<b>x");
    EXPECT_EQ(stripTags("\x81\x81<b>x"), "\x81\x81x");
    EXPECT_EQ(stripTags("\x81<b><b>"), "\x81<b>");
    EXPECT_EQ(stripTags(G("节目") + "<i>" + G("预告")), G("节目预告"));
}

// Random texts over a small alphabet rich in "<", ">" and high bytes hit the
// nested, repeated and misaligned cases far more often than real pages do.
std::string randomText(std::mt19937& rng, const std::string& alphabet, size_t maxLen) {
    std::uniform_int_distribution<size_t> len(0, maxLen);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::string s(len(rng), ' ');
    for (char& c : s) c = alphabet[pick(rng)];
    return s;
}

TEST(TagStripper, AgreesWithTheLiteralAlgorithmOnGeneratedTexts) {
    const std::string alphabets[] = {
        std::string("<>a\x81", 4),
        std::string("<<>ab\x81\xb0 ", 8),
        std::string("<>ab", 4),
        std::string("<><>abc\x80\xff", 9),
    };
    std::mt19937 rng(20081006);
    int nested = 0;
    for (int round = 0; round < 40000; ++round) {
        const std::string& alphabet = alphabets[round % 4];
        const std::string x = randomText(rng, alphabet, round % 3 == 0 ? 60 : 16);
        const std::string want = literal::stripTags(x);
        ASSERT_EQ(stripTags(x), want) << "round " << round << " text [" << x << "]";
        if (x.find('<') != std::string::npos && want.size() + 2 < x.size()) ++nested;
    }
    EXPECT_GT(nested, 1000);
}

// Tags drawn from a few texts, some with a literal "<" inside, so tag texts
// repeat and end one another.
TEST(TagStripper, AgreesWithTheLiteralAlgorithmOnGeneratedMarkup) {
    const std::string pieces[] = {"<b>", "</b>", "<a<b>",    "a>", "<",   ">",
                                  "x",   "\x81", "\xb0\xa1", "b>", "<<b>"};
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> count(0, 30);
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    for (int round = 0; round < 20000; ++round) {
        std::string x;
        for (int k = count(rng); k > 0; --k) x += pieces[pick(rng)];
        ASSERT_EQ(stripTags(x), literal::stripTags(x))
            << "round " << round << " text [" << x << "]";
    }
}

}  // namespace
