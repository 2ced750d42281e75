// Households' playlists as players write them, read back entry by entry, and
// served again with nothing changed but the guide's ids and header.
#include "server/channels/m3u_playlist.h"

#include <gtest/gtest.h>

#include "encoding/text_encoding.h"

namespace epg {
namespace {

struct Seen {
    std::string tvgId, tvgName, title, url;
    bool info = true;  // came with an #EXTINF
    friend bool operator==(const Seen&, const Seen&) = default;
};

std::ostream& operator<<(std::ostream& os, const Seen& s) {
    return os << "{" << s.tvgId << " | " << s.tvgName << " | " << s.title << " | " << s.url
              << (s.info ? "" : " | no #EXTINF") << "}";
}

std::vector<Seen> seen(const Playlist& p) {
    std::vector<Seen> out;
    for (const PlaylistEntry& e : p.entries)
        out.push_back({e.value("tvg-id"), e.value("tvg-name"), e.title, e.url,
                       e.line != PlaylistEntry::kNoInfo});
    return out;
}

TEST(M3uPlaylistTest, EntriesAreReadAsPlayersWriteThem) {
    const struct {
        const char* what;
        std::string text;
        std::vector<Seen> entries;
        bool header = true;
    } cases[] = {
        {"quoted attributes",
         "#EXTM3U\n#EXTINF:-1 tvg-id=\"CCTV1\" tvg-name=\"CCTV 1\" group-title=\"央视\",CCTV-1\n"
         "http://a.example/1\n",
         {{"CCTV1", "CCTV 1", "CCTV-1", "http://a.example/1"}}},
        {"single quotes and bare values",
         "#EXTM3U\n#EXTINF:-1 tvg-id='a b' tvg-name=CCTV1,CCTV-1\nu\n",
         {{"a b", "CCTV1", "CCTV-1", "u"}}},
        {"commas in quoted values and in the title",
         "#EXTM3U\n#EXTINF:-1 tvg-name=\"A, B\" group-title=\"x,y\",Title, with comma\nu\n",
         {{"", "A, B", "Title, with comma", "u"}}},
        {"no attributes", "#EXTM3U\n#EXTINF:-1,CCTV-1 综合\nu\n", {{"", "", "CCTV-1 综合", "u"}}},
        {"attribute names in any case",
         "#EXTM3U\n#EXTINF:-1 TVG-ID=\"X\" tvg-Name=\"N\",T\nu\n",
         {{"X", "N", "T", "u"}}},
        {"no #EXTM3U", "#EXTINF:-1 tvg-id=\"X\",T\nu\n", {{"X", "", "T", "u"}}, false},
        {"CR LF", "#EXTM3U\r\n#EXTINF:-1 tvg-id=\"X\",T\r\nu\r\n", {{"X", "", "T", "u"}}},
        {"a byte order mark", "\xEF\xBB\xBF#EXTM3U\n#EXTINF:-1,T\nu\n", {{"", "", "T", "u"}}},
        {"streams without #EXTINF",
         "#EXTM3U\nhttp://a.example/x\n#EXTINF:-1,T\nhttp://b.example/y\n",
         {{"", "", "", "http://a.example/x", false}, {"", "", "T", "http://b.example/y"}}},
        {"directives and blank lines between an entry and its stream",
         "#EXTM3U\n#EXTINF:-1,T\n#EXTVLCOPT:http-user-agent=x\n#EXTGRP:g\n\nhttp://c\n",
         {{"", "", "T", "http://c"}}},
        {"an #EXTINF whose stream never comes",
         "#EXTM3U\n#EXTINF:-1,A\nu\n#EXTINF:-1,B\n",
         {{"", "", "A", "u"}, {"", "", "B", ""}}},
        {"an unclosed quote runs to the end",
         "#EXTM3U\n#EXTINF:-1 tvg-name=\"abc,T\nu\n",
         {{"", "abc,T", "", "u"}}},
        {"blanks around lines and fields",
         "  #EXTM3U  \n  #EXTINF:-1  tvg-id=\"x\"  , T  \n\t http://u  \n",
         {{"x", "", "T", "http://u"}}},
        {"GB18030, as Chinese tools save",
         "#EXTM3U\n#EXTINF:-1 tvg-name=\"" + encoding::gbk("湖南卫视") + "\"," +
             encoding::gbk("湖南卫视 高清") + "\nu\n",
         {{"", "湖南卫视", "湖南卫视 高清", "u"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PlaylistParse parsed = parsePlaylist(c.text);
        ASSERT_TRUE(parsed.playlist) << parsed.error;
        EXPECT_EQ(seen(*parsed.playlist), c.entries);
        EXPECT_EQ(parsed.playlist->header.has_value(), c.header);
    }
}

TEST(M3uPlaylistTest, WhatIsNoPlaylistIsRefused) {
    std::string big = "#EXTM3U\n";
    while (big.size() < 5000) big += "#EXTINF:-1 tvg-id=\"x\",T\nhttp://example.org/stream\n";
    PlaylistLimits small;
    small.maxBytes = 4096;
    PlaylistLimits few;
    few.maxEntries = 2;
    const struct {
        const char* what;
        std::string text;
        PlaylistLimits limits;
        const char* error;
    } cases[] = {
        {"more bytes than the cap", big, small, "more than 4 KiB, the most a playlist may hold"},
        {"more entries than the cap", "#EXTINF:-1,A\na\n#EXTINF:-1,B\nb\nc\n", few,
         "more than 2 entries"},
        {"a saved error page",
         "\n<!DOCTYPE html>\n<html><body>502</body></html>\n",
         {},
         "line 2: an HTML or XML page, not a playlist"},
        {"nothing but a header", "#EXTM3U x-tvg-url=\"a\"\n\n", {}, "no stream in it"},
        {"an empty text", "", {}, "no stream in it"},
        {"bytes of no encoding",
         "#EXTM3U\n#EXTINF:-1,\xFF\xFE\nu\n",
         {},
         "line 2: neither UTF-8 nor GB18030 text (byte 0xFF)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PlaylistParse parsed = parsePlaylist(c.text, c.limits);
        EXPECT_FALSE(parsed.playlist);
        EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
    }
    // At the caps exactly, a playlist is taken.
    small.maxBytes = big.size();
    EXPECT_TRUE(parsePlaylist(big, small).playlist);
    few.maxEntries = 3;
    EXPECT_TRUE(parsePlaylist("#EXTINF:-1,A\na\n#EXTINF:-1,B\nb\nc\n", few).playlist);
}

TEST(M3uPlaylistTest, EntriesAreServedAsGivenWithTheGuidesIds) {
    const std::string id = "programys.TV-1.Channel-1";
    const struct {
        const char* what;
        std::string line;  // one entry's #EXTINF line
        std::string ours;  // its id; empty: none
        std::string served;
    } cases[] = {
        {"tvg-id replaced, the original kept after it, the rest as it was",
         "#EXTINF:-1 tvg-id=\"CCTV1\" tvg-name=\"CCTV1\" tvg-logo=\"l.png\" group-title=\"g\","
         "CCTV-1",
         id,
         "#EXTINF:-1 tvg-id=\"" + id +
             "\" x-original-tvg-id=\"CCTV1\" tvg-name=\"CCTV1\" tvg-logo=\"l.png\" "
             "group-title=\"g\",CCTV-1"},
        {"unknown attributes and their order kept",
         "#EXTINF:0 catchup=\"append\" tvg-ID=\"7\" zz=\"1\" aa=2,T", id,
         "#EXTINF:0 catchup=\"append\" tvg-id=\"" + id +
             "\" x-original-tvg-id=\"7\" zz=\"1\" aa=2,T"},
        {"a bare value quoted", "#EXTINF:-1 tvg-id=CCTV1 tvg-name=x,T", id,
         "#EXTINF:-1 tvg-id=\"" + id + "\" x-original-tvg-id=\"CCTV1\" tvg-name=x,T"},
        {"no tvg-id: ours first, no original", "#EXTINF:-1 tvg-name=\"x\",T", id,
         "#EXTINF:-1 tvg-id=\"" + id + "\" tvg-name=\"x\",T"},
        {"no attributes at all", "#EXTINF:-1,CCTV-1 综合", id,
         "#EXTINF:-1 tvg-id=\"" + id + "\",CCTV-1 综合"},
        {"the id it had is ours: no original", "#EXTINF:-1 tvg-id=\"" + id + "\",T", id,
         "#EXTINF:-1 tvg-id=\"" + id + "\",T"},
        {"served before and read back: the original once",
         "#EXTINF:-1 tvg-id=\"old.epg\" x-original-tvg-id=\"CCTV1\",T", id,
         "#EXTINF:-1 tvg-id=\"" + id + "\" x-original-tvg-id=\"CCTV1\",T"},
        {"an original holding a double quote", "#EXTINF:-1 tvg-id='a\"b',T", id,
         "#EXTINF:-1 tvg-id=\"" + id + "\" x-original-tvg-id='a\"b',T"},
        {"no channel: byte for byte", "#EXTINF:-1   tvg-id=\"X\"  tvg-name=N ,  T  ", "",
         "#EXTINF:-1   tvg-id=\"X\"  tvg-name=N ,  T  "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PlaylistParse parsed = parsePlaylist("#EXTM3U\n" + c.line + "\nhttp://s\n");
        ASSERT_TRUE(parsed.playlist) << parsed.error;
        EXPECT_EQ(servedEntries(*parsed.playlist, {c.ours}), c.served + "\nhttp://s\n");
        // Players look for the first "tvg-id=" in the line: it must be ours.
        if (!c.ours.empty()) {
            const std::size_t at = c.served.find("tvg-id=\"") + 8;
            EXPECT_EQ(c.served.substr(at, c.ours.size() + 1), c.ours + "\"");
        }
    }
}

TEST(M3uPlaylistTest, TheHeaderNamesTheGuideAndKeepsTheRest) {
    const std::string g = "http://192.168.1.2:8610/epg.xml.gz";
    const struct {
        const char* what;
        std::string header;  // empty: the playlist has none
        std::string served;
    } cases[] = {
        {"none: one made", "", "#EXTM3U x-tvg-url=\"" + g + "\" url-tvg=\"" + g + "\""},
        {"bare", "#EXTM3U", "#EXTM3U x-tvg-url=\"" + g + "\" url-tvg=\"" + g + "\""},
        {"x-tvg-url replaced in place, others kept",
         "#EXTM3U x-tvg-url=\"https://a/e.xml,https://b/e.xml\" catchup=\"append\"",
         "#EXTM3U x-tvg-url=\"" + g + "\" catchup=\"append\" url-tvg=\"" + g + "\""},
        {"url-tvg and tvg-url replaced", "#EXTM3U url-tvg=a tvg-shift=8 tvg-url='b' ",
         "#EXTM3U url-tvg=\"" + g + "\" tvg-shift=8 tvg-url=\"" + g + "\" x-tvg-url=\"" + g + "\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PlaylistParse parsed = parsePlaylist(c.header + "\n#EXTINF:-1,T\nu\n");
        ASSERT_TRUE(parsed.playlist) << parsed.error;
        EXPECT_EQ(servedHeader(*parsed.playlist, g), c.served);
    }
}

TEST(M3uPlaylistTest, LinesAroundTheEntriesStayAsTheyWere) {
    const std::string text =
        "\xEF\xBB\xBF\r\n#EXTM3U x-tvg-url=\"a\"\r\n#EXTINF:-1 tvg-id=\"A\",A\r\n"
        "#EXTVLCOPT:http-referrer=https://example.org/\r\n#KODIPROP:x=y\r\nhttp://a\r\n\r\n"
        "# a comment\r\n#EXTINF:-1,B\r\n#EXTGRP:news\r\nhttp://b\r\nhttp://c\r\n";
    PlaylistParse parsed = parsePlaylist(text);
    ASSERT_TRUE(parsed.playlist) << parsed.error;
    EXPECT_TRUE(parsed.playlist->crlf);
    EXPECT_EQ(servedEntries(*parsed.playlist, {"a.epg", "", "c.epg"}),
              "#EXTINF:-1 tvg-id=\"a.epg\" x-original-tvg-id=\"A\",A\r\n"
              "#EXTVLCOPT:http-referrer=https://example.org/\r\n#KODIPROP:x=y\r\nhttp://a\r\n\r\n"
              "# a comment\r\n#EXTINF:-1,B\r\n#EXTGRP:news\r\nhttp://b\r\nhttp://c\r\n");
    // Without a header, blank lines before the first entry go with it.
    parsed = parsePlaylist("\n\n#EXTINF:-1,A\nhttp://a\n");
    ASSERT_TRUE(parsed.playlist);
    EXPECT_EQ(servedEntries(*parsed.playlist, {""}), "#EXTINF:-1,A\nhttp://a\n");
}

}  // namespace
}  // namespace epg
