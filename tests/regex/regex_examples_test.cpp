// The behaviours the schedule parse relies on, each on a small example.
#include <gtest/gtest.h>

#include <string>

#include "runtime/regex/regex.h"
#include "tests/support/gbk_literal.h"

namespace {

rt::regex compiled(const rt::Text& pattern, bool caseSensitive = true) {
    rt::regex re;
    EXPECT_TRUE(re.Create(pattern, caseSensitive)) << pattern;
    return re;
}

TEST(RegexExamples, LazyTagPatternFindsEachTagInTurn) {
    const rt::Text text = "a<b>c</b>";
    auto all = compiled("<.*?>").SearchAll(text);
    ASSERT_EQ(all.size(), 2u);
    int at = -1;
    EXPECT_EQ(rt::GetMatchText(all[0], text, &at), "<b>");
    EXPECT_EQ(at, 1);
    EXPECT_EQ(rt::GetMatchText(all[1], text, &at), "</b>");
    EXPECT_EQ(at, 5);
}

TEST(RegexExamples, EmptyMatchesEndSearchAll) {
    rt::regex re = compiled("x*");
    EXPECT_TRUE(re.SearchAll("").empty());  // even though the pattern matches ""
    auto all = re.SearchAll("abc");
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].entries[0].start, 0);
    EXPECT_EQ(all[0].entries[0].length, 0);

    // A non-empty match that reaches the end is followed by one empty match
    // there, which then ends the list.
    auto tail = compiled("a*").SearchAll("aa");
    ASSERT_EQ(tail.size(), 2u);
    EXPECT_EQ(tail[0].entries[0].length, 2);
    EXPECT_EQ(tail[1].entries[0].start, 2);
    EXPECT_EQ(tail[1].entries[0].length, 0);
}

TEST(RegexExamples, SearchOnEmptyTextGivesEmptyResult) {
    rt::regex re = compiled("x*");
    rt::SearchResult r = re.Search("", 1);
    EXPECT_TRUE(r.empty());
    EXPECT_EQ(rt::GetSubMatchText(r, "", 0), "");
}

TEST(RegexExamples, SubMatchOfScheduleCell) {
    const rt::Text text = "<div id='e1' >x</div>";
    rt::SearchResult r = compiled("<div id='e1' >(.*?)</div>").Search(text, 1);
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r.entries.size(), 2u);
    int at = -1;
    EXPECT_EQ(rt::GetSubMatchText(r, text, 1, &at), "x");
    EXPECT_EQ(at, 14);
    at = -1;
    EXPECT_EQ(rt::GetSubMatchText(r, text, 2, &at), "");
    EXPECT_EQ(at, -1);
}

TEST(RegexExamples, DotCrossesLineBreaks) {
    rt::regex re = compiled("a.b");
    EXPECT_EQ(rt::GetMatchText(re.Search("a\nb", 1), "a\nb"), "a\nb");
    EXPECT_EQ(rt::GetMatchText(re.Search("xa\r\nb a\rb", 1), "xa\r\nb a\rb"), "a\rb");
    // The schedule row pattern spans the line breaks inside a row.
    const rt::Text page = "<div align='center'>07:00\n</div></div>";
    rt::SearchResult row = compiled("align='center'>(.*?)</div></div>").Search(page, 1);
    EXPECT_EQ(rt::GetSubMatchText(row, page, 1), "07:00\n");
}

TEST(RegexExamples, BadPatternsAreRefused) {
    rt::regex re;
    EXPECT_FALSE(re.Create("("));
    EXPECT_FALSE(re.Create("a{2,1}"));
    EXPECT_FALSE(re.Create("[z-a]"));
    EXPECT_FALSE(re.hasPattern());
    EXPECT_TRUE(re.Search("(", 1).empty());
    EXPECT_TRUE(re.SearchAll("(").empty());
}

TEST(RegexExamples, FailedCreateKeepsThePreviousPattern) {
    rt::regex re = compiled("b+");
    EXPECT_FALSE(re.Create("(b"));
    EXPECT_EQ(rt::GetMatchText(re.Search("abbc", 1), "abbc"), "bb");
}

TEST(RegexExamples, CaseSensitiveUnlessAskedOtherwise) {
    EXPECT_TRUE(compiled("DIV").Search("<div>", 1).empty());
    EXPECT_EQ(rt::GetMatchText(compiled("DIV", false).Search("<div>", 1), "<div>"), "div");
    EXPECT_EQ(rt::GetMatchText(compiled("div", false).Search("<DIV>", 1), "<DIV>"), "DIV");
}

TEST(RegexExamples, PerlOrderNotLongestMatch) {
    const rt::Text text = "abcd";
    EXPECT_EQ(rt::GetMatchText(compiled("a|ab").Search(text, 1), text), "a");
    EXPECT_EQ(rt::GetMatchText(compiled("a.*").Search(text, 1), text), "abcd");
    EXPECT_EQ(rt::GetMatchText(compiled("a.*?").Search(text, 1), text), "a");
}

TEST(RegexExamples, MultiLineAnchorsMatchAtLineBreaks) {
    rt::regex re;
    EXPECT_TRUE(re.multiLine());
    const rt::Text text = "one\ntwo\n";
    int at = -1;
    EXPECT_EQ(rt::GetMatchText(compiled("^two$").Search(text, 1), text, &at), "two");
    EXPECT_EQ(at, 4);
    EXPECT_EQ(compiled("^\\w+$").SearchAll(text).size(), 2u);
}

// Nested quantifiers over a long run that never ends in the wanted byte make
// the engine give up; the search must report that as "no match", not throw.
TEST(RegexExamples, EngineGivingUpIsCaughtAndEarlierMatchesKept) {
    // One pattern exhausts the engine's stack, the other its complexity bound.
    for (const char* pattern : {"(x+x+)+y", "(x+)+y"}) {
        rt::regex re = compiled(pattern);
        const rt::Text hopeless(64, 'x');
        EXPECT_TRUE(re.Search(hopeless, 1).empty()) << pattern;
        EXPECT_TRUE(re.SearchAll(hopeless).empty()) << pattern;

        const rt::Text text = "xxy" + hopeless;
        auto all = re.SearchAll(text);
        ASSERT_EQ(all.size(), 1u) << pattern;
        EXPECT_EQ(rt::GetMatchText(all[0], text), "xxy") << pattern;
    }
}

}  // namespace
