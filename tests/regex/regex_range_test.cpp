// Start position and length of Search, and the "fresh start of text" that each
// search sees.
#include <gtest/gtest.h>

#include <optional>

#include "runtime/regex/regex.h"

namespace {

struct RangeCase {
    int start;
    std::optional<int> length;
    int expectedOffset;  // -1: empty result
};

TEST(RegexRange, StartAndLengthSelectTheSearchedBytes) {
    rt::regex re;
    ASSERT_TRUE(re.Create("abc"));
    const rt::Text text = "abcabc";  // n = 6
    const RangeCase cases[] = {
        {1, std::nullopt, 0},
        {2, std::nullopt, 3},
        {4, std::nullopt, 3},
        {5, std::nullopt, -1},
        {6, std::nullopt, -1},
        {0, std::nullopt, -1},  // before the text
        {-3, std::nullopt, -1},
        {7, std::nullopt, -1},  // past the end
        {1, 3, 0},              // exactly the first "abc"
        {1, 2, -1},             // "ab": the range ends inside the match
        {2, 3, -1},             // "bca"
        {4, 3, 3},              // ends exactly at the end of the text
        {4, 4, -1},             // one byte past the end
        {1, 7, -1},
        {1, 0, -1},
        {1, -1, -1},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const RangeCase& c = cases[i];
        rt::SearchResult r = re.Search(text, c.start, c.length);
        if (c.expectedOffset < 0) {
            EXPECT_TRUE(r.empty()) << "case " << i;
        } else {
            ASSERT_FALSE(r.empty()) << "case " << i;
            EXPECT_EQ(r.entries[0].start, c.expectedOffset) << "case " << i;
            EXPECT_EQ(r.entries[0].length, 3) << "case " << i;
        }
    }
}

TEST(RegexRange, EmptyLengthFindsNothingEvenForEmptyPattern) {
    rt::regex re;
    ASSERT_TRUE(re.Create("x*"));
    EXPECT_TRUE(re.Search("abc", 2, 0).empty());
    rt::SearchResult r = re.Search("abc", 3);  // last byte: an empty match at offset 2
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r.entries[0].start, 2);
}

TEST(RegexRange, EachSearchSeesNothingLeftOfItsStart) {
    rt::regex re;
    const rt::Text text = "ab";
    ASSERT_TRUE(re.Create("^b"));
    EXPECT_TRUE(re.Search(text, 1).empty());
    EXPECT_EQ(re.Search(text, 2).entries.at(0).start, 1);

    ASSERT_TRUE(re.Create("\\bb"));
    EXPECT_TRUE(re.Search(text, 1).empty());
    EXPECT_FALSE(re.Search(text, 2).empty());

    ASSERT_TRUE(re.Create("(?<=a)b"));
    EXPECT_EQ(re.Search(text, 1).entries.at(0).start, 1);
    EXPECT_TRUE(re.Search(text, 2).empty());
}

TEST(RegexRange, EndOfTheRangeIsTheEndOfText) {
    rt::regex re;
    ASSERT_TRUE(re.Create("b$"));
    EXPECT_TRUE(re.Search("abc", 1).empty());
    EXPECT_EQ(re.Search("abc", 1, 2).entries.at(0).start, 1);
    ASSERT_TRUE(re.Create("c(?=d)"));
    EXPECT_FALSE(re.Search("abcd", 1).empty());
    EXPECT_TRUE(re.Search("abcd", 1, 3).empty());  // look-ahead stops at the range end
}

TEST(RegexRange, SearchAllRestartsAsAFreshText) {
    rt::regex re;
    ASSERT_TRUE(re.Create("^x"));
    const rt::Text text = "xxx";
    auto all = re.SearchAll(text);
    ASSERT_EQ(all.size(), 3u);  // every restart is a start of text for "^"
    for (int i = 0; i < 3; ++i) EXPECT_EQ(all[i].entries[0].start, i);

    ASSERT_TRUE(re.Create("(?<!a)b"));
    EXPECT_EQ(re.SearchAll("abab").size(), 0u);
    ASSERT_TRUE(re.Create("a|(?<!a)b"));
    EXPECT_EQ(re.SearchAll("abab").size(), 4u);  // after "a" the "b" starts a fresh text
}

TEST(RegexRange, OffsetsCountFromTheBeginningOfTheText) {
    rt::regex re;
    ASSERT_TRUE(re.Create("(b)(c)?"));
    const rt::Text text = "ababc";
    rt::SearchResult r = re.Search(text, 3);
    ASSERT_EQ(r.entries.size(), 3u);
    EXPECT_EQ(r.entries[0].start, 3);
    EXPECT_EQ(r.entries[1].start, 3);
    EXPECT_EQ(r.entries[2].start, 4);
    auto all = re.SearchAll(text);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].entries[0].start, 3);
    EXPECT_FALSE(all[0].entries[2].matched);
    EXPECT_TRUE(all[1].entries[2].matched);
}

}  // namespace
