// Reading XMLTV: times and offsets, tolerance of real files, refusal of broken
// ones with file and line (wrong root, bad bytes for the declared encoding),
// encodings, title text and caps, the channel map, and the sample round trip.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "app/schedule/schedule_parse.h"
#include "encoding/iconv_converter.h"
#include "server/channels/channel_map.h"
#include "server/channels/xmltv_listings.h"
#include "server/model/channels.h"
#include "server/site/site.h"
#include "server/site/xmltv_write.h"
#include "server/sources/sample_listings.h"
#include "server/util/file_read.h"
#include "server/xmltv/xmltv_read.h"
#include "server_test_util.h"

namespace epg {
namespace {

class XmltvTest : public ::testing::Test {
  protected:
    void SetUp() override { useZone(kUtc); }

    // Reads text through a map of "path TAB id" lines into listings; the
    // error when the document is refused.
    struct Read {
        std::shared_ptr<StoredListings> listings;
        std::string error;
        std::size_t programmes = 0, skipped = 0;
        std::string summary;
    };
    static Read read(const std::string& xml, const std::string& mapText = {}) {
        XmltvParse parsed = parseXmltv(xml, "test.xml");
        if (!parsed.document) return {nullptr, parsed.error, 0, 0, {}};
        MapResult m = parseChannelMap(mapText, "test.map");
        EXPECT_TRUE(m.map) << m.error;
        SourceDocuments docs{std::make_shared<const XmltvDocument>(std::move(*parsed.document))};
        XmltvListings x = listingsFromXmltv(docs, m.map ? &*m.map : nullptr, beijing());
        return {x.listings, {}, x.programmes, x.skipped, x.summary};
    }
    static std::string error(const std::string& xml) { return parseXmltv(xml, "test.xml").error; }
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
    const Zone* shanghai = &beijing();
    struct Case {
        const char* text;
        std::optional<Seconds> expected;
        const Zone* wallClock = nullptr;  // "#tz=": the offset is well formed but not believed
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
        // Beijing wall times labelled as UTC, or with any other offset.
        {"20261207200000 +0000", base + 12 * 3600, shanghai},
        {"20261207200000 -0500", base + 12 * 3600, shanghai},
        {"20261207200000", base + 12 * 3600, shanghai},
        {"20261207200000 +080", std::nullopt, shanghai},
        // 02:30 does not happen in Berlin that night: taken as 03:30 CEST.
        {"20260329023000 +0000", daysFromCivil({2026, 3, 29}) * 86400 + 5400, &berlin()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseXmltvTime(c.text, c.wallClock), c.expected) << '"' << c.text << '"';
}

TEST_F(XmltvTest, ProgrammesShowInLocalTimeOnTheDayTheyStart) {
    auto r = read(tv("<programme start=\"20261207200000 +0000\" stop=\"20261207210000 +0000\" "
                     "channel=\"one\">"
                     "<title>A</title></programme>\n"
                     "<programme start=\"20261208233000 +0800\" stop=\"20261209010000 +0800\" "
                     "channel=\"one\">"
                     "<title>Late</title></programme>\n"),
                  "programys/TV_1/Channel_1/\tone\n");
    ASSERT_TRUE(r.listings) << r.error;
    const StoredListings& l = *r.listings;
    // 20:00 UTC is 04:00 on the 8th in Beijing.
    auto d8 = day(l, 0, {2026, 12, 8});
    ASSERT_EQ(d8.size(), 2u);
    EXPECT_EQ(toLocal(d8[0].start, beijing()).hour, 4);
    EXPECT_EQ(d8[1].title, "Late");  // runs past midnight, shown on its start day
    EXPECT_TRUE(day(l, 0, {2026, 12, 9}).empty());
    EXPECT_TRUE(day(l, 0, {2026, 12, 7}).empty());
}

TEST_F(XmltvTest, MissingStopsRepeatsAndOverlaps) {
    auto r = read(
        tv("<programme start=\"20261207100000 +0800\" "
           "channel=\"c\"><title>first</title></programme>\n"
           "<programme start=\"20261207090000 +0800\" stop=\"20261207110000 +0800\" channel=\"c\">"
           "<title>long</title></programme>\n"
           "<programme start=\"20261207100000 +0800\" "
           "channel=\"c\"><title>repeat</title></programme>\n"
           "<programme start=\"20261207120000 +0800\" stop=\"20261207110000 +0800\" channel=\"c\">"
           "<title>backwards</title></programme>\n"),
        "programys/TV_1/Channel_1/\tc\n");
    ASSERT_TRUE(r.listings);
    auto d = day(*r.listings, 0, {2026, 12, 7});
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].title, "long");     // sorted by start
    EXPECT_EQ(d[1].title, "first");    // the first of two at 10:00 stays
    EXPECT_EQ(d[1].stop, d[2].start);  // a missing stop ends at the next start
    EXPECT_EQ(d[2].stop, 0);           // a stop before the start is not believed
}

// What feeds do at one start and around gaps: a zero-length filler at the
// start of a real programme, a zero-length programme alone, a programme
// with no end before a gap of days.
TEST_F(XmltvTest, FillersNeverReplaceProgrammesAndGapsStayGaps) {
    struct P {
        const char* start;
        const char* stop;  // "" for none
        const char* title;
    };
    const struct {
        std::vector<P> in;
        std::vector<P> out;  // start order; stop "" for unknown
    } cases[] = {
        // A filler first at 09:43, then the real programme.
        {{{"0943", "0943", "宣传片"}, {"0943", "1100", "星光大道"}, {"1100", "", "新闻"}},
         {{"0943", "1100", "星光大道"}, {"1100", "", "新闻"}}},
        // The filler second: the real one stays.
        {{{"0943", "1100", "星光大道"}, {"0943", "0943", "宣传片"}},
         {{"0943", "1100", "星光大道"}}},
        // A filler alone keeps its own end, not the next start.
        {{{"0600", "0600", "字幕板"}, {"0900", "1000", "早间新闻"}},
         {{"0600", "0600", "字幕板"}, {"0900", "1000", "早间新闻"}}},
        // Two at a start with lengths: the first read stays.
        {{{"1000", "", "first"}, {"1000", "1100", "repeat"}, {"1100", "1200", "next"}},
         {{"1000", "1100", "first"}, {"1100", "1200", "next"}}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::string xml;
        for (const P& p : cases[i].in) {
            xml +=
                std::string("<programme channel=\"c\" start=\"20261207") + p.start + "00 +0800\"";
            if (*p.stop) xml += std::string(" stop=\"20261207") + p.stop + "00 +0800\"";
            xml += std::string("><title>") + p.title + "</title></programme>\n";
        }
        auto r = read(tv(xml), "programys/TV_1/Channel_1/\tc\n");
        ASSERT_TRUE(r.listings) << "case " << i;
        auto d = day(*r.listings, 0, {2026, 12, 7});
        ASSERT_EQ(d.size(), cases[i].out.size()) << "case " << i;
        for (std::size_t k = 0; k < d.size(); ++k) {
            const P& want = cases[i].out[k];
            auto at = [](const char* hhmm) {
                return fromLocal({2026, 12, 7}, std::atoi(hhmm) / 100 * 60 + std::atoi(hhmm) % 100,
                                 beijing());
            };
            EXPECT_EQ(d[k].title, want.title) << "case " << i;
            EXPECT_EQ(d[k].start, at(want.start)) << "case " << i;
            EXPECT_EQ(d[k].stop, *want.stop ? at(want.stop) : 0)
                << "case " << i << " " << want.title;
        }
    }
    // No end, and the next programme three days on: the gap stays a gap.
    auto r = read(tv("<programme channel=\"c\" start=\"20261207230000 +0800\"><title>字幕板</title>"
                     "</programme><programme channel=\"c\" start=\"20261210060000 +0800\">"
                     "<title>早间新闻</title></programme>"),
                  "programys/TV_1/Channel_1/\tc\n");
    ASSERT_TRUE(r.listings);
    auto d = day(*r.listings, 0, {2026, 12, 7});
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].stop, 0);
}

