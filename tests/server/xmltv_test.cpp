// Reading XMLTV: times and offsets, tolerance of real files, refusal of broken
// ones with file and line, the channel map, and the sample round trip.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/schedule_parse.h"
#include "gbk_literal.h"
#include "server/channels.h"
#include "server/sample_listings.h"
#include "server/site.h"
#include "server/xmltv_read.h"
#include "server/xmltv_write.h"
#include "server_test_util.h"

namespace epg {
namespace {

class XmltvTest : public ::testing::Test {
  protected:
    void SetUp() override { useZone(kUtc); }

    // Reads text through a map of "path TAB id" lines into fresh listings.
    XmltvResult read(const std::string& xml, const std::string& mapText, StoredListings& into) {
        MapResult m = parseChannelMap(mapText, "test.map");
        EXPECT_TRUE(m.map) << m.error;
        XmltvResult r = readXmltv(xml, "test.xml", m.map ? *m.map : ChannelMap{}, into);
        into.finish();
        return r;
    }
    static std::string tv(const std::string& body) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv>\n" + body + "</tv>\n";
    }
    std::vector<Programme> day(const StoredListings& l, std::size_t channel, Date d) {
        return l.starting(channel, localMidnight(d, beijing()),
                          localMidnight(addDays(d, 1), beijing()));
    }
};

TEST_F(XmltvTest, TimesWithAndWithoutOffsets) {
    Seconds base = daysFromCivil({2026, 12, 7}) * 86400;  // 2026-12-07 00:00 UTC
    struct Case {
        const char* text;
        std::optional<Seconds> expected;
    } cases[] = {
        {"20261207200000 +0800", base + 12 * 3600},
        {"20261207200000 +0000", base + 20 * 3600},
        {"20261207200000", base + 20 * 3600},  // no offset: UTC
        {"20261207200000 -0530", base + 25 * 3600 + 1800},
        {"20261207200000 +08:00", base + 12 * 3600},
        {"202612072000 +0800", base + 12 * 3600},
        {"20261207", base},
        {"20261207200000Z", base + 20 * 3600},
        {" 20261207200000 +0800 ", base + 12 * 3600},
        {"", std::nullopt},
        {"2026120720", base + 20 * 3600},
        {"2026120", std::nullopt},
        {"20261307200000 +0800", std::nullopt},
        {"20260230000000", std::nullopt},
        {"20261207250000", std::nullopt},
        {"20261207200000 +080", std::nullopt},
        {"20261207200000 CET", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseXmltvTime(c.text), c.expected) << '"' << c.text << '"';
}

TEST_F(XmltvTest, ProgrammesShowInLocalTimeOnTheDayTheyStart) {
    StoredListings l;
    auto r = read(tv("<programme start=\"20261207200000 +0000\" stop=\"20261207210000 +0000\" "
                     "channel=\"one\">"
                     "<title>A</title></programme>\n"
                     "<programme start=\"20261208233000 +0800\" stop=\"20261209010000 +0800\" "
                     "channel=\"one\">"
                     "<title>Late</title></programme>\n"),
                  "programys/TV_1/Channel_1/\tone\n", l);
    ASSERT_TRUE(r.ok) << r.error;
    // 20:00 UTC is 04:00 on the 8th in Beijing.
    auto d8 = day(l, 0, {2026, 12, 8});
    ASSERT_EQ(d8.size(), 2u);
    EXPECT_EQ(toLocal(d8[0].start, beijing()).hour, 4);
    EXPECT_EQ(d8[1].title, "Late");  // runs past midnight, shown on its start day
    EXPECT_TRUE(day(l, 0, {2026, 12, 9}).empty());
    EXPECT_TRUE(day(l, 0, {2026, 12, 7}).empty());
}

TEST_F(XmltvTest, MissingStopsRepeatsAndOverlaps) {
    StoredListings l;
    auto r = read(
        tv("<programme start=\"20261207100000 +0800\" "
           "channel=\"c\"><title>first</title></programme>\n"
           "<programme start=\"20261207090000 +0800\" stop=\"20261207110000 +0800\" channel=\"c\">"
           "<title>long</title></programme>\n"
           "<programme start=\"20261207100000 +0800\" "
           "channel=\"c\"><title>repeat</title></programme>\n"
           "<programme start=\"20261207120000 +0800\" stop=\"20261207110000 +0800\" channel=\"c\">"
           "<title>backwards</title></programme>\n"),
        "programys/TV_1/Channel_1/\tc\n", l);
    ASSERT_TRUE(r.ok);
    auto d = day(l, 0, {2026, 12, 7});
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].title, "long");     // sorted by start
    EXPECT_EQ(d[1].title, "first");    // the first of two at 10:00 stays
    EXPECT_EQ(d[1].stop, d[2].start);  // a missing stop ends at the next start
    EXPECT_EQ(d[2].stop, 0);           // a stop before the start is not believed
}

