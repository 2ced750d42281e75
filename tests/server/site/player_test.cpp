// The players' JSON interfaces (DIYP / 百川 and 超级直播) answered from the
// fixture feeds: every name form a player sends, catalogue channels and
// others, bad inputs, what is on air around midnight, caching and reloads,
// and once over a real connection.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "read_source.h"
#include "server/channels/xmltv_listings.h"
#include "server/http/http_server.h"
#include "server/site/player_answers.h"
#include "server/site/site.h"
#include "server/util/http_rules.h"
#include "server/xmltv/source_reader.h"
#include "server_test_util.h"

namespace epg {
namespace {

using Json = nlohmann::json;

const Date kMonday{2026, 12, 7};

std::string fixtureText(const std::string& file) {
    std::ifstream in(std::string(FIXTURE_DIR) + "/" + file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The listings of one fixture feed, read as tvguide-epgd reads it (no map).
std::shared_ptr<const Listings> fixtureListings(const std::string& file) {
    static std::map<std::string, std::shared_ptr<const Listings>> loaded;
    auto& l = loaded[file];
    if (!l) {
        // multiname.xml writes Beijing times with "+0000".
        std::optional<Zone> zone;
        if (file == "multiname.xml") zone = beijing();
        ParsedSource parsed = parseSource(fixtureText(file), file, zone);
        EXPECT_TRUE(parsed.document) << parsed.error;
        l = listingsFromXmltv({parsed.document}, nullptr, beijing()).listings;
    }
    return l;
}

// The titles of the fixtures say which channel, which id and which Beijing
// date and time they are for: "HUNAN/106 12-09 19:30 ...". The dates
// ("MM-DD") each channel tag has programmes on.
std::map<std::string, std::set<std::string>> carriedDays(const std::string& file) {
    std::map<std::string, std::set<std::string>> out;
    std::string text = fixtureText(file);
    for (auto at = text.find("<title"); at != std::string::npos; at = text.find("<title", at)) {
        at = text.find('>', at) + 1;
        std::string title = text.substr(at, text.find('<', at) - at);
        out[title.substr(0, title.find('/'))].insert(title.substr(title.find(' ') + 1, 5));
    }
    return out;
}

std::string fieldOf(const Reply& r, std::string_view name) {
    std::string key = "\r\n" + std::string(name) + ": ";
    auto at = r.headers.find(key);
    if (at == std::string_view::npos) return {};
    auto from = at + key.size();
    return std::string(r.headers.substr(from, r.headers.find("\r\n", from) - from));
}

Json bodyOf(const Reply& r) {
    return Json::parse(*r.body, nullptr, false);
}

std::string mmdd(const Date& d) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d-%02d", d.month, d.day);
    return buf;
}

// One site per fixture, at the noon below: a site renders its whole week
// ahead, so the cases share them.
std::shared_ptr<const Site> fixtureSite(const std::string& file, Seconds now) {
    static std::map<std::string, std::shared_ptr<const Site>> sites;
    auto& s = sites[file];
    if (!s) s = std::make_shared<const Site>(fixtureListings(file), fixedClock(now), beijing());
    return s;
}

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override { useZone(kUtc); }  // the server keeps Beijing time
    // Wednesday 2026-12-09, noon in Beijing.
    Seconds noon_ = fromLocal({2026, 12, 9}, 12 * 60, beijing());
};

// Each name as players send it (raw in the query, or %-escaped), against
// the channel tag of the fixture's titles it must show; "" for none. Every
// day of the week: the channel's programmes of that Beijing day in order,
// each ending where the next starts (the feeds give no stops), each day
// from one id, on the days the feed has them; 超级直播 shows today's the
// same and what is on at noon.
TEST_F(PlayerTest, EveryNameFormGetsItsChannelsDaysOnBeijingTime) {
    const struct {
        const char* fixture;
        const char* name;  // as it stands in the query
        const char* tag;
    } cases[] = {
        // Catalogue channels.
        {"cntv.xml", "CCTV5+", "CCTV5PLUS"},  // a raw "+" is a plus
        {"cntv.xml", "cctv-5%2B", "CCTV5PLUS"},
        {"cntv.xml", "CCTV5%EF%BC%8B", "CCTV5PLUS"},                                  // CCTV5＋
        {"cntv.xml", "CCTV-5+%20%E4%BD%93%E8%82%B2%E8%B5%9B%E4%BA%8B", "CCTV5PLUS"},  // 体育赛事
        {"cntv.xml", "CCTV5", "CCTV5"},
        {"cntv.xml", "CCTV-1%20%E7%BB%BC%E5%90%88", "CCTV1"},  // CCTV-1 综合
        {"cntv.xml", "cctv1", "CCTV1"},
        {"cntv.xml", "CCTV-4%20(%E6%AC%A7%E6%B4%B2)", "CCTV4EU"},  // CCTV-4 (欧洲)
        {"cntv.xml", "CCTV4", "CCTV4"},
        {"cntv.xml", "CCTV9", "CCTV9"},  // 纪录, never CGTN
        {"cntv.xml", "CGTN", "CGTN"},
        {"cntv.xml", "CCTV%E8%80%81%E6%95%85%E4%BA%8B", "LAOGUSHI"},  // CCTV老故事
        {"cntv.xml", "CCTV-Espa%C3%B1ol", "CGTNES"},
        {"cntv.xml", "programys.TV-1.Channel-3", "CCTV2"},  // the id of XMLTV out
        {"aggregated.xml", "湖南卫视", "HUNAN"},            // raw UTF-8
        {"aggregated.xml", "%E6%B5%99%E6%B1%9F%E8%A1%9B%E8%A6%96", "ZHEJIANG"},  // 浙江衛視
        {"aggregated.xml", "%E5%B1%B1%E4%B8%9C%E5%8D%AB%E8%A7%86", "SHANDONG"},  // two ids
        {"aggregated.xml", "CETV1", "CETV1"},
        {"multiname.xml", "%E9%B3%B3%E5%87%B0%E8%A1%9B%E8%A6%96%E4%B8%AD%E6%96%87%E5%8F%B0",
         "PHOENIXCN"},  // 鳳凰衛視中文台
        {"multiname.xml", "%E5%87%A4%E5%87%B0%E5%8D%AB%E8%A7%86", "PHOENIXCN"},  // 凤凰卫视
        {"multiname.xml", "%E7%BF%A1%E7%BF%A0%E5%8F%B0", "JADE"},                // 翡翠台
        {"multiname.xml", "TVB%20Jade", "JADE"},
        {"multiname.xml", "%E6%98%8E%E7%8F%A0%E8%87%BA", "PEARL"},  // 明珠臺
        // Channels no catalogue row takes.
        {"cntv.xml", "CCTV16", "CCTV16"},
        {"cntv.xml", "CCTV-17%E5%86%9C%E4%B8%9A%E5%86%9C%E6%9D%91", "CCTV17"},  // 农业农村
        {"aggregated.xml", "湖南卫视国际", "HUNANINTL"},
        {"aggregated.xml", "湖南电影", "HUNANMOVIE"},
        {"aggregated.xml", "湖南卫视4K", "HUNAN4K"},
        {"aggregated.xml", "CCTV-4K", "CCTV4K"},
        {"aggregated.xml", "杭州综合", "LOCAL0"},
        {"multiname.xml", "%E9%B3%B3%E5%87%B0%E8%A1%9B%E8%A6%96%E9%A6%99%E6%B8%AF%E5%8F%B0",
         "PHOENIXHK"},  // 鳳凰衛視香港台
        {"multiname.xml", "CTi%20Asia", "CTI"},
        // No such channel: an empty list, never a neighbour's.
        {"cntv.xml", "CCTV99", ""},
        {"cntv.xml", "nowhere", ""},
        {"multiname.xml", "CCTV5", ""},
        {"aggregated.xml", "湖南", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + " " + c.name);
        const Site& site = *fixtureSite(c.fixture, noon_);
        const std::set<std::string> carried =
            c.tag[0] ? carriedDays(c.fixture)[c.tag] : std::set<std::string>{};
        std::set<std::string> shown;
        std::vector<Json> days;
        for (int d = 0; d < 8; ++d) {  // Monday to the next Monday
            const Date day = addDays(kMonday, d);
            // Both date forms players use.
            std::string date = isoText(day);
            if (d % 2) date.erase(std::remove(date.begin(), date.end(), '-'), date.end());
            Reply r = handleRequest(site, {"GET", "/?ch=" + std::string(c.name) + "&date=" + date});
            ASSERT_EQ(r.status, 200);
            EXPECT_EQ(r.contentType, kPlayerJsonType);
            Json j = bodyOf(r);
            ASSERT_TRUE(j.is_object()) << *r.body;
            EXPECT_EQ(j["date"], isoText(day));
            std::set<std::string> ids;
            for (const Json& p : j["epg_data"]) {
                const std::string t = p["title"];
                // The day before's last, running past midnight: the day's
                // 00:00 piece (checked below with that day).
                if (p["start"] == "00:00" &&
                    t.find(std::string(" ").append(mmdd(addDays(day, -1))).append(" ")) !=
                        std::string::npos)
                    continue;
                const auto slash = t.find('/'), blank = t.find(' ');
                ASSERT_NE(blank, std::string::npos) << t;
                EXPECT_EQ(t.substr(0, slash), c.tag) << t;
                EXPECT_EQ(t.substr(blank + 1, 5), mmdd(day)) << t;
                EXPECT_EQ(t.substr(blank + 7, 5), p["start"]) << t;
                ids.insert(t.substr(slash + 1, blank - slash - 1));
                shown.insert(mmdd(day));
            }
            EXPECT_LE(ids.size(), 1u) << "two ids mixed on " << date;
            days.push_back(std::move(j));
        }
        EXPECT_EQ(shown, carried);
        // Each programme ends where the next one starts, the day's last one
        // at the next day's first (past midnight, as it really ends) unless
        // a gap of more than 12 hours lies between: then it is taken to run
        // two hours, and the gap stays one.
        auto minutes = [](const Json& hhmm) {
            const std::string t = hhmm.get<std::string>();
            return std::stoi(t.substr(0, 2)) * 60 + std::stoi(t.substr(3, 2));
        };
        for (std::size_t d = 0; d + 1 < days.size(); ++d) {
            const Json& list = days[d]["epg_data"];
            for (std::size_t i = 0; i + 1 < list.size(); ++i)
                EXPECT_EQ(list[i]["end"], list[i + 1]["start"]) << days[d]["date"];
            const Json& next = days[d + 1]["epg_data"];
            if (!list.empty() && !next.empty()) {
                const int start = minutes(list.back()["start"]);
                // The next day opens with this one's 00:00 piece where it
                // runs past midnight: the same title and end.
                const bool piece = next.front()["start"] == "00:00" &&
                                   next.front()["title"] == list.back()["title"];
                if (piece) {
                    EXPECT_EQ(next.front()["end"], list.back()["end"]);
                }
                const Json& first = piece && next.size() > 1 ? next[1] : next.front();
                if (minutes(first["start"]) + 24 * 60 - start <= 12 * 60)
                    EXPECT_EQ(list.back()["end"], first["start"]);
                else
                    EXPECT_EQ(minutes(list.back()["end"]), (start + 120) % (24 * 60));
                EXPECT_EQ(piece,
                          minutes(list.back()["end"]) < start && minutes(list.back()["end"]) > 0);
            }
        }

        // The name as the player wrote it, and no date: today.
        Reply today = handleRequest(site, {"GET", "/diyp?ch=" + std::string(c.name)});
        Json t = bodyOf(today);
        EXPECT_EQ(t["epg_data"], days[2]["epg_data"]);
        EXPECT_EQ(t["date"], "2026-12-09");
        auto decoded = parsePlayerQuery(PlayerApi::Diyp, "/?ch=" + std::string(c.name)).channel;
        EXPECT_EQ(t["channel_name"], decoded);

        // 超级直播: today's programmes in Unix seconds, and the one on at noon.
        Reply live = handleRequest(site, {"GET", "/epginfo?ch=" + std::string(c.name)});
        ASSERT_EQ(live.status, 200);
        Json e = bodyOf(live);
        ASSERT_TRUE(e.contains(decoded)) << *live.body;
        const Json& ch = e[decoded];
        EXPECT_EQ(ch["channelName"], decoded);
        const Json& dayList = days[2]["epg_data"];
        ASSERT_EQ(ch["program"].size(), dayList.size());
        std::string onAir;
        Seconds onAirStart = 0;
        for (std::size_t i = 0; i < dayList.size(); ++i) {
            const Json& p = ch["program"][i];
            EXPECT_EQ(p["t"], dayList[i]["title"]);
            EXPECT_EQ(p["showTime"], dayList[i]["start"]);
            const Seconds st = p["st"], et = p["et"];
            EXPECT_EQ(toLocal(st, beijing()).date, (Date{2026, 12, 9}));
            EXPECT_EQ(p["duration"], et - st);
            if (st <= noon_ && noon_ < et) {
                onAir = p["t"].get<std::string>();
                onAirStart = st;
            }
        }
        EXPECT_EQ(ch["isLive"], onAir);
        EXPECT_EQ(ch["liveSt"], onAirStart);
        if (c.tag[0] && carried.contains("12-09")) {
            EXPECT_NE(onAir, "");
        }
    }
}

// TVBox-style apps encode a blank as "+": a name that finds nothing with its
// pluses is read with blanks, while "CCTV5+" stays CCTV-5+. Answers carry
// the channel's icon where the feed gives one.
TEST_F(PlayerTest, PlusesAreBlanksOnlyWhereThePlusFindsNothingAndIconsGoAlong) {
    const Site& site = *fixtureSite("cntv.xml", noon_);
    auto list = [&](const std::string& query) {
        return bodyOf(handleRequest(site, {"GET", "/?" + query + "&date=2026-12-09"}))["epg_data"];
    };
    const Json spaced = list("ch=CCTV-1%20%E7%BB%BC%E5%90%88");
    ASSERT_FALSE(spaced.empty());
    EXPECT_EQ(list("ch=CCTV-1+%E7%BB%BC%E5%90%88"), spaced);
    EXPECT_EQ(list("ch=CCTV5+"), list("ch=CCTV5%2B"));
    EXPECT_NE(list("ch=CCTV5+"), list("ch=CCTV5"));
    EXPECT_FALSE(list("ch=CCTV5+").empty());

    auto l = std::make_shared<StoredListings>();
    l->add(0, {fromLocal({2026, 12, 9}, 20 * 60, beijing()), 0, "News", "", ""});
    l->finish();
    l->setIcon(0, "http://logo.example/cctv1.png");
    Site withIcon(l, fixedClock(noon_), beijing());
    EXPECT_EQ(bodyOf(handleRequest(withIcon, {"GET", "/?ch=CCTV1&date=2026-12-09"}))["icon"],
              "http://logo.example/cctv1.png");
    EXPECT_EQ(bodyOf(handleRequest(withIcon, {"GET", "/epginfo?ch=CCTV1"}))["CCTV1"]["icon"],
              "http://logo.example/cctv1.png");
    EXPECT_FALSE(
        bodyOf(handleRequest(withIcon, {"GET", "/?ch=CCTV2&date=2026-12-09"})).contains("icon"));
}

TEST_F(PlayerTest, BadQueriesGetAJsonErrorAndFittingOnesAnAnswer) {
    const Site& site = *fixtureSite("cntv.xml", noon_);
    const std::string fits(kPlayerNameCap, 'x'), over(kPlayerNameCap + 1, 'x');
    const struct {
        std::string target;
        int status;
        const char* channel;  // the channel answered for
    } cases[] = {
        {"/", 400, ""},
        {"/?date=2026-12-09", 400, ""},
        {"/?ch=&date=2026-12-09", 400, ""},
        {"/diyp?channel=CCTV1", 200, "CCTV1"},  // as 超级直播 apps say it
        {"/?id=CCTV1&date=2026-12-09", 200, "CCTV1"},
        {"/?channel=CCTV1&ch=CCTV2", 200, "CCTV2"},  // "ch" first
        {"/?ch=CCTV1&date=2026-02-30", 400, ""},
        {"/?ch=CCTV1&date=2026-1-9", 400, ""},
        {"/?ch=CCTV1&date=20261309", 400, ""},
        {"/?ch=CCTV1&date=2026%2D12%2D09x", 400, ""},
        {"/?ch=CCTV1&date=today", 400, ""},
        {"/?ch=CCTV%2", 400, ""},
        {"/?ch=CCTV%G1", 400, ""},
        {"/?ch=" + over, 400, ""},
        {"/?ch=" + fits, 200, fits.c_str()},  // no such channel: an empty list
        {"/?ch=CCTV1&date=", 200, "CCTV1"},   // an empty date is today
        {"/?ch=CCTV1&ch=CCTV2&x=%zz", 200, "CCTV1"},
        {"/diyp/?ch=CCTV1&date=2026%2D12%2D09", 200, "CCTV1"},
        {"/epginfo", 400, ""},
        {"/epginfo?channel=", 400, ""},
        {"/epginfo?channel=CCTV1", 200, "CCTV1"},
        {"/epginfo?id=CCTV1", 200, "CCTV1"},
        {"/epginfo/?ch=CCTV1&date=never", 400, ""},  // a date is read as DIYP's
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.substr(0, 60));
        Reply r = handleRequest(site, {"GET", c.target});
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.contentType, kPlayerJsonType);
        EXPECT_EQ(fieldOf(r, "Access-Control-Allow-Origin"), "*");
        Json j = bodyOf(r);
        if (c.status == 400) {
            EXPECT_TRUE(j["error"].is_string()) << *r.body;
            EXPECT_EQ(fieldOf(r, "Cache-Control"), "no-store");
        } else if (c.target.starts_with("/epginfo")) {
            EXPECT_EQ(j[c.channel]["channelName"], c.channel) << *r.body;
        } else {
            EXPECT_EQ(j["channel_name"], c.channel) << *r.body;
            EXPECT_EQ(j["date"], "2026-12-09");
        }
    }
}