TEST_F(XmltvTest, ToleratesRealWorldFiles) {
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
    auto r = read(xml, "# comment line\n\n  programys/TV_1/Channel_3\t頻道.一   # CCTV-2\r\n");
    ASSERT_TRUE(r.listings) << r.error;
    EXPECT_EQ(r.programmes, 2u);
    EXPECT_EQ(r.skipped, 2u);  // empty title, bad start
    auto d = day(*r.listings, 1, {2026, 12, 7});
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].title, "新闻联播");  // the Chinese title and description are preferred
    EXPECT_EQ(d[0].description, "今日要闻");
    EXPECT_EQ(d[1].title, "A<B");
    EXPECT_EQ(d[1].description, "");
}

// The title is all the text inside <title>, child elements' included; a
// character reference to NUL does not end it (it is a control character,
// blanked on the page like the others).
TEST_F(XmltvTest, TitleIsTheWholeTextOfItsElement) {
    const struct {
        const char* inside;
        const char* title;
    } cases[] = {
        {"Match <b>of</b> the <i>Day <u>live</u></i>!", "Match of the Day live!"},
        {"<b>A</b> <b>B</b>", "A B"},
        {"before&#0;after", "before\tafter"},
        {"x&#x00;y&#000;z", "x\ty\tz"},
        {"<![CDATA[&#0;]]> kept", "&#0; kept"},
        {"&#10;新闻&#x5927;", "新闻大"},  // layout at the ends goes
        {"\n   <sub/>  \n", ""},          // nothing but layout: no title, skipped
    };
    for (const auto& c : cases) {
        auto r = read(tv(std::string("<programme channel=\"c\" start=\"20261207190000 +0800\">") +
                         "<title>" + c.inside + "</title><desc>d<b>&#0;</b>e</desc></programme>\n"),
                      "programys/TV_1/Channel_1/\tc\n");
        ASSERT_TRUE(r.listings) << r.error;
        auto d = day(*r.listings, 0, {2026, 12, 7});
        if (*c.title == '\0') {
            EXPECT_TRUE(d.empty()) << c.inside;
            continue;
        }
        ASSERT_EQ(d.size(), 1u) << c.inside;
        EXPECT_EQ(d[0].title, c.title) << c.inside;
        EXPECT_EQ(d[0].description, "d\te");
    }
}

