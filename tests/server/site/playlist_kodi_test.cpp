// What a household sees in Kodi's IPTV Simple client (version 20), replayed
// here as it matches a playlist to a guide: each entry's tvg-id compared
// without case to the guide's channel ids, then its tvg-name (blanks as
// underscores or not) to their display-names, then its title to them, the
// first channel in the guide's order winning. Three fixture playlists in the
// styles households have, against the fixture feeds straight and through us
// (/playlist.m3u with /epg.xml):
//   - through us, every entry whose channel a feed carries gets that
//     channel's programmes, on every day the feed has them, and no entry
//     gets another channel's;
//   - the playlist as it is against our /epg.xml loses no entry that the
//     feed itself gives its right guide.
// The counts of each style and feed are printed for the record.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "read_source.h"
#include "server/channels/xmltv_listings.h"
#include "server/site/site.h"
#include "server_test_util.h"

namespace epg {
namespace {

const std::string kFixtures = FIXTURE_DIR;

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// --- The player's side, as its documentation and public source describe it.

struct KodiChannel {
    std::string tvgId, tvgName, name;
};

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && std::string_view(" \t\r\n").find(s.back()) != std::string_view::npos)
        s.remove_suffix(1);
    return s;
}

// The text after the first "marker" in the line: up to the closing quote
// when it opens with one, else to the next blank.
std::string markerValue(std::string_view line, std::string_view marker) {
    std::size_t at = line.find(marker);
    if (at == std::string_view::npos || at + marker.size() >= line.size()) return {};
    at += marker.size();
    char end = ' ';
    if (line[at] == '"') {
        end = '"';
        ++at;
    }
    std::size_t stop = line.find(end, at);
    if (stop == std::string_view::npos) stop = line.size();
    return std::string(line.substr(at, stop - at));
}

