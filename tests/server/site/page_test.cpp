// Day pages against the guide's own parse: every title must come back exactly
// as shownTitle() says, whatever characters it holds.
#include <gtest/gtest.h>

#include "app/schedule/schedule_parse.h"
#include "gbk_literal.h"
#include "server/model/channels.h"
#include "server/site/gbk_text.h"
#include "server/site/page_render.h"
#include "server/site/site.h"
#include "server/sources/sample_listings.h"
#include "server_test_util.h"

namespace epg {
namespace {

class PageTest : public ::testing::Test {
  protected:
    void SetUp() override { useZone(kUtc); }
    Seconds at(int y, int mo, int d, int h, int mi) {
        return fromLocal({y, mo, d}, h * 60 + mi, beijing());
    }
};

TEST_F(PageTest, ShownTitleKeepsOrdinaryTitlesAndReplacesWhatTheGuideWouldEat) {
    struct Case {
        const char* title;
        const char* shown;  // UTF-8 of the expected GBK bytes
    } cases[] = {
        {"新闻联播", "新闻联播"},
        {"A & B &amp; &nbsp;", "A & B &amp; &nbsp;"},  // the guide decodes no entities
        {"<b>粗体</b>", "＜b＞粗体＜/b＞"},
        {"a<b", "a＜b"},
        {"x > y", "x ＞ y"},
        {"</div></div>尾巴", "＜/div＞＜/div＞尾巴"},
        {"剧情", "劇情"},
        {"电影剧情片：英雄", "电影劇情片：英雄"},
        {"剧剧情情", "剧劇情情"},
        {"第一行\r\n第二行", "第一行 第二行"},
        {"\n  前后空白  \t", "前后空白"},
        {"两个  空格", "两个  空格"},
        {"表情😀符号", "表情?符号"},
        {"no\xA0"
         "break",
         "no?break"},  // invalid UTF-8 byte
        {"no\xC2\xA0"
         "break",
         "no break"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(U(shownTitle(c.title)), c.shown) << c.title;
}

TEST_F(PageTest, EveryTitleComesBackFromTheGuidesParseAsShown) {
    const char* titles[] = {"新闻联播",
                            "<b>粗体</b>",
                            "a<b",
                            "x>y",
                            "A & B",
                            "&nbsp;空格",
                            "</div></div>",
                            "align='center'>x",
                            "<div id='e2' >y",
                            "剧情",
                            "剧",
                            "剧情片",
                            "尾字剧",
                            "line\nbreak",
                            "emoji😀",
                            "ÅÄÖ åäö",
                            "€100",
                            "日本語のタイトル",
                            "한국어",
                            "'quoted' \"double\"",
                            "  ",
                            "<",
                            ">",
                            "<<>>",
                            "a<b c='>'>d"};
    Date day{2026, 12, 9};
    std::vector<Programme> programmes;
    int minute = 6 * 60;
    for (int withDescription = 0; withDescription < 2; ++withDescription)
        for (const char* t : titles) {
            programmes.push_back(
                {fromLocal(day, minute, beijing()), 0, t,
                 withDescription ? "desc </div></div> align='center'> 剧情 <x>" : "", ""});
            minute += 10;
        }
    auto rows = app::parseSchedule(renderDayPage(0, day, programmes, beijing()));
    ASSERT_EQ(rows.size(), programmes.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        LocalTime lt = toLocal(programmes[i].start, beijing());
        char hhmm[8];
        std::snprintf(hhmm, sizeof hhmm, " %02d:%02d", lt.hour, lt.minute);
        EXPECT_EQ(rows[i].time, hhmm) << i;
        EXPECT_EQ(rows[i].title, shownTitle(programmes[i].title))
            << i << ": " << programmes[i].title;
        EXPECT_EQ(rows[i].title.find('<'), std::string::npos);
        EXPECT_FALSE(gbkContains(rows[i].title, G("剧情")));
    }
}

TEST_F(PageTest, PageIsDeclaredGbkAndLinksDescriptions) {
    Date day{2026, 12, 9};
    std::vector<Programme> programmes = {
        {at(2026, 12, 9, 19, 0), 0, "新闻联播", "", ""},
        {at(2026, 12, 9, 19, 30), 0, "电视剧：渴望（3）", "第3集：<慧芳>回家。", ""}};
    std::string page = renderDayPage(0, day, programmes, beijing());
    EXPECT_NE(page.find("charset=GBK"), std::string::npos);
    EXPECT_NE(page.find("<div align='center'><div id='e1' >19:00</div><div id='e2' >" +
                        G("新闻联播") + "</div></div>"),
              std::string::npos);
    EXPECT_NE(page.find(G("电视剧：渴望（3）") + "<a href='#d1'>" + G("剧情") + "</a></div></div>"),
              std::string::npos);
    EXPECT_NE(page.find("<p id='d1'>19:30 " + G("电视剧：渴望（3）") + ": " + G("第3集：") +
                        "&lt;" + G("慧芳")),
              std::string::npos);
}

TEST_F(PageTest, BannerShowsWhatIsOnNow) {
    Site site(std::make_shared<SampleListings>(beijing()), fixedClock(at(2026, 12, 9, 20, 15)),
              beijing());
    auto banner = site.page(kBannerPath);
    ASSERT_TRUE(banner);
    EXPECT_NE(banner->find("charset=GBK"), std::string::npos);
    EXPECT_EQ(banner->find("<script"), std::string::npos);
    EXPECT_NE(banner->find(G("正在播出") + " 2026-12-09 20:15"), std::string::npos);
    // CCTV-1's programme running at 20:15 is named with its start time.
    auto list =
        SampleListings(beijing()).starting(0, at(2026, 12, 9, 8, 0), at(2026, 12, 9, 20, 16));
    ASSERT_FALSE(list.empty());
    EXPECT_NE(banner->find(htmlText(list.back().title)), std::string::npos);
}

// Made-up listings say so at the top of the banner; real ones never do.
TEST_F(PageTest, TheBannerOfSampleListingsSaysTheyAreSamples) {
    const std::string notice = G("示例节目表（非真实节目）— 用 --xmltv 接入真实节目表");
    for (bool samples : {true, false}) {
        std::shared_ptr<const Listings> listings;
        if (samples) {
            listings = std::make_shared<SampleListings>(beijing());
        } else {
            auto real = std::make_shared<StoredListings>();
            real->finish();
            listings = real;
        }
        Site site(listings, fixedClock(at(2026, 12, 9, 20, 15)), beijing());
        auto banner = site.page(kBannerPath);
        ASSERT_TRUE(banner);
        const auto where = banner->find(notice);
        EXPECT_EQ(where != std::string::npos, samples);
        if (samples) {
            EXPECT_LT(where, banner->find(G("<tr><th colspan='3'>正在播出")));  // its first row
        }
    }
}

// The whole sample week of every channel through the guide's parse.
TEST_F(PageTest, EverySampleDayPageParsesBackToItsListings) {
    auto listings = std::make_shared<SampleListings>(beijing());
    Seconds now = at(2026, 12, 9, 12, 0);  // a Wednesday
    Site site(listings, fixedClock(now), beijing());
    Date monday{2026, 12, 7};
    for (std::size_t c = 0; c < channelCount(); ++c) {
        for (int w = 1; w <= 7; ++w) {
            Date day = addDays(monday, w - 1);
            std::string path = std::string(channelPath(c)) + 'W' + char('0' + w) + ".htm";
            auto page = site.page(path);
            ASSERT_TRUE(page) << path;
            auto rows = app::parseSchedule(*page);
            auto expected = listings->starting(c, localMidnight(day, beijing()),
                                               localMidnight(addDays(day, 1), beijing()));
            ASSERT_EQ(rows.size(), expected.size()) << path;
            ASSERT_GE(rows.size(), 8u) << path;
            bool six = false;
            for (std::size_t i = 0; i < rows.size(); ++i) {
                ASSERT_EQ(rows[i].title, shownTitle(expected[i].title)) << path << " row " << i;
                ASSERT_FALSE(rows[i].title.empty()) << path;
                if (i > 0) {
                    ASSERT_LT(rows[i - 1].time, rows[i].time) << path;  // " HH:MM" sorts as text
                }
                six = six || rows[i].time == " 06:00";
            }
            EXPECT_TRUE(six) << path << " has no programme at 06:00";
            EXPECT_GE(rows.back().time, std::string(" 22:00")) << path;
        }
    }
}

}  // namespace
}  // namespace epg