// Titles and descriptions are cut to their caps on a character boundary,
// and the load says how many were cut.
TEST_F(XmltvTest, LongTitlesAndDescriptionsAreCutAndCounted) {
    std::string longTitle, longDesc;
    for (std::size_t i = 0; i < kTitleCap + 5; ++i) longTitle += "剧";
    for (std::size_t i = 0; i < kDescriptionCap; ++i) longDesc += "é";
    auto programme = [](const std::string& start, const std::string& title,
                        const std::string& desc) {
        return "<programme channel=\"c\" start=\"20261207" + start + " +0800\"><title>" + title +
               "</title><desc>" + desc + "</desc></programme>\n";
    };
    auto r = read(
        tv(programme("190000", longTitle, longDesc + "xyz") +
           programme("200000", longTitle.substr(0, 3 * kTitleCap), longDesc) +
           programme("210000",
                     "<b>" + longTitle.substr(0, 3 * 600) + "</b>" + longTitle.substr(0, 3 * 600),
                     "short")),
        "programys/TV_1/Channel_1/\tc\n");
    ASSERT_TRUE(r.listings) << r.error;
    auto d = day(*r.listings, 0, {2026, 12, 7});
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].title, longTitle.substr(0, 3 * kTitleCap));  // 1,000 whole characters
    EXPECT_EQ(d[0].description, longDesc);
    EXPECT_EQ(d[1].title, longTitle.substr(0, 3 * kTitleCap));  // exactly at the cap: whole
    EXPECT_EQ(d[1].description, longDesc);
    EXPECT_EQ(d[2].title, longTitle.substr(0, 3 * kTitleCap));  // cut inside the second part
    EXPECT_NE(r.summary.find("2 titles cut to 1000 and 1 descriptions to 10000"), std::string::npos)
        << r.summary;
}

