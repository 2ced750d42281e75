// Reminders: due once, lead minutes before the start, gone once it began;
// kept as lines of text across a restart.
#include "app/schedule/reminders.h"

#include <gtest/gtest.h>

#include "app/schedule/reminder_text.h"
#include "catalogue/catalogue.h"
#include "schedule_fixtures.h"

namespace {

using app::schedule::Reminder;
using app::schedule::Reminders;
using schedule_test::utc;

const std::string kCctv1(catalogue::groups()[0].rows[0].path);
const std::string kCctv2(catalogue::groups()[0].rows[1].path);

TEST(Reminders, DueOnceLeadMinutesBeforeAndDroppedOnceStarted) {
    Reminders reminders;
    const std::int64_t t0 = utc("2024-12-09T11:00Z");
    ASSERT_TRUE(reminders.add({kCctv1, t0, G("新闻联播")}, t0 - 3600));
    ASSERT_TRUE(reminders.add({kCctv2, t0 + 600, G("焦点访谈")}, t0 - 3600));
    EXPECT_FALSE(reminders.add({kCctv1, t0, G("again")}, t0 - 3600));       // already set
    EXPECT_FALSE(reminders.add({kCctv1, t0 - 60, G("started")}, t0 - 60));  // already begun
    EXPECT_FALSE(reminders.add({"programys/GONE/", t0 + 60, G("x")}, t0));  // no such channel
    struct Step {
        std::int64_t at;
        std::vector<std::string> due;  // titles
        std::size_t left;
    };
    const Step steps[] = {
        {t0 - 301, {}, 2},
        {t0 - 300, {"新闻联播"}, 2},
        {t0 - 120, {}, 2},  // once only
        {t0, {}, 1},        // started: gone
        {t0 + 300, {"焦点访谈"}, 1},
        {t0 + 600, {}, 0},
    };
    for (const Step& s : steps) {
        std::vector<std::string> due;
        for (const Reminder& r : reminders.takeDue(s.at, std::chrono::minutes(5)))
            due.push_back(U(r.title));
        EXPECT_EQ(due, s.due) << utc(s.at);
        EXPECT_EQ(reminders.all().size(), s.left) << utc(s.at);
    }
    // Set too late for its lead: due at the next look; past its start unseen: never.
    Reminders late;
    ASSERT_TRUE(late.add({kCctv1, t0, G("a")}, t0 - 60));
    EXPECT_EQ(late.takeDue(t0 - 59, std::chrono::minutes(5)).size(), 1u);
    Reminders missed;
    ASSERT_TRUE(missed.add({kCctv1, t0, G("b")}, t0 - 3600));
    EXPECT_TRUE(missed.takeDue(t0 + 1, std::chrono::minutes(5)).empty());
    EXPECT_TRUE(missed.all().empty());
}

TEST(ReminderText, SurvivesARestartExactly) {
    const std::vector<Reminder> kept = {
        {kCctv1, utc("2024-12-09T11:00Z"), G("新闻联播"), false},
        {kCctv2, utc("2024-12-09T11:30Z"), G("焦点访谈"), true},
        {kCctv2, utc("2024-12-31T23:59Z"), G("a\\b\nc\rd\te ") + "\xD5", false},  // a cut character
        {kCctv1, utc("2025-01-01T00:00Z"), "", false},
    };
    const std::string text = app::schedule::remindersToText(kept);
    EXPECT_EQ(text.substr(0, text.find('\n')), "2024-12-09T11:00Z " + kCctv1 + " waiting 新闻联播");
    const auto read = app::schedule::remindersFromText(text);
    EXPECT_EQ(read.reminders, kept);
    EXPECT_TRUE(read.errors.empty()) << read.errors.front();
}

// The settings file has room for so many: shown reminders go first, then
// waiting ones, earliest first; those kept stay in their order.
TEST(ReminderText, RemindersBeyondTheirRoomAreLeftOutShownAndEarliestFirst) {
    const std::int64_t t0 = utc("2024-12-09T11:00Z");
    const std::vector<Reminder> all = {
        {kCctv1, t0 + 180, G("D"), false},
        {kCctv1, t0 + 60, G("B"), false},
        {kCctv2, t0, G("A"), true},
        {kCctv2, t0 + 120, G("C"), true},
    };
    const std::size_t waiting = app::schedule::remindersToSetting({all[0]}).value.size();
    const std::size_t shown = app::schedule::remindersToSetting({all[2]}).value.size();
    struct Case {
        std::size_t room;
        std::string kept;  // titles, in the order given
    };
    const Case cases[] = {
        {2 * waiting + 2 * shown, "DBAC"},
        {2 * waiting + 2 * shown - 1, "DBC"},
        {2 * waiting + shown, "DBC"},
        {2 * waiting + shown - 1, "DB"},
        {waiting + 1, "D"},
        {waiting - 1, ""},
    };
    for (const Case& c : cases) {
        const auto setting = app::schedule::remindersToSetting(all, c.room);
        EXPECT_LE(setting.value.size(), c.room);
        EXPECT_EQ(setting.leftOut, all.size() - c.kept.size()) << c.room;
        std::string titles;
        for (const Reminder& r : app::schedule::remindersFromSetting(setting.value).reminders)
            titles += r.title;
        EXPECT_EQ(titles, c.kept) << c.room;
    }
}

// A hostile page's title reaches the notification server as plain text.
TEST(ReminderText, NotificationsCarryPlainTextOnOneLine) {
    struct Case {
        std::string title;   // GBK
        const char* markup;  // UTF-8, for a server that reads body markup
        const char* plain;   // for one that does not
    };
    const Case cases[] = {
        // A lone lead byte before "<": decoded apart, so the tag is escaped.
        {"\x81<a href='http://x/'>go</a>", "\uFFFD&lt;a href='http://x/'&gt;go&lt;/a&gt;",
         "\uFFFD<a href='http://x/'>go</a>"},
        {"<img src='file:///etc/passwd'/>", "&lt;img src='file:///etc/passwd'/&gt;",
         "<img src='file:///etc/passwd'/>"},
        {"Tom & Jerry &amp;", "Tom &amp; Jerry &amp;amp;", "Tom & Jerry &amp;"},
        {"red\x1b[31m!\x7f", "red[31m!", "red[31m!"},
        {"one\r\ntwo\tthree\x01", "onetwothree", "onetwothree"},
        {G("新闻联播") + "\xFE", "新闻联播\uFFFD", "新闻联播\uFFFD"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(app::schedule::notificationText(c.title, true), c.markup) << c.plain;
        EXPECT_EQ(app::schedule::notificationText(c.title, false), c.plain) << c.plain;
    }
}

TEST(ReminderText, MalformedLinesAreLeftOutWithTheirReason) {
    const std::string ok = "2024-12-09T11:00Z " + kCctv1 + " waiting 新闻";
    const std::string text = "\n" + ok + "\r\n" +  // line 2 is good, blank line 1 skipped
                             "2024-12-09 11:00 " + kCctv1 + " waiting x\n" + "2024-02-30T11:00Z " +
                             kCctv1 + " waiting x\n" + "2024-12-09T24:00Z " + kCctv1 +
                             " waiting x\n" + "2024-12-09T11:00Z programys/GONE/ waiting x\n" +
                             "2024-12-09T11:00Z " + kCctv1 + " soon x\n" + "2024-12-09T11:00Z " +
                             kCctv1 + "\n" + "2024-12-09T11:00Z " + kCctv1 + " waiting bad\\q\n" +
                             "2024-12-09T11:00Z " + kCctv1 + " waiting \xFF\xFE\n";
    const auto read = app::schedule::remindersFromText(text);
    ASSERT_EQ(read.reminders.size(), 1u);
    EXPECT_EQ(read.reminders[0].title, G("新闻"));
    const std::vector<std::string> errors = {
        "line 3: start \"2024-12-09\" is not a UTC time YYYY-MM-DDTHH:MMZ",
        "line 4: start \"2024-02-30T11:00Z\" is not a UTC time YYYY-MM-DDTHH:MMZ",
        "line 5: start \"2024-12-09T24:00Z\" is not a UTC time YYYY-MM-DDTHH:MMZ",
        "line 6: channel \"programys/GONE/\" is not a catalogue path",
        "line 7: state \"soon\" is neither waiting nor notified",
        "line 8: expected START CHANNEL STATE TITLE separated by blanks",
        "line 9: the title has a bad escape (\\\\, \\n, \\r or \\xHH)",
        "line 10: the title is not UTF-8 text that GBK can hold",
    };
    EXPECT_EQ(read.errors, errors);
}

}  // namespace
