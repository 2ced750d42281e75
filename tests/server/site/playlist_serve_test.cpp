// /playlist.m3u as players fetch it: the household's playlist with the
// guide's ids and a header naming /epg.xml.gz on the host they asked, with
// the caching rules of every other answer.
#include <gtest/gtest.h>

#include "read_source.h"
#include "server/channels/xmltv_listings.h"
#include "server/model/channels.h"
#include "server/site/site.h"
#include "server/util/http_rules.h"
#include "server_test_util.h"

namespace epg {
namespace {

std::shared_ptr<const Listings> listingsWith(const std::string& channels) {
    ParsedSource parsed = parseSource("<tv>" + channels + "</tv>", "feed.xml");
    EXPECT_TRUE(parsed.document) << parsed.error;
    return listingsFromXmltv({parsed.document}, nullptr, beijing()).listings;
}

std::string channel(const char* id, const char* name) {
    return std::string("<channel id=\"") + id + "\"><display-name>" + name +
           "</display-name></channel><programme channel=\"" + id +
           "\" start=\"20261209200000 +0800\"><title>x</title></programme>";
}

LoadedPlaylist loaded(const std::string& name, const std::string& text, Seconds at = 0) {
    PlaylistParse parsed = parsePlaylist(text);
    EXPECT_TRUE(parsed.playlist) << parsed.error;
    return {
        name, name + ".m3u", std::make_shared<const Playlist>(std::move(*parsed.playlist)), {}, at};
}

std::string header(const Reply& r, std::string_view name) {
    const std::string lines(r.headers);
    const std::size_t at = lines.find("\r\n" + std::string(name) + ": ");
    if (at == std::string::npos) return {};
    const std::size_t from = at + name.size() + 4;
    return lines.substr(from, lines.find("\r\n", from) - from);
}

const std::string kFamily =
    "#EXTM3U x-tvg-url=\"https://elsewhere.example/e.xml\"\n"
    "#EXTINF:-1 tvg-id=\"CCTV1\" tvg-name=\"CCTV1\" group-title=\"央视\",CCTV-1\nhttp://s/1\n"
    "#EXTINF:-1 tvg-id=\"AnhuiTV.cn@SD\",Anhui TV (1080p)\nhttp://s/2\n";

class PlaylistServeTest : public ::testing::Test {
  protected:
    void SetUp() override { useZone(kUtc); }
    Seconds now_ = fromLocal({2026, 12, 9}, 12 * 60, beijing());
    const std::string cctv1_ = channelXmltvId(channelByPath("programys/TV_1/Channel_1/").value());
};

TEST_F(PlaylistServeTest, ThePlaylistNamesTheGuideOnTheHostAsked) {
    Site site(listingsWith(channel("c1", "CCTV-1 综合")), fixedClock(now_), beijing());
    site.setPlaylists({loaded("family", kFamily)});
    Reply r = handleRequest(site, {"GET", "/playlist.m3u", {}, {}, {}, "192.168.1.2:8610"});
    ASSERT_EQ(r.status, 200) << *r.body;
    EXPECT_EQ(r.contentType, "audio/x-mpegurl; charset=UTF-8");
    EXPECT_EQ(*r.body,
              "#EXTM3U x-tvg-url=\"http://192.168.1.2:8610/epg.xml.gz\" "
              "url-tvg=\"http://192.168.1.2:8610/epg.xml.gz\"\n"
              "#EXTINF:-1 tvg-id=\"" +
                  cctv1_ +
                  "\" x-original-tvg-id=\"CCTV1\" tvg-name=\"CCTV1\" group-title=\"央视\",CCTV-1\n"
                  "http://s/1\n#EXTINF:-1 tvg-id=\"AnhuiTV.cn@SD\",Anhui TV (1080p)\nhttp://s/2\n");
    EXPECT_EQ(header(r, "Cache-Control"), "public, max-age=300");
    const std::string tag = header(r, "ETag");
    ASSERT_FALSE(tag.empty());

    // Its tag answers 304; another host is another text, with another tag.
    Reply again = handleRequest(site, {"GET", "/playlist.m3u", {}, tag, {}, "192.168.1.2:8610"});
    EXPECT_EQ(again.status, 304);
    Reply other = handleRequest(site, {"GET", "/playlist.m3u", {}, tag, {}, "tv.home:8610"});
    EXPECT_EQ(other.status, 200);
    EXPECT_TRUE(other.body->starts_with("#EXTM3U x-tvg-url=\"http://tv.home:8610/epg.xml.gz\""));
    EXPECT_TRUE(handleRequest(site, {"GET", "/playlists/family.m3u", {}, {}, {}, "[::1]:8610"})
                    .body->starts_with("#EXTM3U x-tvg-url=\"http://[::1]:8610/epg.xml.gz\""));
    // A proxy's absolute-form target names the host.
    Reply proxied =
        handleRequest(site, {"GET", "http://tv.home/playlist.m3u", {}, {}, {}, "ignored:1"});
    EXPECT_TRUE(proxied.body->starts_with("#EXTM3U x-tvg-url=\"http://tv.home/epg.xml.gz\""));
    // In gzip for those who take it.
    Reply zipped = handleRequest(site, {"GET", "/playlist.m3u", "gzip", {}, {}, "tv.home:8610"});
    EXPECT_EQ(gunzip(*zipped.body), *other.body);
}

TEST_F(PlaylistServeTest, RequestsThatCannotBeAnsweredSayWhy) {
    Site site(listingsWith(channel("c1", "CCTV-1 综合")), fixedClock(now_), beijing());
    EXPECT_EQ(handleRequest(site, {"GET", "/playlist.m3u", {}, {}, {}, "h"}).status, 404);
    site.setPlaylists(
        {loaded("family", kFamily), {"school", "http://x/school.m3u", {}, "HTTP 500", 0}});
    const struct {
        std::string target, host;
        int status;
        const char* body;  // a part of it
    } cases[] = {
        {"/playlist.m3u", "", 400, "send a Host field"},
        {"/playlist.m3u", "a b", 400, "Host"},
        {"/playlist.m3u", "user@host", 400, "Host"},
        {"/playlist.m3u", "host:port", 400, "Host"},
        {"/playlists/nobody.m3u", "h", 404, "no playlist of that name"},
        {"/playlists/family.txt", "h", 404, "not found"},
        {"/playlists/school.m3u", "h", 503, "http://x/school.m3u: HTTP 500"},
        {"/playlists/family.m3u", "h", 200, "#EXTM3U"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target + " " + c.host);
        Reply r = handleRequest(site, {"GET", c.target, {}, {}, {}, c.host});
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.body->find(c.body), std::string::npos) << *r.body;
        if (c.status == 503) {
            EXPECT_EQ(header(r, "Cache-Control"), "no-store");
        }
    }
}

TEST_F(PlaylistServeTest, SeveralPlaylistsAreListedAndServedByName) {
    Site site(listingsWith(channel("c1", "CCTV-1 综合")), fixedClock(now_), beijing());
    site.setPlaylists({loaded("family", kFamily, now_ + 30), loaded("家庭", kFamily, now_ + 60)});
    Reply list = handleRequest(site, {"GET", "/playlist.m3u", {}, {}, {}, "tv.home"});
    ASSERT_EQ(list.status, 200);
    EXPECT_EQ(*list.body,
              "#EXTM3U x-tvg-url=\"http://tv.home/epg.xml.gz\" "
              "url-tvg=\"http://tv.home/epg.xml.gz\"\n"
              "#EXTINF:-1,family\nhttp://tv.home/playlists/family.m3u\n"
              "#EXTINF:-1,家庭\nhttp://tv.home/playlists/%E5%AE%B6%E5%BA%AD.m3u\n");
    EXPECT_EQ(header(list, "Last-Modified"), httpDate(now_ + 60));  // the later playlist
    Reply one = handleRequest(site, {"GET", "/playlists/%E5%AE%B6%E5%BA%AD.m3u", {}, {}, {}, "h"});
    ASSERT_EQ(one.status, 200);
    EXPECT_NE(one.body->find("x-original-tvg-id=\"CCTV1\""), std::string::npos);
}

// Until the first load has ended a player still gets its playlist (without
// it it has no channel at all), but nothing may keep it; new listings or a
// new playlist are matched anew.
TEST_F(PlaylistServeTest, NothingKeepsItBeforeTheFirstLoadAndChangesAreMatchedAnew) {
    Site site(listingsWith(channel("x", "湖南卫视")), fixedClock(now_), beijing(),
              FirstSnapshot::OnRenderer);
    site.startRenderer();
    site.setLoading(std::chrono::milliseconds(0));
    site.setPlaylists({loaded("family", kFamily)});
    Reply r = handleRequest(site, {"GET", "/playlist.m3u", {}, {}, {}, "h"});
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(header(r, "Cache-Control"), "no-store");
    EXPECT_NE(r.body->find("tvg-id=\"CCTV1\" tvg-name"), std::string::npos) << *r.body;

    site.replaceListings(listingsWith(channel("c1", "CCTV-1 综合")));
    site.loaded();
    r = handleRequest(site, {"GET", "/playlist.m3u", {}, {}, {}, "h"});
    EXPECT_EQ(header(r, "Cache-Control"), "public, max-age=300");
    EXPECT_NE(r.body->find("tvg-id=\"" + cctv1_ + "\""), std::string::npos) << *r.body;

    site.setPlaylists({loaded("family", "#EXTINF:-1,CCTV-1 综合\nhttp://s/9\n")});
    r = handleRequest(site, {"GET", "/playlist.m3u", {}, {}, {}, "h"});
    EXPECT_NE(r.body->find("#EXTINF:-1 tvg-id=\"" + cctv1_ + "\",CCTV-1 综合\nhttp://s/9\n"),
              std::string::npos)
        << *r.body;
}

}  // namespace
}  // namespace epg