// What a document keeps has a bound whatever the chunks it comes in: a
// title, a description, a name or an id of a megabyte is kept cut to its cap
// on a character boundary (ids cut alike, so that a programme still finds
// its channel), and the ids programmes name count towards the text a source
// may hold.
TEST_F(XmltvTest, HugeTextsAreKeptCutWhateverTheChunks) {
    std::string huge, id;
    while (huge.size() < (1u << 20)) huge += "剧a";
    for (std::size_t i = 0; i < 2 * kNameCap; ++i) id += "频";
    const std::string xml = tv("<channel id=\"" + id + "\"><display-name>" + huge +
                               "</display-name></channel>\n"
                               "<programme channel=\"" +
                               id + "\" start=\"20261207190000 +0800\"><title>" + huge +
                               "</title><desc>" + huge + "</desc></programme>\n");
    // The first `n` characters of `s`, which are of 1 or 3 bytes.
    auto first = [](const std::string& s, std::size_t n) {
        std::size_t at = 0;
        for (; n > 0; --n) at += static_cast<unsigned char>(s[at]) < 0x80 ? 1 : 3;
        return s.substr(0, at);
    };
    for (std::size_t chunk : {std::size_t{61}, std::size_t{4093}, xml.size()}) {
        XmltvReader reader("test.xml");
        for (std::size_t at = 0; at < xml.size(); at += chunk)
            ASSERT_TRUE(reader.feed(std::string_view(xml).substr(at, chunk))) << reader.error();
        XmltvParse parsed = reader.finish();
        ASSERT_TRUE(parsed.document) << parsed.error;
        const XmltvDocument& d = *parsed.document;
        ASSERT_EQ(d.channels.size(), 1u) << chunk;
        EXPECT_EQ(d.channels[0].id, first(id, kNameCap)) << chunk;
        EXPECT_EQ(d.channels[0].names, std::vector<std::string>{first(huge, kNameCap)}) << chunk;
        ASSERT_EQ(d.programmes.count(d.channels[0].id), 1u) << chunk;
        const auto& list = d.programmes.at(d.channels[0].id).programmes;
        ASSERT_EQ(list.size(), 1u) << chunk;
        EXPECT_EQ(list[0].title, first(huge, kTitleCap)) << chunk;
        EXPECT_EQ(list[0].description, first(huge, kDescriptionCap)) << chunk;
        EXPECT_EQ(d.titlesCut, 1u);
        EXPECT_EQ(d.descriptionsCut, 1u);
    }

    // A thousand programmes of one-letter titles on channels of 100-letter
    // ids: the ids are what fills the source.
    std::string many;
    for (int i = 0; i < 1000; ++i)
        many += "<programme channel=\"" + std::to_string(1000 + i) + std::string(96, 'c') +
                "\" start=\"20261207190000 +0800\"><title>t</title></programme>\n";
    XmltvLimits limits;
    limits.textBytes = 50'000;
    XmltvParse parsed = parseXmltv(tv(many), "test.xml", limits);
    EXPECT_EQ(parsed.error,
              "test.xml:498: more than 50,000 bytes of titles, descriptions, channel names and "
              "ids, the most a source may hold");
}

