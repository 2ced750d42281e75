#include <gtest/gtest.h>

#include "gbk_literal.h"
#include "runtime/values/text_commands.h"

using namespace rt;

TEST(JoinAndCompare, JoinKeepsOrderAndEmptyParts) {
    EXPECT_EQ(joinTexts({"a", "", G("剧情"), "b"}), G("a剧情b"));
    EXPECT_EQ(joinTexts({}), "");
    EXPECT_EQ(joinTexts({"", ""}), "");
}

TEST(JoinAndCompare, ByteWiseComparisonIsUnsignedAndCaseSensitive) {
    EXPECT_EQ(compareBytes("", ""), 0);
    EXPECT_EQ(compareBytes("abc", "abc"), 0);
    EXPECT_EQ(compareBytes("ab", "abc"), -1);
    EXPECT_EQ(compareBytes("abc", "ab"), 1);
    EXPECT_EQ(compareBytes("B", "a"), -1);
    // 0x80 and above sort after ASCII (a signed compare would put them first).
    EXPECT_EQ(compareBytes(G("星"), "z"), 1);
    EXPECT_EQ(compareBytes("z", G("星")), -1);
    EXPECT_EQ(compareBytes(G("星期一"), G("星期二")), compareBytes(G("一"), G("二")));
}

TEST(TextLengthAndLeftPart, CountBytesAndCutAnywhere) {
    EXPECT_EQ(textLength(""), 0);
    EXPECT_EQ(textLength(G("a剧情")), 5);
    EXPECT_EQ(leftPart(G("剧情"), 3), "\xBE\xE7\xC7");  // half a character
    EXPECT_EQ(leftPart("abc", 0), "");
    EXPECT_EQ(leftPart("abc", -2), "");
    EXPECT_EQ(leftPart("abc", 99), "abc");
    EXPECT_EQ(leftPart("", 5), "");
}

TEST(FindText, ExamplesAndPositions) {
    EXPECT_EQ(findText(G("新闻联播"), G("剧情")), -1);
    EXPECT_EQ(findText(G("a剧情"), G("剧情")), 2);
    EXPECT_EQ(findText("abcabc", "c"), 3);
    EXPECT_EQ(findText("abcabc", "c", 4), 6);
    EXPECT_EQ(findText("abcabc", "c", 6), 6);
    EXPECT_EQ(findText("abcabc", "c", 7), -1);  // past the end
    EXPECT_EQ(findText("abcabc", "c", 0), 3);   // <= 1: from the start
    EXPECT_EQ(findText("abcabc", "c", -5), 3);
    EXPECT_EQ(findText("abc", "abcd"), -1);
    EXPECT_EQ(findText("", "a"), -1);
}

TEST(FindText, EmptySearchText) {
    EXPECT_EQ(findText("abc", ""), 1);
    EXPECT_EQ(findText("abc", "", 3), 1);
    EXPECT_EQ(findText("abc", "", 4), -1);
    EXPECT_EQ(findText("", ""), -1);
}

TEST(FindText, NeverMatchesFromATrailByte) {
    // 剧 is BE E7; E7 alone, or "E7 C7", must not be found inside 剧情.
    const Text drama = G("剧情");
    EXPECT_EQ(findText(drama, "\xE7"), -1);
    EXPECT_EQ(findText(drama, "\xE7\xC7"), -1);
    EXPECT_EQ(findText(drama, "\xC7"), 3);  // a lead byte where a character starts
    // A trail byte that is an ASCII letter: 馎 is F1 41 ("A").
    EXPECT_EQ(findText("\xF1\x41", "A"), -1);
    EXPECT_EQ(findText("\xF1\x41", "a", std::nullopt, true), -1);
    EXPECT_EQ(findText("\xF1\x41"
                       "A",
                       "a", std::nullopt, true),
              3);
}

TEST(FindText, DramaAcrossTwoCharactersIsNotFound) {
    // 熬缜椤 is B0 BE | E7 C7 | E9 A1: the bytes of 剧情 straddle three characters.
    const Text straddle = G("熬缜椤");
    ASSERT_NE(straddle.find(G("剧情")), std::string::npos);
    EXPECT_EQ(findText(straddle, G("剧情")), -1);
    EXPECT_EQ(findText("x" + straddle + G("剧情"), G("剧情")), 8);
    // A single-byte character before shifts the stepping: then it is found.
    EXPECT_EQ(findText(std::string("\xBE\xE7\xC7\xE9"), G("剧情")), 1);
}

TEST(FindText, LeadByteAtTheEndStopsTheScan) {
    // The byte is compared before the stepping looks for its trail byte.
    EXPECT_EQ(findText("ab\xBE", "\xBE"), 3);
    EXPECT_EQ(findText("ab\xBE", "z"), -1);
    EXPECT_EQ(findText("\xBE\xE7\xBE", "\xE7"), -1);
    EXPECT_EQ(findText("\xBE", ""), 1);
    // The text below ends at its NUL; a lead byte before it must not step over.
    EXPECT_EQ(findText(std::string("a\xBE\0z", 4), "z"), -1);
}

TEST(FindText, StartOnATrailByteStepsFromThere) {
    // Starting inside a character treats its trail byte as a character start.
    EXPECT_EQ(findText("\xBE\xE7"
                       "a",
                       "\xE7", 2),
              2);
}

