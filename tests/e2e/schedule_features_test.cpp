// Now and next, search, favourites and reminders through the probe, against
// the sample listings on a fixed clock: Wednesday 9 December 2026, 20:15 in
// Beijing, the zone of the pages and of the guide's clock alike.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/schedule/on_air.h"
#include "probe_runner.h"
#include "runtime/values/gbk.h"
#include "sample_epg.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kNow = "2026-12-09T20:15:00";
constexpr epg::Seconds kNowUnix = 1796818500;  // the same moment
constexpr int kWednesday = 3;
const Environment kBeijing{{"TZ", "Asia/Shanghai"}};

std::string utf8(const std::string& gbk) {
    return rt::toUtf8(gbk);
}

// "HH:MM title" of the row of `rows` on air at `minute` and of the one after.
std::pair<std::string, std::string> onAirAndNext(const std::vector<app::ScheduleRow>& rows,
                                                 int minute) {
    std::string now, next;
    for (const app::ScheduleRow& row : rows) {
        const auto m = app::minutesOfAirTime(row.time);
        if (!m) continue;
        const std::string shown = utf8(row.time.substr(1)) + " " + utf8(row.title);
        if (*m <= minute) {
            now = shown;
        } else {
            next = shown;
            break;
        }
    }
    return {now, next};
}

class ScheduleFeatures : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(epg.error(), "");
        settings = fs::temp_directory_path() /
                   ("tvguide-features-" + std::to_string(::getpid()) + ".conf");
        fs::remove(settings);
    }
    void TearDown() override { fs::remove(settings); }

    json probe(std::vector<std::string> args) {
        std::vector<std::string> all = {"--epg-root", epg.root(), "--now", kNow};
        all.insert(all.end(), args.begin(), args.end());
        const ProbeRun run = runProbe(all, kBeijing);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.json();
    }
    std::string settingsText() const { return readAll(settings.string()); }
    std::string path(int group, int row) const {
        return std::string(catalogue::groups()[group].rows[row].path);
    }

    SampleEpg epg{kNowUnix};
    fs::path settings;
};

// Each row of the open group shows the programme its page has on air now and
// the one after; asked for, and again an hour on; and not fetched unasked.
TEST_F(ScheduleFeatures, NowAndNextFollowTheDayPagesOfTheOpenGroup) {
    struct Case {
        std::vector<std::string> args;
        int group;
        int minute;  // of the pages' day
    };
    const Case cases[] = {
        {{"--now-next"}, 0, 20 * 60 + 15},
        {{"--now-next", "open-group:6"}, 6, 20 * 60 + 15},
        {{"--now-next", "open-group:2", "advance:60"}, 2, 21 * 60 + 15},
    };
    for (const Case& c : cases) {
        const json j = probe(c.args);
        const auto& group = catalogue::groups()[c.group];
        const json& shown = j.at("channel_list").at("now_next");
        ASSERT_EQ(shown.size(), group.rows.size()) << c.group;
        for (std::size_t r = 0; r < group.rows.size(); ++r) {
            const auto [now, next] =
                onAirAndNext(epg.rows(group.rows[r].path, kWednesday), c.minute);
            EXPECT_EQ(shown[r].at("now"), now) << c.group << " row " << r;
            EXPECT_EQ(shown[r].at("next"), next) << c.group << " row " << r;
        }
    }
    const json unasked = probe({});
    for (const json& row : unasked.at("channel_list").at("now_next"))
        EXPECT_EQ(row, (json{{"now", ""}, {"next", ""}}));
    EXPECT_EQ(unasked.at("requests").size(), 2u);
}

// A fragment finds exactly the week's rows whose titles hold it, by day from
// today on (the days gone last) and time; opening a result shows its channel
// and day as clicks would.
TEST_F(ScheduleFeatures, SearchFindsTheWeeksTitlesAndOpensTheChosenOne) {
    const std::string fragment = "新闻";
    const json j = probe({"search:" + fragment, "open-result:5"});
    const json& results = j.at("search").at("results");
    std::size_t expected = 0;
    for (const auto& group : catalogue::groups())
        for (const auto& row : group.rows)
            for (int day = 1; day <= 7; ++day)
                for (const auto& r : epg.rows(row.path, day))
                    expected += utf8(r.title).find(fragment) != std::string::npos;
    ASSERT_EQ(results.size(), expected);
    ASSERT_GT(expected, 5u);
    for (std::size_t i = 0; i < results.size(); ++i) {
        const json& hit = results[i];
        EXPECT_NE(hit.at("title").get<std::string>().find(fragment), std::string::npos) << i;
        const auto fromToday = [](const json& h) {
            return std::make_pair((h.at("day").get<int>() - kWednesday + 7) % 7,
                                  h.at("time").get<std::string>());
        };
        if (i > 0) {
            EXPECT_LE(fromToday(results[i - 1]), fromToday(hit)) << i;
        }
    }
    const json& chosen = results[5];
    const int group = chosen.at("group"), row = chosen.at("row"), day = chosen.at("day");
    EXPECT_EQ(chosen.at("channel"), utf8(catalogue::groups()[group].rows[row].name));
    EXPECT_EQ(j.at("current_group"), group);
    EXPECT_EQ(j.at("channel_list").at("current_row"), row);
    EXPECT_EQ(j.at("channel_base_url"), epg.root() + path(group, row));
    EXPECT_EQ(j.at("slider"), day);
    EXPECT_EQ(j.at("requests").back(),
              epg.root() + path(group, row) + "W" + std::to_string(day) + ".htm");
    bool listed = false;
    for (const json& shown : j.at("program_list").at("rows"))
        listed =
            listed || (shown[0] == std::string(" ").append(chosen.at("time").get<std::string>()) &&
                       shown[1] == chosen.at("title"));
    EXPECT_TRUE(listed);
}