// Every encoding iconv knows is read; bytes that are not characters of the
// declared encoding, and unknown encodings, are refused with the line.
TEST_F(XmltvTest, EncodingsAreReadAsDeclaredAndBadBytesRefusedWithTheLine) {
    const std::string body =
        "<tv>\n<programme channel=\"c\" start=\"20261207190000 +0800\">\n"
        "<title>中文台 翡翠</title>\n</programme>\n</tv>\n";  // in GB2312 and Big5 alike
    auto declared = [&](const std::string& name) {
        return "<?xml version=\"1.0\" encoding=\"" + name + "\"?>\n" + body;
    };
    // UTF-8 text in another encoding, through iconv.
    auto as = [](const std::string& text, const char* name) {
        encoding::IconvConverter cv(name, "UTF-8");
        std::string out;
        EXPECT_EQ(cv.convert(text, out), text.size()) << name;
        return out;
    };
    const std::string gbkTitle = as("新闻联播", "GBK");
    const struct {
        const char* what;
        std::string bytes;
        const char* error;  // the start of the error; empty: read
    } cases[] = {
        {"UTF-8 declared", declared("UTF-8"), ""},
        {"no declaration: UTF-8", body, ""},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + declared("utf-8"), ""},
        {"GB2312 declared", as(declared("GB2312"), "GB18030"), ""},
        {"GB18030 declared", as(declared("GB18030"), "GB18030"), ""},
        {"Big5", as(declared("Big5"), "BIG5"), ""},
        {"Big5-HKSCS", as(declared("Big5-HKSCS"), "BIG5-HKSCS"), ""},
        {"UTF-16LE with a mark", "\xFF\xFE" + as(declared("UTF-16"), "UTF-16LE"), ""},
        {"UTF-16BE with a mark", "\xFE\xFF" + as(declared("UTF-16"), "UTF-16BE"), ""},
        {"UTF-16LE without a mark", as(declared("UTF-16"), "UTF-16LE"), ""},
        {"UTF-16BE without a mark", as(declared("UTF-16"), "UTF-16BE"), ""},
        {"UTF-32LE with a mark", "\xFF\xFE" + std::string(2, '\0') + as(body, "UTF-32LE"), ""},
        {"GBK bytes declared UTF-8",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv>\n<programme>\n<title>" + gbkTitle +
             "</title>",
         "test.xml:4: not UTF-8 text, as its XML declaration says: bytes 0xD0 0xC2 0xCE 0xC5"},
        {"GBK bytes without a declaration", "<tv>\n\n" + gbkTitle,
         "test.xml:3: not UTF-8 text, as XML assumes"},
        {"a stray byte in Big5", as(declared("Big5"), "BIG5") + "\n\xA1 </tv>",
         "test.xml:8: not Big5 text"},
        {"a cut GB18030 character", as(declared("GB18030"), "GB18030") + "\n\n\x81\x30",
         "test.xml:9: not GB18030 text"},
        {"a cut UTF-16 character", as(declared("UTF-16"), "UTF-16LE") + "\n",
         "test.xml:7: not UTF-16LE text"},
        {"unknown encoding", declared("X-NO-SUCH"), "test.xml:1: unknown encoding \"X-NO-SUCH\""},
        {"not an encoding name", declared("UTF-8//TRANSLIT"), "test.xml:1: unknown encoding"},
        {"UTF-16 declared in single bytes", declared("UTF-16"), "test.xml:1: declared \"UTF-16\""},
        {"raw NUL", "<tv>\n<programme>\n" + std::string(1, '\0'), "test.xml:3: a NUL character"},
    };
    for (const auto& c : cases) {
        auto r = read(c.bytes, "programys/TV_1/Channel_1/\tc\n");
        if (*c.error != '\0') {
            EXPECT_FALSE(r.listings) << c.what;
            EXPECT_EQ(r.error.substr(0, std::strlen(c.error)), c.error) << c.what;
            continue;
        }
        ASSERT_TRUE(r.listings) << c.what << ": " << r.error;
        auto d = day(*r.listings, 0, {2026, 12, 7});
        ASSERT_EQ(d.size(), 1u) << c.what;
        EXPECT_EQ(d[0].title, "中文台 翡翠") << c.what;
    }
}