TEST_F(XmltvTest, ToleratesRealWorldFiles) {
    StoredListings l;
    std::string xml =
        tv("<programme channel=\"頻道.一\" start=\"20261207190000 +0800\">"
           "<desc lang=\"en\">english</desc><title lang=\"en\">News</title><title "
           "lang=\"zh\">新闻联播</title>"
           "<desc lang=\"zh\">今日要闻</desc></programme>\n"
           "<channel id=\"頻道.一\"><display-name>一</display-name></channel>\n"  // channels after
                                                                                  // programmes
           "<programme channel=\"頻道.一\" start=\"20261207193000 "
           "+0800\"><title/><desc/></programme>\n"
           "<programme channel=\"頻道.一\" start=\"bad\"><title>x</title></programme>\n"
           "<programme channel=\"頻道.一\" start=\"20261207200000 "
           "+0800\"><title><![CDATA[A<B]]></title><desc/>"
           "</programme>\n"
           "<programme channel=\"unmapped\" start=\"20261207200000 "
           "+0800\"><title>no</title></programme>\n"
           "<unknown-element/>\n");
    auto r = read(xml, "# comment line\n\n  programys/TV_1/Channel_3\t頻道.一   # CCTV-2\r\n", l);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.programmes, 2u);
    EXPECT_EQ(r.skipped, 2u);  // empty title, bad start
    auto d = day(l, 1, {2026, 12, 7});
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].title, "新闻联播");  // the Chinese title and description are preferred
    EXPECT_EQ(d[0].description, "今日要闻");
    EXPECT_EQ(d[1].title, "A<B");
    EXPECT_EQ(d[1].description, "");
}

TEST_F(XmltvTest, Gb2312DeclaredFileIsConverted) {
    StoredListings l;
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<tv><programme channel=\"c\" "
        "start=\"20261207190000 +0800\"><title>" +
        G("新闻联播") + "</title></programme></tv>";
    auto r = read(xml, "programys/TV_1/Channel_1/\tc", l);
    ASSERT_TRUE(r.ok) << r.error;
    auto d = day(l, 0, {2026, 12, 7});
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].title, "新闻联播");
}

TEST_F(XmltvTest, BrokenFilesAreRefusedWithFileAndLine) {
    ChannelMap map = identityChannelMap();
    struct Case {
        std::string xml;
        std::string where;
    } cases[] = {
        {"<?xml version=\"1.0\"?>\n<tv>\n<programme>\n<title>x</titel>\n</programme></tv>",
         "test.xml:4: "},
        {"<tv>\n\n\n<programme start=\"1\" channel=\"x>\n", "test.xml:4: "},
        {"", "test.xml:1: "},
        {"<tv>\n<programme start=\"1\"></programme>\n<x></y></tv>", "test.xml:3: "},
        {"\n\n\n&bogus;", "test.xml:4: "},
    };
    for (const auto& c : cases) {
        StoredListings l;
        XmltvResult r = readXmltv(c.xml, "test.xml", map, l);
        EXPECT_FALSE(r.ok) << c.xml;
        EXPECT_EQ(r.error.substr(0, c.where.size()), c.where) << r.error;
    }
    StoredListings l;
    XmltvResult missing = readXmltvFile("/nonexistent/listings.xml", map, l);
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("/nonexistent/listings.xml"), std::string::npos);
    XmltvResult dir = readXmltvFile("/tmp", map, l);
    EXPECT_FALSE(dir.ok);
    EXPECT_NE(dir.error.find("/tmp"), std::string::npos);
}

TEST_F(XmltvTest, MapFileErrorsNameTheLine) {
    struct Case {
        const char* text;
        const char* error;  // empty: accepted
    } cases[] = {
        {"programys/TV_1/Channel_1/\tone\n# only a comment\n\nprogramjw/TV_/Channel_290/\ttwo\n",
         ""},
        {"programys/TV_1/Channel_1/ one\n", "m:1: "},
        {"\n\nprogramys/TV_1/Channel_999/\tx\n", "m:3: "},
        {"programys/TV_1/Channel_1/\t\n", "m:1: "},
        {"programys/TV_1/Channel_1/\ta\nprogramys/TV_1/Channel_1\tb\n", "m:2: "},
    };
    for (const auto& c : cases) {
        MapResult m = parseChannelMap(c.text, "m");
        if (*c.error == '\0') {
            EXPECT_TRUE(m.map) << m.error;
        } else {
            EXPECT_FALSE(m.map) << c.text;
            EXPECT_EQ(m.error.substr(0, std::strlen(c.error)), c.error) << m.error;
        }
    }
    MapResult ok =
        parseChannelMap("programys/TV_1/Channel_1/\tsame\nprogramys/TV_1/Channel_3/\tsame\n", "m");
    ASSERT_TRUE(ok.map);
    EXPECT_EQ(ok.map->at("same").size(), 2u);  // one id may feed two rows
}

// The sample week written as XMLTV and read back serves the same day pages.
TEST_F(XmltvTest, SampleWeekRoundTripsThroughXmltv) {
    Seconds now = fromLocal({2026, 12, 9}, 12 * 60, beijing());
    Date monday{2026, 12, 7};
    auto sample = std::make_shared<SampleListings>(beijing());
    std::string xml = writeXmltv(*sample, localMidnight(monday, beijing()),
                                 localMidnight(addDays(monday, 7), beijing()), beijing());
    auto stored = std::make_shared<StoredListings>();
    XmltvResult r = readXmltv(xml, "sample.xml", identityChannelMap(), *stored);
    ASSERT_TRUE(r.ok) << r.error;
    stored->finish();
    Site fromSample(sample, fixedClock(now), beijing()),
        fromXmltv(stored, fixedClock(now), beijing());
    auto paths = fromSample.pagePaths();
    ASSERT_EQ(paths.size(), channelCount() * 7 + 1);
    for (const auto& path : paths) {
        if (path == kBannerPath) continue;
        ASSERT_EQ(*fromSample.page(path), *fromXmltv.page(path)) << path;
    }
}

}  // namespace
}  // namespace epg