// Titles and descriptions reach players as the feed has them; what is on
// air comes from yesterday's last programme before today's first, and
// nothing is on between a stop and the next start. An answer holds while
// nothing comes on or goes off the air, then the next minute's is new.
TEST_F(PlayerTest, OnAirAroundMidnightAndFeedTextsAsTheyAre) {
    auto l = std::make_shared<StoredListings>();
    auto at = [](int day, int minute) { return fromLocal({2026, 12, day}, minute, beijing()); };
    l->add(0, {at(8, 23 * 60), at(9, 60), "Late 𝄞 <film> & \"more\"", "第1集 <b>plot</b>", "电影"});
    l->add(0, {at(9, 6 * 60), at(9, 7 * 60), "Morning  news", "", ""});
    l->add(0, {at(9, 8 * 60), 0, "Last, no stop", "", ""});  // ends with the day
    l->finish();
    auto clock = std::make_shared<std::atomic<Seconds>>(at(9, 30));
    Site site(
        l, [clock] { return clock->load(); }, beijing());

    Json day = bodyOf(handleRequest(site, {"GET", "/?ch=CCTV1&date=20261208"}));
    ASSERT_EQ(day["epg_data"].size(), 1u);
    EXPECT_EQ(day["epg_data"][0], (Json{{"start", "23:00"},
                                        {"end", "01:00"},
                                        {"title", "Late 𝄞 <film> & \"more\""},
                                        {"desc", "第1集 <b>plot</b>"},
                                        {"category", "电影"}}));
    // 超级直播's answer carries them too, where there are any, for the guide.
    Json dated = bodyOf(handleRequest(site, {"GET", "/epginfo?ch=CCTV1&date=2026-12-08"}));
    ASSERT_EQ(dated["CCTV1"]["program"].size(), 1u);
    EXPECT_EQ(dated["CCTV1"]["program"][0]["desc"], "第1集 <b>plot</b>");
    EXPECT_EQ(dated["CCTV1"]["program"][0]["category"], "电影");
    Json today = bodyOf(handleRequest(site, {"GET", "/?ch=CCTV1"}));
    ASSERT_EQ(today["epg_data"].size(), 3u);
    // Last night's film opens the day as its 00:00 piece, to its end.
    EXPECT_EQ(today["epg_data"][0], (Json{{"start", "00:00"},
                                          {"end", "01:00"},
                                          {"title", "Late 𝄞 <film> & \"more\""},
                                          {"desc", "第1集 <b>plot</b>"},
                                          {"category", "电影"}}));
    EXPECT_EQ(today["epg_data"][2]["end"], "00:00");
    EXPECT_FALSE(today["epg_data"][2].contains("category"));

    struct Step {
        int minute;  // of 2026-12-09, on Beijing time
        const char* onAir;
        bool sameAnswer;  // as the step before
    } steps[] = {
        {30, "Late 𝄞 <film> & \"more\"", false},
        {59, "Late 𝄞 <film> & \"more\"", true},
        {60, "", false},  // its stop: off the air
        {5 * 60, "", true},
        {6 * 60, "Morning  news", false},
        {7 * 60 + 59, "", false},
        {8 * 60, "Last, no stop", false},
        {23 * 60 + 59, "Last, no stop", true},
    };
    std::string lastTag;
    const std::string* lastBody = nullptr;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.minute);
        clock->store(at(9, s.minute));
        site.render();
        Reply r = handleRequest(site, {"GET", "/epginfo?ch=CCTV1"});
        Json j = bodyOf(r)["CCTV1"];
        EXPECT_EQ(j["isLive"], s.onAir);
        EXPECT_EQ(j["program"].size(), 2u);
        EXPECT_FALSE(j["program"][0].contains("desc"));
        // The very answer made before, or a new one.
        if (s.sameAnswer) {
            EXPECT_EQ(r.body.get(), lastBody);
        } else {
            EXPECT_NE(fieldOf(r, "ETag"), lastTag);
        }
        EXPECT_EQ(fieldOf(r, "Cache-Control"), "public, max-age=60");
        lastTag = fieldOf(r, "ETag");
        lastBody = r.body.get();
    }
}

