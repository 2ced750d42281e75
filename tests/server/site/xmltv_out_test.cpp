// XMLTV out as other players read it: XMLTV's own validator accepts
// /epg.xml and the export, each channel has its stable dotted id, and its
// display-names are every name a player may look it up by.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "read_source.h"
#include "server/channels/channel_match.h"
#include "server/channels/channel_names.h"
#include "server/channels/other_channels.h"
#include "server/channels/xmltv_listings.h"
#include "server/model/channels.h"
#include "server/site/site.h"
#include "server/site/xmltv_write.h"
#include "server/sources/sample_listings.h"
#include "server/xmltv/source_reader.h"
#include "server_test_util.h"

namespace epg {
namespace {

namespace fs = std::filesystem;

constexpr const char* kValidator = "/usr/bin/tv_validate_file";

struct Validation {
    int exitCode = -1;
    std::string output;
};

// tv_validate_file on a file, reading the DTD shipped with it rather than
// fetching it.
Validation validateXmltv(const fs::path& file) {
    std::string command = "XMLTV_SUPPLEMENT=/usr/share/xmltv " + std::string(kValidator) + " '" +
                          file.string() + "' 2>&1";
    Validation v;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return v;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) v.output.append(buf, n);
    int status = ::pclose(p);
    v.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return v;
}

std::string fileText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::string kFixtures = FIXTURE_DIR;

// The three fixture feeds as one set of sources, in the order the export
// below gives them.
std::shared_ptr<const Listings> allFixtures() {
    SourceDocuments docs;
    for (const char* f : {"aggregated.xml", "cntv.xml", "multiname.xml"}) {
        std::optional<Zone> zone;
        if (std::string(f) == "multiname.xml") zone = beijing();  // "+0000" on Beijing time
        ParsedSource parsed = parseSource(fileText(kFixtures + "/" + f), f, zone);
        EXPECT_TRUE(parsed.document) << parsed.error;
        docs.push_back(parsed.document);
    }
    return listingsFromXmltv(docs, nullptr, beijing()).listings;
}

class XmltvOutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        useZone(kUtc);
        dir_ = fs::temp_directory_path() / ("epgd_xmltv_out_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
    Seconds now_ = fromLocal({2026, 12, 9}, 12 * 60, beijing());
};

TEST_F(XmltvOutTest, EpgXmlAndTheExportPassXmltvsOwnValidator) {
    if (::access(kValidator, X_OK) != 0)
        GTEST_SKIP() << kValidator << " is missing: apt-get install xmltv-util (scripts/setup.sh)";
    // /epg.xml of the sample week, as served.
    Site site(std::make_shared<SampleListings>(beijing()), fixedClock(now_), beijing());
    const fs::path served = dir_ / "epg.xml";
    std::ofstream(served, std::ios::binary) << *handleRequest(site, {"GET", "/epg.xml"}).body;
    Validation v = validateXmltv(served);
    EXPECT_EQ(v.exitCode, 0) << v.output;
    EXPECT_NE(v.output.find("Validated ok"), std::string::npos) << v.output;

    // The export of the fixture feeds: the feeds' names, Traditional ones
    // among them, join the catalogue's.
    const fs::path out = dir_ / "export";
    std::string command =
        std::string(EPGD_PATH) + " --now 2026-12-09T12:00:00 --xmltv '" + kFixtures +
        "/aggregated.xml' --xmltv '" + kFixtures + "/cntv.xml' --xmltv '" + kFixtures +
        "/multiname.xml#tz=Asia/Shanghai' --export '" + out.string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    v = validateXmltv(out / "epg.xml");
    EXPECT_EQ(v.exitCode, 0) << v.output;
    EXPECT_NE(v.output.find("Validated ok"), std::string::npos) << v.output;
    EXPECT_NE(fileText(out / "epg.xml").find("鳳凰衛視中文台"), std::string::npos);
}

TEST_F(XmltvOutTest, ChannelsHaveStableIdsAndTheNamesPlayersLookThemUpBy) {
    Site site(allFixtures(), fixedClock(now_), beijing());
    ParsedSource back =
        parseSource(std::string(*handleRequest(site, {"GET", "/epg.xml"}).body), "epg.xml");
    ASSERT_TRUE(back.document) << back.error;
    const struct {
        const char* path;
        const char* id;
        const char* first;               // the catalogue's name, without its blanks
        std::vector<std::string> names;  // more among its display-names
    } cases[] = {
        {"programys/TV_1/Channel_1/",
         "programys.TV-1.Channel-1",
         "CCTV-1（综合）",
         {"CCTV1", "CCTV-1综合", "CCTV-1 综合"}},
        {"programys/TV_1/Channel_2300/",
         "programys.TV-1.Channel-2300",
         "CCTV5+",
         {"CCTV-5+体育赛事", "CCTV-5+ 体育赛事"}},
        {"programys/TV_1/Channel_17/",
         "programys.TV-1.Channel-17",
         "CCTV-E",
         {"CGTN西语", "CCTV-Español"}},
        {"programws/TV_11/Channel_81/",
         "programws.TV-11.Channel-81",
         "东方卫视(上海卫视)",
         {"东方卫视"}},
        {"programjw/TV_5/Channel_26/",
         "programjw.TV-5.Channel-26",
         "凤凰卫视",
         {"鳳凰衛視中文台", "鳳凰中文", "Phoenix Chinese Channel"}},
        {"programjw/TV_4/Channel_24/",
         "programjw.TV-4.Channel-24",
         "TVB-翡翠台",
         {"翡翠臺", "無綫翡翠台", "TVB Jade"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::size_t row = channelByPath(c.path).value();
        EXPECT_EQ(channelXmltvId(row), c.id);
        EXPECT_EQ(channelByXmltvId(c.id), row);
        auto ch = std::find_if(back.document->channels.begin(), back.document->channels.end(),
                               [&](const XmltvChannel& x) { return x.id == c.id; });
        ASSERT_NE(ch, back.document->channels.end());
        ASSERT_FALSE(ch->names.empty());
        EXPECT_EQ(ch->names.front(), c.first);
        const std::set<std::string> names(ch->names.begin(), ch->names.end());
        EXPECT_EQ(names.size(), ch->names.size()) << "each name once";
        for (const std::string& n : c.names) EXPECT_TRUE(names.contains(n)) << n;
    }
    // The names the server adds itself never name another channel, and no
    // catalogue name keeps its trailing blanks.
    const ChannelNames& keys = ChannelNames::builtIn();
    for (std::size_t row = 0; row < channelCount(); ++row)
        for (const std::string& n : xmltvDisplayNames(row, {})) {
            EXPECT_EQ(keys.key(n), rowKeys()[row]) << channelPath(row) << " " << n;
            EXPECT_NE(n.back(), ' ') << channelPath(row);
        }
}

// Players are given every channel the sources carry, not the catalogue's
// alone: each real channel once (one of several sources' copies, merged day
// by day), under an id the validator takes, with the names players match
// and the icon, description and category as the feed gives them.
// Room short of the text would copy it as it grows, room well past it would
// copy it to shrink it: either holds /epg.xml twice for a moment.
TEST_F(XmltvOutTest, TheTextIsWrittenIntoRoomSizedToIt) {
    const Seconds from = fromLocal({2026, 12, 7}, 0, beijing());
    const Seconds to = fromLocal({2026, 12, 14}, 0, beijing());
    for (const auto& listings : {allFixtures(), std::shared_ptr<const Listings>(
                                                    std::make_shared<SampleListings>(beijing()))}) {
        const std::string xml = writeXmltv(*listings, from, to, beijing());
        EXPECT_GT(xml.size(), 100'000u);
        EXPECT_LE(xml.capacity() - xml.size(), xml.size() / 16) << xml.size();
    }
}

TEST_F(XmltvOutTest, EveryChannelOfTheSourcesOnceWithItsFeedsDetails) {
    auto feed = [](const char* id, const char* name, const char* day, const char* title,
                   const char* extra) {
        return std::string("<channel id=\"") + id + "\"><display-name>" + name + "</display-name>" +
               extra + "</channel><programme channel=\"" + id + "\" start=\"" + day +
               "200000 +0800\" stop=\"" + day + "210000 +0800\"><title>" + title +
               "</title><desc>about " + title + "</desc><category lang=\"en\">News</category>" +
               "</programme>";
    };
    const std::string a = "<tv>" + feed("c1", "CCTV-1 综合", "20261209", "News", "") +
                          feed("17", "CCTV-17 农业农村", "20261209", "Farming",
                               "<icon src=\"http://logo.example/cctv17.png\"/>") +
                          feed("hn2", "湖南卫视国际", "20261209", "World", "") + "</tv>";
    const std::string b = "<tv>" + feed("CCTV17", "CCTV17", "20261210", "Harvest", "") +
                          feed("old", "CCTV-17", "20261201", "Long ago", "") + "</tv>";
    SourceDocuments docs;
    for (const std::string* text : {&a, &b}) {
        ParsedSource parsed = parseSource(*text, "feed.xml");
        ASSERT_TRUE(parsed.document) << parsed.error;
        docs.push_back(parsed.document);
    }
    Site site(listingsFromXmltv(docs, nullptr, beijing()).listings, fixedClock(now_), beijing());
    const std::string xml = *handleRequest(site, {"GET", "/epg.xml"}).body;
    ParsedSource back = parseSource(xml, "epg.xml");
    ASSERT_TRUE(back.document) << back.error;
    std::map<std::string, std::vector<std::string>> titles;  // by id
    for (const auto& [id, list] : back.document->programmes)
        for (const Programme& p : list.programmes) titles[id].push_back(p.title);
    std::map<std::string, std::vector<std::string>> expected = {
        {"CCTV17.epg", {"Farming", "Harvest"}},  // two sources, one channel
        {otherChannelId(ChannelNames::builtIn().key("湖南卫视国际")), {"World"}},
    };
    // CCTV-1 under every catalogue row that is CCTV-1.
    for (std::size_t row = 0; row < channelCount(); ++row)
        if (rowKeys()[row] == "cctv1") expected[channelXmltvId(row)] = {"News"};
    EXPECT_EQ(titles, expected);  // "Long ago" is more than 7 days back
    for (const XmltvChannel& c : back.document->channels) {
        SCOPED_TRACE(c.id);
        EXPECT_TRUE(std::regex_match(c.id, std::regex("[-a-zA-Z0-9]+(\\.[-a-zA-Z0-9]+)+")));
        if (c.id == "CCTV17.epg") {
            EXPECT_EQ(c.icon, "http://logo.example/cctv17.png");
            const std::set<std::string> names(c.names.begin(), c.names.end());
            EXPECT_EQ(names, (std::set<std::string>{"CCTV-17 农业农村", "CCTV17", "CCTV-17"}));
        }
    }
    EXPECT_NE(xml.find("<desc lang=\"zh\">about Farming</desc>"), std::string::npos);
    EXPECT_NE(xml.find("<category>News</category>"), std::string::npos);

    if (::access(kValidator, X_OK) != 0) return;
    const fs::path served = dir_ / "everything.xml";
    std::ofstream(served, std::ios::binary) << xml;
    Validation v = validateXmltv(served);
    EXPECT_EQ(v.exitCode, 0) << v.output;
}

}  // namespace
}  // namespace epg