TEST(FindText, IgnoreCaseFoldsAsciiOnly) {
    EXPECT_EQ(findText("Hello CCTV", "cctv"), -1);
    EXPECT_EQ(findText("Hello CCTV", "cctv", std::nullopt, true), 7);
    EXPECT_EQ(findText("x[y", "{", std::nullopt, true), -1);  // '[' and '{' are not letters
    // 馻 (F1 61) is another character than 馎 (F1 41), whatever the case option.
    EXPECT_EQ(findText("\xF1\x41", "\xF1\x61", std::nullopt, true), -1);
    EXPECT_EQ(findText("x\xF1\x41", "X\xF1\x41", std::nullopt, true), 1);
}

TEST(ReplaceText, DefaultsIgnoreCaseAndDelete) {
    EXPECT_EQ(replaceText("aXbxc", "x"), "abc");
    EXPECT_EQ(replaceText("aXbxc", "x", "-"), "a-b-c");
    EXPECT_EQ(replaceText("aXbxc", "x", "-", std::nullopt, std::nullopt, true), "aXb-c");
    EXPECT_EQ(replaceText("aXbxc", "x", "-", std::nullopt, std::nullopt, false), "a-b-c");
}

TEST(ReplaceText, StartAndCount) {
    EXPECT_EQ(replaceText("xaxaxa", "x", "y", 2), "xayaya");
    EXPECT_EQ(replaceText("xaxaxa", "x", "y", 0), "yayaya");
    EXPECT_EQ(replaceText("xaxaxa", "x", "y", 7), "xaxaxa");
    EXPECT_EQ(replaceText("xaxaxa", "x", "y", std::nullopt, 2), "yayaxa");
    EXPECT_EQ(replaceText("xaxaxa", "x", "y", 2, 1), "xayaxa");
    EXPECT_EQ(replaceText("xaxaxa", "x", "y", std::nullopt, 0), "xaxaxa");
    EXPECT_EQ(replaceText("xaxaxa", "x", "y", std::nullopt, -1), "xaxaxa");
}

TEST(ReplaceText, EmptyInputsAndNonOverlappingMatches) {
    EXPECT_EQ(replaceText("", "x", "y"), "");
    EXPECT_EQ(replaceText("abc", "", "y"), "abc");
    EXPECT_EQ(replaceText("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(replaceText("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replaceText("ab", "b", "bb"), "abb");  // no rescanning of the replacement
}

TEST(ReplaceText, StepsOverWholeCharacters) {
    const Text straddle = G("熬缜椤");
    EXPECT_EQ(replaceText(straddle, G("剧情"), "!"), straddle);
    EXPECT_EQ(replaceText(G("剧情") + "a" + G("剧情"), G("剧情"), "-"), "-a-");
    EXPECT_EQ(replaceText(G("剧情"), "\xE7", "!"), G("剧情"));
    // 馎 (F1 41) ends in "A": case folding must not reach into it.
    EXPECT_EQ(replaceText("\xF1\x41"
                          "a",
                          "a", "b"),
              "\xF1\x41"
              "b");
    // Nor into the trail bytes of the search text: 馻 does not stand for 馎.
    EXPECT_EQ(replaceText("\xF1\x41", "\xF1\x61", "!"), "\xF1\x41");
    EXPECT_EQ(replaceText("A\xF1\x41", "a\xF1\x41", "!"), "!");
    // A lead byte cut off by the end is kept, not dropped.
    EXPECT_EQ(replaceText("xa\xBE", "x", "y"), "ya\xBE");
    EXPECT_EQ(replaceText("a\xBE", "\xBE", "y"), "ay");
    EXPECT_EQ(replaceText(std::string("\xBE\0z", 3), "z", "y"), "\xBE");
}

TEST(RepeatText, CountsAndEmpties) {
    EXPECT_EQ(repeatText(2, "0"), "00");
    EXPECT_EQ(repeatText(-3, "0"), "");
    EXPECT_EQ(repeatText(0, "ab"), "");
    EXPECT_EQ(repeatText(3, G("剧")), G("剧剧剧"));
    EXPECT_EQ(repeatText(5, ""), "");
}

TEST(CompareTexts, CaseAndDoubleByteCharacters) {
    EXPECT_EQ(compareTexts("abc", "ABC", false), 0);
    EXPECT_GT(compareTexts("abc", "ABC", true), 0);
    EXPECT_LT(compareTexts("ab", "abc", true), 0);
    EXPECT_EQ(compareTexts("", "", true), 0);
    EXPECT_GT(compareTexts(G("星"), "z", false), 0);
    // Ignoring case, '_' sorts before letters (they fold to lower case).
    EXPECT_LT(compareTexts("_", "A", false), 0);
    // A trail byte "A" is part of its character and is not folded: 馎 (F1 41)
    // differs from 馻 (F1 61).
    EXPECT_NE(compareTexts("\xF1\x41", "\xF1\x61", false), 0);
    EXPECT_EQ(compareTexts(G("星期一"), G("星期一"), false), 0);
    EXPECT_LT(compareTexts("a\xBE", "a\xBE\xE7", true), 0);
}

TEST(Texts, StopAtAnEmbeddedNul) {
    const std::string withNul("ab\0cd", 5);
    EXPECT_EQ(textLength(withNul), 2);
    EXPECT_EQ(findText(withNul, "c"), -1);
    EXPECT_EQ(replaceText(withNul, "b", "x"), "ax");
    EXPECT_EQ(joinTexts({withNul, "z"}), "abz");
}