// 我的收藏: the current channel goes in and out, the group shows while it has
// channels, its rows load as their own group's do, and all of it is kept.
TEST_F(ScheduleFeatures, FavouritesMakeTheLastGroupAndAreKept) {
    const std::string s = "--settings=" + settings.string();
    json j = probe({s, "open-group:6", "select-row:3", "favourite", "open-group:0", "select-row:2",
                    "favourite"});
    const json kept = json::array(
        {{{"channel", utf8(catalogue::groups()[6].rows[3].name)}, {"path", path(6, 3)}},
         {{"channel", utf8(catalogue::groups()[0].rows[2].name)}, {"path", path(0, 2)}}});
    EXPECT_EQ(j.at("favourites"), kept);
    EXPECT_EQ(j.at("groups").back(), "我的收藏");
    EXPECT_EQ(j.at("groups").size(), catalogue::groups().size() + 1);
    EXPECT_NE(settingsText().find("favourites=" + path(6, 3) + " " + path(0, 2)),
              std::string::npos);

    j = probe({s, "open-favourites", "select-row:0"});
    EXPECT_EQ(j.at("favourites"), kept);
    EXPECT_EQ(j.at("current_group"), catalogue::groups().size());
    EXPECT_EQ(j.at("channel_list").at("rows"),
              json::array({kept[0].at("channel"), kept[1].at("channel")}));
    EXPECT_EQ(j.at("channel_base_url"), epg.root() + path(6, 3));

    j = probe({s, "open-favourites", "select-row:0", "favourite", "select-row:0", "favourite"});
    EXPECT_EQ(j.at("favourites"), json::array());
    EXPECT_EQ(j.at("groups").size(), catalogue::groups().size());
    EXPECT_EQ(j.at("current_group"), catalogue::groups().size() - 1);
    EXPECT_EQ(probe({s}).at("favourites"), json::array());
}

// A reminder comes once, remind_lead_minutes before its programme, is kept
// across runs and is gone once the programme has begun.
TEST_F(ScheduleFeatures, RemindersComeOnceBeforeTheStartAndSurviveARestart) {
    std::ofstream(settings) << "; mine\nremind_lead_minutes=10\n";
    const std::string s = "--settings=" + settings.string();
    const auto rows = epg.rows(path(0, 0), kWednesday);
    int later = -1, earlier = -1;  // the first row after 20:45, one before now
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const auto m = app::minutesOfAirTime(rows[static_cast<std::size_t>(i)].time);
        if (m && *m < 20 * 60) earlier = i;
        if (m && *m > 20 * 60 + 45 && later < 0) later = i;
    }
    ASSERT_GE(later, 0);
    ASSERT_GE(earlier, 0);
    const auto& programme = rows[static_cast<std::size_t>(later)];
    const int start = *app::minutesOfAirTime(programme.time);
    char clock[32];
    std::snprintf(clock, sizeof clock, "%02d:%02d", start / 60, start % 60);
    const json reminder = {{"channel", utf8(catalogue::groups()[0].rows[0].name)},
                           {"start", std::string("2026-12-09T").append(clock)},
                           {"title", utf8(programme.title)}};
    const int lead = start - (20 * 60 + 15) - 10;  // minutes from now until it is due

    struct Case {
        std::vector<std::string> args;
        json reminders, notifications;
    };
    const Case cases[] = {
        {{"click-label:3", "remind:" + std::to_string(earlier), "remind:" + std::to_string(later),
          "remind:" + std::to_string(later)},
         json::array({reminder}),
         json::array()},
        {{"advance:" + std::to_string(lead - 1)}, json::array({reminder}), json::array()},
        {{"advance:" + std::to_string(lead)}, json::array({reminder}), json::array({reminder})},
        {{"advance:" + std::to_string(lead + 5)},
         json::array({reminder}),
         json::array()},  // told once only
        {{"advance:" + std::to_string(lead + 10)}, json::array(), json::array()},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::vector<std::string> args = {s};
        args.insert(args.end(), cases[i].args.begin(), cases[i].args.end());
        const json j = probe(args);
        EXPECT_EQ(j.at("reminders"), cases[i].reminders) << i;
        EXPECT_EQ(j.at("notifications"), cases[i].notifications) << i;
    }
    EXPECT_NE(settingsText().find("; mine\nremind_lead_minutes=10\n"), std::string::npos);
}

}  // namespace