std::vector<KodiChannel> kodiChannels(std::string_view m3u) {
    std::vector<KodiChannel> out;
    KodiChannel pending;
    bool first = true;
    while (!m3u.empty()) {
        std::string_view line = m3u.substr(0, m3u.find('\n'));
        m3u.remove_prefix(std::min(m3u.size(), line.size() + 1));
        line = trimmed(line);
        if (line.empty()) continue;
        if (first) {
            first = false;
            if (line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
            if (line.starts_with("#EXTM3U")) continue;
        }
        if (line.starts_with("#EXTINF")) {
            pending = {};
            const std::size_t colon = line.find(':');
            std::size_t comma = line.rfind(',');
            // A comma right after the last quote ends the attributes, so
            // that a title may hold commas.
            if (const std::size_t quote = line.rfind('"'); quote != std::string_view::npos) {
                const std::string_view after = line.substr(quote + 1);
                if (trimmed(after).starts_with(",")) comma = quote + after.find(',') + 1;
            }
            if (colon == std::string_view::npos || comma == std::string_view::npos ||
                comma <= colon)
                continue;
            pending.name = std::string(trimmed(line.substr(comma + 1)));
            const std::string_view info = line.substr(colon + 1, comma - colon - 1);
            pending.tvgId = markerValue(info, "tvg-id=");
            pending.tvgName = markerValue(info, "tvg-name=");
            if (pending.tvgId.empty()) pending.tvgId = markerValue(info, "tvg-ID=");
            if (pending.tvgId.empty())
                pending.tvgId = std::to_string(std::atoi(std::string(info).c_str()));
        } else if (line.front() != '#') {
            out.push_back(pending);
            pending = {};
        }
    }
    return out;
}

const XmltvChannel* kodiGuideFor(const KodiChannel& c, const XmltvDocument& guide) {
    for (const XmltvChannel& ch : guide.channels)
        if (equalsNoCase(ch.id, c.tvgId)) return &ch;
    for (const XmltvChannel& ch : guide.channels)
        for (const std::string& n : ch.names) {
            std::string underscored = n;
            std::replace(underscored.begin(), underscored.end(), ' ', '_');
            if (equalsNoCase(underscored, c.tvgName) || equalsNoCase(n, c.tvgName)) return &ch;
        }
    for (const XmltvChannel& ch : guide.channels)
        for (const std::string& n : ch.names)
            if (equalsNoCase(n, c.name)) return &ch;
    return nullptr;
}

// --- What is right: which real channel each feed channel and each entry is.

using Shown = std::set<std::pair<Seconds, std::string>>;  // start, title

// "ID ID=label; ..." as written below, by id.
std::map<std::string, std::string> labelsOf(std::string_view table) {
    std::map<std::string, std::string> out;
    while (!table.empty()) {
        std::string_view item = table.substr(0, table.find(';'));
        table.remove_prefix(std::min(table.size(), item.size() + 1));
        item = trimmed(item);
        const std::size_t eq = item.find('=');
        const std::string label(item.substr(eq + 1));
        std::string_view ids = item.substr(0, eq);
        while (!ids.empty()) {
            std::string_view id = ids.substr(0, ids.find(' '));
            ids.remove_prefix(std::min(ids.size(), id.size() + 1));
            if (!id.empty()) out[std::string(id)] = label;
        }
    }
    return out;
}

std::vector<std::string> listOf(std::string_view text) {
    std::vector<std::string> out;
    while (!text.empty()) {
        std::string_view item = text.substr(0, text.find('|'));
        text.remove_prefix(std::min(text.size(), item.size() + 1));
        out.emplace_back(trimmed(item));
    }
    return out;
}

struct Feed {
    const char* file;
    bool beijingAsUtc;  // its "+0000" times are Beijing's
    const char* labels;
};
const Feed kFeeds[] = {
    {"aggregated.xml", false,
     "101 cztv_101=浙江卫视; 102 jstv_102=江苏卫视; 103 smg_103=东方卫视; 104 sdtv_104=山东卫视;"
     "105 sctv_105=四川卫视; 106 hntv_106=湖南卫视; 107 hntv_107=湖南卫视国际; 108 "
     "hntv_108=湖南电影;"
     "109 hntv_109=湖南卫视4K; 201 cctv_cctv4=CCTV-4; 202 cctv_cctv4ou=CCTV-4欧洲;"
     "203 cctv_cctv4mei=CCTV-4美洲; 204 cctv_cgtn=CGTN; 205 cetv_cetv1=CETV-1; 206 "
     "cctv_cctv1=CCTV-1;"
     "207 cctv_cctv5=CCTV-5; 208 cctv_cctv5p=CCTV-5+; 209 cctv_cctv16=CCTV-16; 210 "
     "cctv_cctv4k=CCTV-4K;"
     "211 cctv_cctv9=CCTV-9; 301 local_301=杭州综合; 302 local_302=南京新闻综合; 303 "
     "local_303=济南新闻;"
     "304 local_304=成都新闻综合; 305 local_305=长沙新闻"},
    {"cntv.xml", false,
     "cctv1=CCTV-1; cctv2=CCTV-2; cctv3=CCTV-3; cctv4=CCTV-4; cctveurope=CCTV-4欧洲;"
     "cctvamerica=CCTV-4美洲; cctv5=CCTV-5; cctv5plus=CCTV-5+; cctv6=CCTV-6; cctv7=CCTV-7;"
     "cctv8=CCTV-8; cctvjilu=CCTV-9; cctv10=CCTV-10; cctv11=CCTV-11; cctv12=CCTV-12; "
     "cctv13=CCTV-13;"
     "cctvchild=CCTV-14; cctv15=CCTV-15; cctv16=CCTV-16; cctv17=CCTV-17; cctv9english=CGTN;"
     "cctves=CGTN西语; cctvfr=CGTN法语; cctvar=CGTN阿语; cctvru=CGTN俄语; hunan=湖南卫视;"
     "zhejiang=浙江卫视; jiangsu=江苏卫视; dongfang=东方卫视; btv1=北京卫视; cctvlaogushi=老故事"},
    {"multiname.xml", true,
     "phx-cn=凤凰中文; phx-info=凤凰资讯; phx-movie=凤凰电影; phx-hk=凤凰香港; tvb-jade=翡翠台;"
     "tvb-pearl=明珠台; star-cn=星空卫视; huayu=华娱卫视; macau-asia=澳亚卫视; atv-home=亚视本港台;"
     "espn-tw=ESPN台湾; dragon=东方卫视; hunan-tw=湖南卫视; cctv1-tw=CCTV-1; cctv13-tw=CCTV-13;"
     "cti-asia=中天亚洲"},
};

struct Style {
    const char* name;
    const char* file;
    const char* entries;  // the real channel of each entry, in order
};
const Style kStyles[] = {
    {"tvg-id and tvg-name CCTV1, title CCTV-1", "named_ids.m3u",
     "CCTV-1|CCTV-2|CCTV-3|CCTV-4|CCTV-4欧洲|CCTV-4美洲|CCTV-5|CCTV-5+|CCTV-6|CCTV-7|CCTV-8|"
     "CCTV-9|CCTV-10|CCTV-11|CCTV-12|CCTV-13|CCTV-14|CCTV-15|CCTV-16|CCTV-17|CCTV-4K|CGTN|"
     "CGTN纪录|CGTN西语|CGTN法语|CGTN俄语|CGTN阿语|CETV-1|湖南卫视|东方卫视|浙江卫视|江苏卫视|"
     "北京卫视|山东卫视|四川卫视|安徽卫视|广东卫视|深圳卫视|CHC家庭影院|老故事|凤凰中文|凤凰资讯|"
     "凤凰香港|翡翠台|明珠台|星空卫视|中天亚洲"},
    {"numeric tvg-id, tvg-name CCTV-1高清, title CCTV-1 综合", "numbered.m3u",
     "CCTV-1|CCTV-2|CCTV-3|CCTV-4|CCTV-5|CCTV-5+|CCTV-6|CCTV-7|CCTV-8|CCTV-9|CCTV-10|CCTV-11|"
     "CCTV-12|CCTV-13|CCTV-14|CCTV-15|CCTV-16|CCTV-17|CCTV-4K|CGTN|湖南卫视|浙江卫视|江苏卫视|"
     "东方卫视|北京卫视|山东卫视|四川卫视|广东卫视|湖北卫视|河南卫视|湖南卫视4K|杭州综合|杭州明珠|"
     "浙江经视|CETV-1|CETV-2"},
    {"English titles with (1080p), ids like AnhuiTV.cn@SD", "english.m3u",
     "安徽卫视|北京卫视|CCTV-1|CCTV-2|CCTV-4|CCTV-4欧洲|CCTV-4美洲|CCTV-5|CCTV-5+|CCTV-6|CCTV-13|"
     "CCTV-17|CGTN|CGTN纪录|CGTN西语|CGTN法语|CGTN阿语|CGTN俄语|重庆卫视|东方卫视|广东卫视|"
     "湖南卫视|"
     "江苏卫视|山东卫视|四川卫视|浙江卫视|凤凰中文|凤凰资讯|凤凰香港|翡翠台|明珠台|中天亚洲|"
     "ESPN台湾|澳亚卫视|湖南爱晚"},
};

std::shared_ptr<const XmltvDocument> readFeed(const Feed& feed) {
    std::optional<Zone> zone;
    if (feed.beijingAsUtc) zone = beijing();
    ParsedSource parsed = parseSource(fileText(kFixtures + "/" + feed.file), feed.file, zone);
    EXPECT_TRUE(parsed.document) << parsed.error;
    return parsed.document;
}

Shown shownOn(const XmltvDocument& guide, const XmltvChannel* channel) {
    Shown out;
    if (!channel) return out;
    if (auto it = guide.programmes.find(channel->id); it != guide.programmes.end())
        for (const Programme& p : it->second.programmes) out.insert({p.start, p.title});
    return out;
}

std::set<Date> daysOf(const Shown& shown) {
    std::set<Date> out;
    for (const auto& [start, title] : shown) out.insert(toLocal(start, beijing()).date);
    return out;
}

bool within(const Shown& part, const Shown& whole) {
    return std::includes(whole.begin(), whole.end(), part.begin(), part.end());
}

struct Counts {
    std::size_t entries = 0, carried = 0, straight = 0, straightWrong = 0, us = 0, asIs = 0;
};

TEST(PlaylistKodiTest, EveryEntryAFeedCarriesGetsItsGuideThroughUsAndNoneAnothers) {
    useZone(kUtc);
    const Seconds now = fromLocal({2026, 12, 9}, 12 * 60, beijing());
    std::string table =
        "\nKodi IPTV Simple: entries with a guide, the fixture feed straight vs through us\n"
        "style            feed            entries carried straight (wrong) through-us as-is\n";
    for (const Style& style : kStyles) {
        const std::string m3u = fileText(kFixtures + "/playlists/" + style.file);
        const std::vector<std::string> truth = listOf(style.entries);
        PlaylistParse parsed = parsePlaylist(m3u);
        ASSERT_TRUE(parsed.playlist) << parsed.error;
        ASSERT_EQ(parsed.playlist->entries.size(), truth.size()) << style.file;
        const std::vector<KodiChannel> asGiven = kodiChannels(m3u);
        ASSERT_EQ(asGiven.size(), truth.size()) << style.file;

        for (const Feed& feed : kFeeds) {
            SCOPED_TRACE(std::string(style.file) + " against " + feed.file);
            const auto doc = readFeed(feed);
            ASSERT_TRUE(doc);
            // The right programmes of each real channel: all its copies' in the feed.
            std::map<std::string, Shown> right;
            const auto labels = labelsOf(feed.labels);
            for (const XmltvChannel& ch : doc->channels) {
                ASSERT_TRUE(labels.contains(ch.id)) << ch.id << " has no label";
                Shown s = shownOn(*doc, &ch);
                right[labels.at(ch.id)].insert(s.begin(), s.end());
            }

            Site site(listingsFromXmltv({doc}, nullptr, beijing()).listings, fixedClock(now),
                      beijing());
            site.setPlaylists({{style.file,
                                style.file,
                                std::make_shared<const Playlist>(*parsed.playlist),
                                {},
                                now}});
            ParsedSource ours =
                parseSource(*handleRequest(site, {"GET", "/epg.xml"}).body, "epg.xml");
            ASSERT_TRUE(ours.document) << ours.error;
            Reply served =
                handleRequest(site, {"GET", "/playlist.m3u", {}, {}, {}, "tv.home:8610"});
            ASSERT_EQ(served.status, 200);
            const std::vector<KodiChannel> throughUs = kodiChannels(*served.body);
            ASSERT_EQ(throughUs.size(), truth.size());

            Counts n;
            n.entries = truth.size();
            for (std::size_t i = 0; i < truth.size(); ++i) {
                SCOPED_TRACE(std::to_string(i + 1) + ": " + asGiven[i].name + " (" + truth[i] +
                             ")");
                const Shown& expected = right[truth[i]];
                const Shown straight = shownOn(*doc, kodiGuideFor(asGiven[i], *doc));
                const Shown us =
                    shownOn(*ours.document, kodiGuideFor(throughUs[i], *ours.document));
                const Shown asIs =
                    shownOn(*ours.document, kodiGuideFor(asGiven[i], *ours.document));
                const bool straightRight = !straight.empty() && within(straight, expected);
                n.carried += !expected.empty();
                n.straight += straightRight;
                n.straightWrong += !straight.empty() && !straightRight;
                n.us += !us.empty() && within(us, expected);
                n.asIs += !asIs.empty() && within(asIs, expected);
                // Through us: its channel's guide on every day the feed has it,
                // and nothing of another channel's.
                EXPECT_EQ(us.empty(), expected.empty());
                EXPECT_TRUE(within(us, expected));
                EXPECT_EQ(daysOf(us), daysOf(expected));
                // As it is, against our /epg.xml: nothing the feed gave is lost.
                if (straightRight) {
                    EXPECT_FALSE(asIs.empty());
                }
                EXPECT_TRUE(within(asIs, expected));
            }
            char line[160];
            std::snprintf(line, sizeof line, "%-16s %-15s %7zu %7zu %8zu %7zu %10zu %5zu\n",
                          std::string(style.file).substr(0, 16).c_str(), feed.file, n.entries,
                          n.carried, n.straight, n.straightWrong, n.us, n.asIs);
            table += line;
        }
    }
    std::fputs(table.c_str(), stdout);
}

}  // namespace
}  // namespace epg
