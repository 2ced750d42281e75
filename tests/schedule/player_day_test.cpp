// A channel's day from the players' JSON: the records it gives, and the
// answers of a server that is broken or hostile, refused whole.
#include "app/schedule/player_day.h"

#include <gtest/gtest.h>

#include "schedule_fixtures.h"

namespace {

using app::schedule::playerDay;
using schedule_test::utc;
using schedule_test::ymd;

const base::Date kWednesday = ymd(2024, 12, 11);  // from 2024-12-10T16:00Z on Beijing time

std::optional<app::schedule::ChannelDay> dayOf(const std::string& body) {
    return playerDay(body, "programys/TV_1/Channel_1/", 3, kWednesday, app::beijingZone());
}

std::string answerWith(const std::string& list) {
    return R"({"CCTV-1 综合": {"isLive": "", "channelName": "CCTV-1 综合", "program": )" + list +
           "}}";
}

TEST(PlayerDay, RecordsInStartOrderWithEndsAndDetailsOfThatDayAlone) {
    const std::int64_t six = utc("2024-12-10T22:00Z");  // 06:00 Wednesday
    const std::string list =
        "[{\"st\": " + std::to_string(six + 3600) + ", \"et\": " + std::to_string(six + 5400) +
        R"(, "t": "午间\n新闻", "desc": "要闻", "category": "新闻"},)" +  //
        "{\"st\": " + std::to_string(six) + ", \"et\": " + std::to_string(six + 1800) +
        R"(, "t": "朝闻天下", "showTime": "06:00", "duration": 1800},)" +
        // Yesterday's and one at the same start as another are not the day's own.
        "{\"st\": " + std::to_string(six - 86400) + R"(, "et": 0, "t": "昨天"},)" +
        "{\"st\": " + std::to_string(six) + R"(, "t": "重复"},)" +
        // An end that is no later than its start is no end.
        "{\"st\": " + std::to_string(six + 7200) + ", \"et\": " + std::to_string(six + 7200) +
        R"(, "t": "𠀀x"}])";
    const auto day = dayOf(answerWith(list));
    ASSERT_TRUE(day);
    EXPECT_EQ(day->date, kWednesday);
    ASSERT_EQ(day->programmes.size(), 3u);
    const auto& first = day->programmes[0];
    EXPECT_EQ(first.start, six);
    EXPECT_EQ(first.end, six + 1800);
    EXPECT_EQ(first.time, " 06:00");
    EXPECT_EQ(U(first.title), "朝闻天下");
    EXPECT_EQ(first.day, 3);
    EXPECT_EQ(first.channel, "programys/TV_1/Channel_1/");
    const auto& second = day->programmes[1];
    EXPECT_EQ(second.time, " 07:00");
    EXPECT_EQ(U(second.title), "午间 新闻");  // a line break would break the list's row
    EXPECT_EQ(U(second.description), "要闻");
    EXPECT_EQ(U(second.category), "新闻");
    EXPECT_EQ(day->programmes[2].end, std::nullopt);
    EXPECT_EQ(day->programmes[2].title, "?x");  // what GBK lacks
}

TEST(PlayerDay, AnswersThatAreNoDayAreRefusedAndAnEmptyListIsHeld) {
    struct Case {
        const char* what;
        std::string body;
        bool held;
    };
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const Case cases[] = {
        {"empty list", answerWith("[]"), true},
        {"null details", answerWith(R"([{"st": 1733868000, "t": "a", "desc": null, "et": null}])"),
         true},
        {"html", "<html><body>W3</body></html>", false},
        {"error", R"({"error": "no channel named"})", false},
        {"no list", R"({"CCTV1": {"isLive": ""}})", false},
        {"list no array", answerWith(R"({"st": 1})"), false},
        {"cut", answerWith(R"([{"st": 1733868000, "t": "a"})"), false},
        {"start text", answerWith(R"([{"st": "1733868000", "t": "a"}])"), false},
        {"start fraction", answerWith(R"([{"st": 1733868000.5, "t": "a"}])"), false},
        {"start huge", answerWith(R"([{"st": 18446744073709551615, "t": "a"}])"), false},
        {"no start", answerWith(R"([{"t": "a"}])"), false},
        {"title number", answerWith(R"([{"st": 1733868000, "t": 5}])"), false},
        {"desc object", answerWith(R"([{"st": 1733868000, "t": "a", "desc": {}}])"), false},
        {"end text", answerWith(R"([{"st": 1733868000, "et": "x", "t": "a"}])"), false},
        {"item array", answerWith("[[]]"), false},
        {"deep", answerWith(deep), false},
        {"huge", answerWith("[" + std::string(app::schedule::kMaxPlayerDayBytes, ' ') + "]"),
         false},
    };
    for (const Case& c : cases) {
        const auto day = dayOf(c.body);
        EXPECT_EQ(day.has_value(), c.held) << c.what;
    }
    std::string many = "[";
    for (std::size_t i = 0; i <= app::schedule::kMaxPlayerDayProgrammes; ++i)
        many += std::string(i ? "," : "") + R"({"st": 1733868000, "t": "a"})";
    EXPECT_FALSE(dayOf(answerWith(many + "]"))) << "more programmes than a day holds";
}

TEST(PlayerDay, AskedByTheRowsIdNotItsName) {
    EXPECT_EQ(app::schedule::playerDayUrl("http://h/", "programys/TV_1/Channel_1/", kWednesday),
              "http://h/epginfo?ch=programys.TV-1.Channel-1&date=2024-12-11");
    EXPECT_EQ(app::schedule::playerDayUrl("http://h/", "a b+/", kWednesday),
              "http://h/epginfo?ch=a%20b%2B&date=2024-12-11");
}

}  // namespace
