// A channel's day as the players' JSON gives it (GET /epginfo?ch=NAME&date=
// YYYY-MM-DD of the EPG root, as tvguide-epgd answers it):
//
//   {"CCTV-1 综合": {"channelName": ..., "program": [
//       {"st": 1796803200, "et": 1796806800, "t": "朝闻天下", "desc": ..., "category": ...}]}}
//
// It carries what day pages lack: each programme's end, its description and
// category. The answer is a stranger's: anything that is not this shape is
// refused whole, and the day pages stand in for it.
//
//   rt::Text url = playerDayUrl(root, row.name, date);
//   std::optional<ChannelDay> day = playerDay(body, path, 3, date, zone);
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "app/schedule/channel_day.h"
#include "app/schedule/page_zone.h"
#include "runtime/values/value.h"

namespace app::schedule {

// A day's answer is a few kilobytes; anything this large is no day's.
inline constexpr std::size_t kMaxPlayerDayBytes = 4u << 20;
// More than a day holds, were every programme a minute long.
inline constexpr std::size_t kMaxPlayerDayProgrammes = 2000;
// Titles, descriptions and categories are cut to this many bytes of UTF-8.
inline constexpr std::size_t kMaxPlayerTextBytes = 8192;

// The address of the day `date` of catalogue channel `path` below `root`
// (ending in "/"). The channel is named by its row's id, the path's
// segments joined by dots ("programys/TV_1/Channel_1/" is
// "programys.TV-1.Channel-1", as tvguide-epgd's XMLTV names it): the
// catalogue's names are no key (a few are on two rows, and the server
// matches names loosely), so asking by name brings another channel's day.
rt::Text playerDayUrl(const rt::Text& root, std::string_view path, base::Date date);

// The programmes of the answer `body` that start on `date` on the zone's
// clock, in start order, as records of page `day` of `channel`. Nothing when
// the body is not such an answer (too large, too deep, not JSON, no list,
// a field of the wrong type); an empty list is a day without programmes.
std::optional<ChannelDay> playerDay(std::string_view body, std::string channel, int day,
                                    base::Date date, const base::Zone& zone);

}  // namespace app::schedule
