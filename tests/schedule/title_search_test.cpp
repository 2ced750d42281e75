// Search by a fragment of the title over the week of every catalogue channel.
#include "app/schedule/title_search.h"

#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "schedule_fixtures.h"

namespace {

using schedule_test::beijingDay;
using schedule_test::pathOf;

// Each hit as "group.row day time title" (UTF-8).
std::vector<std::string> found(const app::schedule::WeekSchedule& week, const std::string& what,
                               int today = 1) {
    std::vector<std::string> out;
    for (const auto& h : app::schedule::searchTitles(week, what, today))
        out.push_back(std::to_string(h.group) + "." + std::to_string(h.row) + " " +
                      std::to_string(h.day) + " " + U(h.time) + " " + U(h.title));
    return out;
}

TEST(TitleSearch, ByDayTimeCatalogueOrderAndPageOrder) {
    app::schedule::WeekSchedule week;
    week.put(beijingDay(pathOf(3, 0), 2, {{" 20:00", "新闻联播"}}));
    week.put(beijingDay(pathOf(0, 1), 2, {{" 20:00", "财经新闻"}, {" 01:00", "新闻重播"}}));
    week.put(beijingDay(pathOf(0, 0), 2,
                        {{" 07:00", "朝闻天下"}, {" 20:00", "新闻联播"}, {" ", "新闻快讯"}}));
    week.put(beijingDay(pathOf(0, 0), 1, {{" 23:00", "晚间新闻"}}));
    week.put(beijingDay("programys/NOT_LISTED/", 1, {{" 06:00", "新闻"}}));
    const std::vector<std::string> expected = {
        "0.0 1 23:00 晚间新闻",
        "0.0 2 20:00 新闻联播",  // catalogue order at the same time
        "0.0 2  新闻快讯",       // a row without a time keeps its place after its row
        "0.1 2 20:00 财经新闻", "3.0 2 20:00 新闻联播",
        "0.1 2 01:00 新闻重播",  // past midnight: after the evening of its page's day
    };
    EXPECT_EQ(found(week, G("新闻")), expected);
    // From Tuesday on, Monday's is gone: it comes last, after Tuesday's
    // small hours.
    std::vector<std::string> fromTuesday(expected.begin() + 1, expected.end());
    fromTuesday.push_back(expected.front());
    EXPECT_EQ(found(week, G("新闻"), 2), fromTuesday);
    // From Sunday, Monday and Tuesday are both past, in their own order.
    const std::vector<std::string> fromSunday = found(week, G("新闻"));
    EXPECT_EQ(found(week, G("新闻"), 7), fromSunday);
    const auto hits = app::schedule::searchTitles(week, G("朝闻"));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].channel, catalogue::groups()[0].rows[0].name);
    EXPECT_EQ(hits[0].path, pathOf(0, 0));
    EXPECT_TRUE(hits[0].start.has_value());
}

TEST(TitleSearch, MatchesWholeCharactersAndAsciiInEitherCase) {
    app::schedule::WeekSchedule week;
    week.put(beijingDay(pathOf(0, 0), 1,
                        {{" 08:00", "中文"},
                         {" 09:00", "語文"},
                         {" 10:00", "緒論"},
                         {" 11:00", "NBA直播"},
                         {" 12:00", ""}}));
    struct Case {
        const char* fragment;  // UTF-8
        std::vector<std::string> titles;
    };
    const Case cases[] = {
        {"形", {}},  // D0 CE: trail byte of 中 and lead byte of 文
        {"Z", {}},   // 語 is D5 5A: its trail byte is a "Z"
        {"網", {}},  // BE 57; 緒 is BE 77: trail bytes never fold
        {"文", {"中文", "語文"}},
        {"nba", {"NBA直播"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> titles;
        for (const auto& h : app::schedule::searchTitles(week, G(c.fragment)))
            titles.push_back(U(h.title));
        EXPECT_EQ(titles, c.titles) << c.fragment;
    }
}

}  // namespace
