// Which channel of the guide each playlist entry gets: by an id the guide or
// one feed gives it, else by the key of its names, and never a channel its
// names do not say.
#include "server/channels/playlist_match.h"

#include <gtest/gtest.h>

#include "read_source.h"
#include "server/channels/xmltv_listings.h"
#include "server/model/channels.h"
#include "server_test_util.h"

namespace epg {
namespace {

std::string channel(const char* id, std::vector<const char*> names, bool listed = true) {
    std::string xml = std::string("<channel id=\"") + id + "\">";
    for (const char* n : names) xml += std::string("<display-name>") + n + "</display-name>";
    xml += "</channel>";
    if (listed)
        xml += std::string("<programme channel=\"") + id +
               "\" start=\"20261209200000 +0800\" stop=\"20261209210000 +0800\"><title>On " + id +
               "</title></programme>";
    return xml;
}

std::shared_ptr<const Listings> twoFeeds() {
    const std::string a = "<tv>" + channel("c1", {"CCTV-1 综合"}) + channel("101", {"浙江卫视"}) +
                          channel("hn", {"湖南卫视"}) +
                          channel("phx", {"鳳凰衛視中文台", "Phoenix Chinese Channel"}) +
                          channel("17", {"CCTV-17 农业农村"}) + channel("js", {"江苏卫视"}, false) +
                          "</tv>";
    const std::string b =
        "<tv>" + channel("hn", {"湖南卫视"}) + channel("cctv5p", {"CCTV-5+ 体育赛事"}) + "</tv>";
    SourceDocuments docs;
    for (const auto& [text, name] : {std::pair{&a, "a.xml"}, std::pair{&b, "b.xml"}}) {
        ParsedSource parsed = parseSource(*text, name);
        EXPECT_TRUE(parsed.document) << parsed.error;
        docs.push_back(parsed.document);
    }
    return listingsFromXmltv(docs, nullptr, beijing()).listings;
}

std::string rowId(const char* path) {
    return channelXmltvId(channelByPath(path).value());
}

TEST(PlaylistMatchTest, EachEntryGetsTheChannelItsIdOrNamesSay) {
    auto listings = twoFeeds();
    const Seconds from = fromLocal({2026, 12, 1}, 0, beijing());
    const PlaylistMatcher matcher(*listings, from, from + 30 * 86400);
    const std::string cctv1 = rowId("programys/TV_1/Channel_1/");
    const std::string cctv5p = rowId("programys/TV_1/Channel_2300/");
    const std::string zhejiang = rowId("programws/TV_21/Channel_43/");
    const std::string hunan = rowId("programws/TV_24/Channel_46/");
    const std::string phoenix = rowId("programjw/TV_5/Channel_26/");
    using K = EntryMatchKind;
    const struct {
        const char* line;  // after "#EXTINF:-1"
        K kind;
        std::string id;
        const char* why;  // a part of it
    } cases[] = {
        {" tvg-id=\"c1\",x", K::tvgId, cctv1, "the one channel of the sources of that id"},
        {" tvg-id=\"programys.TV-1.Channel-1\",x", K::ourId, cctv1, "ours"},
        {" tvg-id=\"programys/TV_1/Channel_1/\",x", K::ourId, cctv1, "ours"},
        {" tvg-id=\"CCTV17.epg\",x", K::ourId, "CCTV17.epg", "ours"},
        // Two feeds have "hn": the id says nothing, the names do.
        {" tvg-id=\"hn\" tvg-name=\"x\",y", K::none, "", "2 channels of the sources have that id"},
        {" tvg-id=\"hn\",湖南卫视", K::title, hunan, "by title"},
        // A number is a feed's own code as often as a playlist's.
        {" tvg-id=\"101\" tvg-name=\"CCTV-1高清\",CCTV-1", K::tvgName, cctv1,
         "\"101\" is 浙江卫视 in the sources, but its names say another channel"},
        {" tvg-id=\"101\",家庭影院", K::none, "", "a bare number and its names do not say so"},
        {" tvg-id=\"101\",浙江卫视 HD", K::tvgId, zhejiang, "by tvg-id"},
        // An id is believed unless the names say another channel.
        {" tvg-id=\"c1\" tvg-name=\"CCTV-5+\",x", K::tvgName, cctv5p, "by tvg-name"},
        {" tvg-id=\"c1\",CCTV-9", K::none, "", "its names say another channel"},
        {" tvg-id=\"c1\",Family", K::tvgId, cctv1, "by tvg-id"},
        // Names by key: a feed's other names bring its channel.
        {" tvg-name=\"Phoenix Chinese Channel\",x", K::tvgName, phoenix, "by tvg-name"},
        {",CCTV-17 (1080p)", K::title, "CCTV17.epg", "by title"},
        {" tvg-name=\"湖南卫视\",浙江卫视", K::tvgName, hunan, "by tvg-name"},
        {" tvg-name=\"湖南\",浙江卫视", K::title, zhejiang, "tvg-name \"湖南\": no channel"},
        // Channels without programmes are none of /epg.xml's.
        {",江苏卫视", K::none, "", "its channel has no programmes"},
        {",CCTV-5", K::none, "", "no channel of the sources has that name"},
        {"", K::none, "", "no tvg-id, tvg-name or title"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        PlaylistParse parsed = parsePlaylist(std::string("#EXTINF:-1") + c.line + "\nhttp://s\n");
        ASSERT_TRUE(parsed.playlist) << parsed.error;
        const EntryChannel got = matcher.match(parsed.playlist->entries.front());
        EXPECT_EQ(got.kind, c.kind);
        EXPECT_EQ(got.id, c.id);
        EXPECT_NE(got.why.find(c.why), std::string::npos) << got.why;
        EXPECT_EQ(got.name.empty(), c.id.empty());
    }
}

TEST(PlaylistMatchTest, TheMapTextCountsAndExplainsEveryEntry) {
    auto listings = twoFeeds();
    const Seconds from = fromLocal({2026, 12, 1}, 0, beijing());
    const PlaylistMatcher matcher(*listings, from, from + 30 * 86400);
    PlaylistParse parsed = parsePlaylist(
        "#EXTM3U\n#EXTINF:-1 tvg-id=\"c1\",CCTV-1\nu1\n#EXTINF:-1 tvg-name=\"湖南卫视\",湖南\nu2\n"
        "#EXTINF:-1,CCTV-5+ (1080p)\nu3\n#EXTINF:-1,安徽卫视\nu4\nhttp://bare\n");
    ASSERT_TRUE(parsed.playlist) << parsed.error;
    std::vector<EntryChannel> channels;
    for (const PlaylistEntry& e : parsed.playlist->entries) channels.push_back(matcher.match(e));
    EXPECT_EQ(playlistMapText("family.m3u", *parsed.playlist, channels),
              "# family.m3u: 5 entries, 3 with a channel of the guide (1 by tvg-id, 1 by "
              "tvg-name, 1 by title), 2 without\n"
              "CCTV-1\t" +
                  rowId("programys/TV_1/Channel_1/") +
                  "\tCCTV-1（综合）\t# by tvg-id \"c1\", the one channel of the sources of that "
                  "id\n"
                  "湖南\t" +
                  rowId("programws/TV_24/Channel_46/") +
                  "\t湖南卫视\t# by tvg-name \"湖南卫视\"\n"
                  "CCTV-5+ (1080p)\t" +
                  rowId("programys/TV_1/Channel_2300/") +
                  "\tCCTV5+\t# by title \"CCTV-5+ (1080p)\"\n"
                  "# 安徽卫视\t\t\t# none: title \"安徽卫视\": no channel of the sources has that "
                  "name\n"
                  "# http://bare\t\t\t# none: no tvg-id, tvg-name or title\n");
}

}  // namespace
}  // namespace epg