// Answers carry the pages' validators and gzip; a reload answers from the
// new listings at once; the cache stays within its bounds and shares what
// it holds.
TEST_F(PlayerTest, ValidatorsGzipReloadAndABoundedCache) {
    Site site(fixtureListings("cntv.xml"), fixedClock(noon_), beijing());
    const std::string target = "/?ch=CCTV5+&date=2026-12-09";
    Reply plain = handleRequest(site, {"GET", target});
    Reply zipped = handleRequest(site, {"GET", target, "gzip"});
    EXPECT_EQ(fieldOf(plain, "Cache-Control"), "public, max-age=300");
    EXPECT_EQ(fieldOf(plain, "Last-Modified"), httpDate(noon_));
    EXPECT_EQ(fieldOf(zipped, "Content-Encoding"), "gzip");
    EXPECT_EQ(fieldOf(zipped, "Vary"), "Accept-Encoding");
    EXPECT_EQ(fieldOf(zipped, "Access-Control-Allow-Origin"), "*");
    EXPECT_EQ(gunzip(*zipped.body), *plain.body);
    EXPECT_EQ(handleRequest(site, {"GET", target}).body, plain.body);  // made once
    Reply again = handleRequest(site, {"GET", target, "", fieldOf(plain, "ETag")});
    EXPECT_EQ(again.status, 304);
    EXPECT_EQ(fieldOf(again, "Access-Control-Allow-Origin"), "*");
    EXPECT_EQ(handleRequest(site, {"GET", target, "", "", httpDate(noon_)}).status, 304);
    // Asked for without a date, the address shows another day from midnight.
    Reply today = handleRequest(site, {"GET", "/?ch=CCTV5+"});
    EXPECT_EQ(*today.body, *plain.body);
    EXPECT_EQ(fieldOf(today, "Last-Modified"), httpDate(noon_));

    site.replaceListings(fixtureListings("aggregated.xml"));
    Reply reloaded = handleRequest(site, {"GET", target, "", fieldOf(plain, "ETag")});
    EXPECT_EQ(reloaded.status, 200);
    Json j = bodyOf(reloaded);
    ASSERT_FALSE(j["epg_data"].empty());
    EXPECT_EQ(j["epg_data"][0]["title"].get<std::string>().find("CCTV5PLUS/cctv_cctv5p"), 0u);

    PlayerAnswers answers(fixtureListings("cntv.xml"), beijing(), noon_, {3, 1u << 20});
    auto first = answers.answer(PlayerApi::Diyp, "/?ch=CCTV1", noon_).resource;
    EXPECT_EQ(answers.answer(PlayerApi::Diyp, "/?ch=CCTV1", noon_).resource, first);
    for (const char* name : {"CCTV2", "CCTV3", "CCTV4", "CCTV5"})
        answers.answer(PlayerApi::Diyp, std::string("/?ch=") + name, noon_);
    EXPECT_EQ(answers.cachedEntries(), 3u);
    EXPECT_NE(answers.answer(PlayerApi::Diyp, "/?ch=CCTV1", noon_).resource, first);  // let go
    PlayerAnswers small(fixtureListings("cntv.xml"), beijing(), noon_, {100, 6000});
    for (const char* name : {"CCTV1", "CCTV2", "CCTV3", "CCTV4", "CCTV5"})
        small.answer(PlayerApi::Diyp, std::string("/?ch=") + name, noon_);
    EXPECT_LE(small.cachedBytes(), 6000u);
    EXPECT_GE(small.cachedEntries(), 1u);

    // Two I/O threads at once, answers found and made and let go meanwhile:
    // each gets its own channel's answer, and the bounds hold.
    PlayerAnswers shared(fixtureListings("cntv.xml"), beijing(), noon_, {4, 1u << 20});
    std::atomic<int> wrong{0};
    auto ask = [&](int seed) {
        for (int i = 0; i < 400; ++i) {
            const std::string name = "CCTV" + std::to_string(1 + (i * 7 + seed) % 9);
            auto a = shared.answer(PlayerApi::Diyp, "/?ch=" + name + "&date=20261209", noon_);
            if (!a.resource || Json::parse(a.resource->identity.body)["channel_name"] != name)
                ++wrong;
        }
    };
    std::thread other(ask, 1);
    ask(2);
    other.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_LE(shared.cachedEntries(), 4u);
}

