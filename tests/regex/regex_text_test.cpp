// Cutting matched texts out, the out offset, and texts as GBK bytes ending at NUL.
#include <gtest/gtest.h>

#include <string>

#include "runtime/regex/regex.h"
#include "tests/support/gbk_literal.h"

namespace {

TEST(RegexText, OutOffsetIsLeftAloneWhenThereIsNoEntry) {
    rt::regex re;
    ASSERT_TRUE(re.Create("(a)|(b)"));
    const rt::Text text = "xb";
    rt::SearchResult r = re.Search(text, 1);
    ASSERT_EQ(r.entries.size(), 3u);

    int at = 99;
    EXPECT_EQ(rt::GetSubMatchText(r, text, 1, &at), "");  // group 1 took no part
    EXPECT_EQ(at, 99);
    EXPECT_EQ(rt::GetSubMatchText(r, text, 3, &at), "");  // no such group
    EXPECT_EQ(rt::GetSubMatchText(r, text, -1, &at), "");
    EXPECT_EQ(rt::GetMatchText(rt::SearchResult{}, text, &at), "");
    EXPECT_EQ(at, 99);

    EXPECT_EQ(rt::GetSubMatchText(r, text, 2, &at), "b");
    EXPECT_EQ(at, 1);
    at = 99;
    EXPECT_EQ(rt::GetSubMatchText(r, text, 0, &at), "b");
    EXPECT_EQ(at, 1);
}

TEST(RegexText, EmptyGroupStillReportsItsOffset) {
    rt::regex re;
    ASSERT_TRUE(re.Create("a(x*)b"));
    const rt::Text text = "zab";
    rt::SearchResult r = re.Search(text, 1);
    int at = 99;
    EXPECT_EQ(rt::GetSubMatchText(r, text, 1, &at), "");
    EXPECT_EQ(at, 2);
}

TEST(RegexText, ResultAppliedToAShorterTextStaysInside) {
    rt::regex re;
    ASSERT_TRUE(re.Create("cde"));
    rt::SearchResult r = re.Search("abcdef", 1);
    EXPECT_EQ(rt::GetMatchText(r, "abcd"), "cd");
    EXPECT_EQ(rt::GetMatchText(r, "ab"), "");
    EXPECT_EQ(rt::GetMatchText(r, ""), "");
}

TEST(RegexText, GbkCharactersAreTwoBytesToTheEngine) {
    rt::regex re;
    const rt::Text title = G("新闻联播剧情介绍");
    ASSERT_TRUE(re.Create(G("剧情")));
    int at = -1;
    EXPECT_EQ(rt::GetMatchText(re.Search(title, 1), title, &at), G("剧情"));
    EXPECT_EQ(at, 8);

    ASSERT_TRUE(re.Create("^..$"));
    EXPECT_FALSE(re.Search(G("剧"), 1).empty());
    ASSERT_TRUE(re.Create("^.$"));
    EXPECT_TRUE(re.Search(G("剧"), 1).empty());

    // A search may start on a trail byte; positions are plain bytes.
    ASSERT_TRUE(re.Create(std::string("\xE7")));
    EXPECT_EQ(re.Search(G("剧"), 1).entries.at(0).start, 1);
}

TEST(RegexText, TextsAndPatternsEndAtTheirFirstNul) {
    rt::regex re;
    ASSERT_TRUE(re.Create(std::string("ab\0zz", 5)));
    EXPECT_FALSE(re.Search("xab", 1).empty());

    ASSERT_TRUE(re.Create("z"));
    const rt::Text withNul("ab\0z", 4);
    EXPECT_TRUE(re.Search(withNul, 1).empty());
    EXPECT_TRUE(re.Search(withNul, 4).empty());  // position 4 lies past the end
    EXPECT_TRUE(re.SearchAll(withNul).empty());
}

TEST(RegexText, CopiesShareThePatternButRecompileAlone) {
    rt::regex a;
    ASSERT_TRUE(a.Create("a"));
    rt::regex b = a;
    ASSERT_TRUE(b.Create("b"));
    EXPECT_FALSE(a.Search("a", 1).empty());
    EXPECT_TRUE(a.Search("b", 1).empty());
    EXPECT_FALSE(b.Search("b", 1).empty());
}

}  // namespace