TEST_F(XmltvTest, BrokenFilesAreRefusedWithFileAndLine) {
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
        {"<tv>\n<programme>\n</tv>\n", "test.xml:3: "},
        {"<tv\n", "test.xml:"},
        // A saved error page is no empty guide.
        {"<!DOCTYPE html>\n\n<html><body>502 Bad Gateway</body></html>",
         "test.xml:3: the root element is <html>, not <tv>"},
        {"<?xml version=\"1.0\"?>\n<!-- x -->\n<TV/>", "test.xml:3: the root element is <TV>"},
        {"<?xml version=\"1.0\"?>\n<rss version=\"2.0\"/>",
         "test.xml:2: the root element is <rss>"},
        // Far longer than any listings have: refused before it is held whole.
        {"<tv>\n<programme>\n<!--" + std::string(kLongestMarkup, '-') + "--></programme></tv>",
         "test.xml:2: a <programme> element longer than 4 MiB, the most the reader holds at once"},
        {"<?xml version=\"1.0\"?>\n<tv x=\"" + std::string(kLongestMarkup, 'x') + "\"></tv>",
         "test.xml:2: a <tv> start tag runs past 4 MiB from the start, the most the reader "
         "holds before the root element's children"},
        {"\n<![CDATA[]]><tv></tv>", "test.xml:2: a CDATA section outside the root element"},
    };
    for (const auto& c : cases) {
        std::string e = error(c.xml);
        EXPECT_EQ(e.substr(0, c.where.size()), c.where) << c.xml << " -> " << e;
    }
    EXPECT_EQ(error("<?xml version=\"1.0\"?>\n<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n<tv/>\n"), "");

    FileBytes missing = readWholeFile("/nonexistent/listings.xml");
    EXPECT_NE(missing.error.find("/nonexistent/listings.xml"), std::string::npos);
    EXPECT_NE(readWholeFile("/tmp").error.find("/tmp"), std::string::npos);
}

// A big document is parsed a piece at a time: cuts never land inside a
// comment, CDATA section or attribute value, an error far in names its
// line, and everything around the cuts is read.
TEST_F(XmltvTest, BigDocumentsReadTheSameInPieces) {
    std::string body, filler(800, 'x');
    std::size_t programmes = 0;
    for (int day = 1; day <= 28; ++day)
        for (int hour = 0; hour < 24; ++hour)
            for (int quarter = 0; quarter < 4; ++quarter, ++programmes) {
                char start[32];
                std::snprintf(start, sizeof start, "202612%02d%02d%02d00 +0800", day, hour,
                              quarter * 15);
                body += std::string("<programme channel=\"c\" start=\"") + start + "\">";
                if (programmes % 500 == 7)  // end tags where no cut may go
                    body +=
                        "<!-- </programme> --><desc a=\"</programme>\"><![CDATA[</programme>]]>"
                        "</desc>";
                body += "<title>" + std::to_string(programmes) + "</title><desc>" + filler +
                        "</desc></programme>\n";
            }
    ASSERT_GT(body.size(), 2u << 20);
    auto r = read(tv(body), "programys/TV_1/Channel_1/\tc\n");
    ASSERT_TRUE(r.listings) << r.error;
    EXPECT_EQ(r.programmes, programmes);
    auto all = r.listings->starting(0, 0, std::numeric_limits<Seconds>::max());
    ASSERT_EQ(all.size(), programmes);
    for (std::size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i].title, std::to_string(i));

    std::string broken = tv(body);
    std::size_t at = broken.size() * 3 / 4;
    at = broken.find("<title>", at);
    broken.insert(at, "<oops>");
    std::size_t line = 1 + std::count(broken.begin(), broken.begin() + at, '\n');
    EXPECT_EQ(error(broken).substr(0, 10 + std::to_string(line).size()),
              "test.xml:" + std::to_string(line) + ":");
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
    auto r = read(xml);  // ids that are catalogue paths need no map
    ASSERT_TRUE(r.listings) << r.error;
    EXPECT_NE(r.summary.find("215 matched by name"), std::string::npos) << r.summary;
    Site fromSample(sample, fixedClock(now), beijing()),
        fromXmltv(r.listings, fixedClock(now), beijing());
    auto paths = fromSample.pagePaths();
    ASSERT_EQ(paths.size(), channelCount() * 7 + 1);
    for (const auto& path : paths) {
        if (path == kBannerPath) continue;
        ASSERT_EQ(*fromSample.page(path), *fromXmltv.page(path)) << path;
    }
}

}  // namespace
}  // namespace epg