// A held answer that says which key and minute it was made for.
HeldAnswer heldFor(const std::string& key, Seconds from = 0, Seconds until = 1000) {
    auto r = std::make_shared<Resource>();
    r->identity.body = key + "@" + std::to_string(from);
    return {std::move(r), from, until};
}

// The cache of answers itself: its bounds, the order it lets answers go in,
// and which of two answers of one key it keeps. Each row is a run of puts
// ('+': key, bytes, from, until) and finds ('?': key, at `now`, whether it
// is found), then what is held, the least recently used first.
TEST(AnswerLruTest, BoundsAndTheOrderAnswersGoIn) {
    struct Op {
        char what;
        const char* key;
        std::size_t bytes = 10;
        Seconds from = 0, until = 1000, now = 0;
        bool found = true;
    };
    struct Case {
        const char* name;
        std::size_t maxEntries, maxBytes;
        std::vector<Op> ops;
        std::vector<std::string> held;
        std::size_t bytes;
    } cases[] = {
        {"at the bound in entries the least recently put goes",
         3,
         1000,
         {{'+', "a"}, {'+', "b"}, {'+', "c"}, {'+', "d"}},
         {"b", "c", "d"},
         30},
        {"a find makes an answer the most recently used",
         3,
         1000,
         {{'+', "a"}, {'+', "b"}, {'+', "c"}, {'?', "a"}, {'+', "d"}},
         {"c", "a", "d"},
         30},
        {"at the bound in bytes as many go as make room",
         10,
         100,
         {{'+', "a", 40}, {'+', "b", 40}, {'+', "c", 10}, {'+', "d", 70}},
         {"c", "d"},
         80},
        {"one bigger than all the room is not kept and lets nothing go",
         10,
         100,
         {{'+', "a", 40}, {'+', "big", 101}, {'?', "big", 0, 0, 1000, 0, false}},
         {"a"},
         40},
        {"a key put again is held once, with its new size, as the most recent",
         10,
         100,
         {{'+', "a", 40}, {'+', "b", 10}, {'+', "a", 20}},
         {"b", "a"},
         30},
        {"an answer of an earlier minute does not replace a later one",
         10,
         100,
         {{'+', "a", 10, 60, 120},
          {'+', "a", 20, 0, 60},
          {'?', "a", 0, 0, 0, 30, false},
          {'?', "a", 0, 0, 0, 90}},
         {"a"},
         10},
        {"one that no longer holds is not found, nor made more recent",
         2,
         1000,
         {{'+', "a", 10, 0, 100},
          {'+', "b"},
          {'?', "a", 0, 0, 0, 100, false},
          {'?', "b", 0, 0, 0, 100},
          {'+', "c"}},
         {"b", "c"},
         20},
        {"no room at all keeps nothing",
         0,
         1000,
         {{'+', "a"}, {'?', "a", 0, 0, 0, 0, false}},
         {},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AnswerLru lru(c.maxEntries, c.maxBytes);
        for (const Op& op : c.ops) {
            if (op.what == '+') {
                lru.put(op.key, heldFor(op.key, op.from, op.until), op.bytes);
                continue;
            }
            const HeldAnswer* found = lru.find(op.key, op.now);
            EXPECT_EQ(found != nullptr, op.found) << op.key << " at " << op.now;
            if (found) {
                EXPECT_EQ(found->resource->identity.body.find(op.key), 0u);
                EXPECT_TRUE(op.now >= found->from && op.now < found->until);
            }
        }
        EXPECT_EQ(lru.keys(), c.held);
        EXPECT_EQ(lru.entries(), c.held.size());
        EXPECT_EQ(lru.bytes(), c.bytes);
    }
}

// Thousands of answers through a cache a quarter their number: the bounds
// hold at every step, and what goes is always the least recently used (a
// key asked for at every step is never let go).
TEST(AnswerLruTest, ManyMoreAnswersThanRoom) {
    AnswerLru lru(1024, 1024 * 10);
    lru.put("kept", heldFor("kept"), 10);
    for (int i = 0; i < 4096; ++i) {
        std::string key = std::string("k").append(std::to_string(i));
        lru.put(key, heldFor(key), 10);
        ASSERT_NE(lru.find("kept", 0), nullptr) << i;
        ASSERT_LE(lru.entries(), 1024u);
    }
    EXPECT_EQ(lru.bytes(), 10240u);
    auto keys = lru.keys();
    EXPECT_EQ(keys.back(), "kept");
    EXPECT_EQ(keys.front(), "k3073");  // the 1,023 put last stay, in order
    EXPECT_EQ(lru.find("k3072", 0), nullptr);
}

// Two I/O threads on one cache, each putting and finding keys that the
// other puts too, past its bounds: every answer found is its key's, and the
// bounds hold. (The test command runs this under ThreadSanitizer.)
TEST(AnswerCacheTest, TwoThreadsSideBySide) {
    const AnswerCache cache(2048, 2048 * 100);
    std::atomic<int> wrong{0};
    auto hammer = [&](int seed) {
        for (int i = 0; i < 20000; ++i) {
            std::string key =
                std::string("k").append(std::to_string((i * 7919 + seed * 31) % 3000));
            if (auto found = cache.find(key, 0)) {
                if (found->identity.body != key + "@0") ++wrong;
            } else {
                cache.put(key, heldFor(key), 100);
            }
        }
    };
    std::thread other(hammer, 1);
    hammer(2);
    other.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_LE(cache.entries(), 2048u);
    EXPECT_GT(cache.entries(), 1024u);  // the shards' shares add up to the whole
    EXPECT_LE(cache.bytes(), 2048u * 100);
}

// Names no source has cost a player nothing to make up; a flood of them,
// or of days without listings, is answered (empty lists, kept apart in a
// small cache) and never pushes out the answers of channels that exist.
TEST_F(PlayerTest, KnownAnswersOutliveAFloodOfEmptyOnes) {
    struct Case {
        const char* name;
        std::function<std::string(int)> flood;
        PlayerApi api;
    } cases[] = {
        {"DIYP, names no source has",
         [](int i) { return "/?ch=nochannel-" + std::to_string(i) + "&date=2026-12-09"; },
         PlayerApi::Diyp},
        {"超级直播, names no source has",
         [](int i) { return "/epginfo?ch=未知频道-" + std::to_string(i); }, PlayerApi::Epginfo},
        {"a channel that exists, on days without listings",
         [](int i) {
             return "/?ch=CCTV1&date=" + isoText(addDays({2030, 1, 1}, i));
         },
         PlayerApi::Diyp},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlayerAnswers answers(fixtureListings("cntv.xml"), beijing(), noon_,
                              {16, 1u << 20, 8, 1u << 20});
        std::vector<std::shared_ptr<const Resource>> known;
        for (int ch = 1; ch <= 9; ++ch) {
            auto a = answers.answer(PlayerApi::Diyp, "/?ch=CCTV" + std::to_string(ch), noon_);
            ASSERT_EQ(a.status, 200);
            ASSERT_FALSE(Json::parse(a.resource->identity.body)["epg_data"].empty()) << ch;
            known.push_back(a.resource);
        }
        std::shared_ptr<const Resource> last;
        for (int i = 0; i < 200; ++i) {
            auto a = answers.answer(c.api, c.flood(i), noon_);
            ASSERT_EQ(a.status, 200) << c.flood(i);
            last = a.resource;
        }
        const Json shown = Json::parse(last->identity.body);
        EXPECT_TRUE(c.api == PlayerApi::Diyp ? shown["epg_data"].empty()
                                             : shown["未知频道-199"]["program"].empty())
            << shown;
        for (int ch = 1; ch <= 9; ++ch)
            EXPECT_EQ(
                answers.answer(PlayerApi::Diyp, "/?ch=CCTV" + std::to_string(ch), noon_).resource,
                known[std::size_t(ch - 1)])
                << "CCTV" << ch << " was made again";
        EXPECT_EQ(answers.answer(c.api, c.flood(199), noon_).resource, last);  // kept, apart
        EXPECT_LE(answers.cachedEntries(), 9u + 8u);
    }
}

// Over a real connection, as a TV box asks: names raw in the query, one
// keep-alive connection, gzip, a conditional request, and a bad one last.
TEST_F(PlayerTest, AnswersOverHttp) {
    auto site = std::make_shared<Site>(fixtureListings("cntv.xml"), fixedClock(noon_), beijing());
    HttpServer server(site, {});
    ASSERT_EQ(server.listen("127.0.0.1", 0), "");
    server.start();
    RawClient c(server.port());
    ASSERT_TRUE(c.connected());
    auto ask = [&c](const std::string& target, const std::string& fields = "") {
        std::string out;
        EXPECT_TRUE(c.send("GET " + target + " HTTP/1.1\r\nHost: x\r\n" + fields + "\r\n"));
        EXPECT_TRUE(c.readResponse(out));
        return out;
    };
    auto body = [](const std::string& r) { return r.substr(r.find("\r\n\r\n") + 4); };

    std::string day = ask("/?ch=CCTV5+&date=2026-12-09");
    EXPECT_EQ(statusOf(day), 200);
    EXPECT_NE(day.find("\r\nContent-Type: application/json; charset=utf-8\r\n"), std::string::npos);
    EXPECT_NE(day.find("\r\nAccess-Control-Allow-Origin: *\r\n"), std::string::npos);
    Json j = Json::parse(body(day), nullptr, false);
    ASSERT_EQ(j["epg_data"].size(), 5u) << day;
    EXPECT_EQ(j["epg_data"][0]["title"].get<std::string>().substr(0, 10), "CCTV5PLUS/");

    std::string live = ask("/epginfo?ch=湖南卫视", "Accept-Encoding: gzip\r\n");
    EXPECT_NE(live.find("\r\nContent-Encoding: gzip\r\n"), std::string::npos);
    Json e = Json::parse(gunzip(body(live)), nullptr, false);
    EXPECT_EQ(e["湖南卫视"]["isLive"].get<std::string>().substr(0, 6), "HUNAN/") << e;

    auto at = day.find("\r\nETag: ");
    std::string tag = day.substr(at + 8, day.find("\r\n", at + 2) - at - 8);
    std::string unchanged;
    ASSERT_TRUE(
        c.send("GET /diyp?ch=CCTV5%2B&date=20261209 HTTP/1.1\r\nHost: x\r\n"
               "If-None-Match: " +
               tag + "\r\n\r\n"));
    ASSERT_TRUE(c.readResponse(unchanged, true));
    EXPECT_EQ(statusOf(unchanged), 304);

    std::string bad;
    ASSERT_TRUE(c.send("GET /?ch=CCTV1&date=2026-13-01 HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_TRUE(c.readUntilClosed(bad));
    EXPECT_EQ(statusOf(bad), 400);
    EXPECT_TRUE(Json::parse(body(bad), nullptr, false)["error"].is_string()) << bad;
    server.stop();
}

}  // namespace
}  // namespace epg
