// The day page load's pieces apart from the handlers: the status of the page
// shown (app/schedule/shown_page.h chooses it), the page as programme
// records, and the program list filled from them.
//
//   ShownPage page = choosePage(fetched, url, copies, now);
//   ... the page text is stored, the parse pauses ...
//   auto day = dayRecords(channelPath, slider, parseSchedule(pageText), zone, nowUnix);
//   fillProgramList(rt, day);
#pragma once

#include <cstdint>
#include <string>

#include "app/schedule/channel_day.h"
#include "app/schedule/page_zone.h"
#include "app/schedule/shown_page.h"
#include "runtime/values/value.h"
#include "runtime/window/runtime.h"

namespace app {

// "当前状态: 下载完毕!", "当前状态: 下载失败!", or for a copy
// "当前状态: 离线, 显示 M月D日 HH:MM 下载的节目表" with the copy's time. GBK.
rt::Text downloadStatus(PageOrigin origin, rt::DateTime copyFetched = {});

// "W<day>.htm" under the channel base URL.
rt::Text dayPageUrl(const rt::Text& channelBaseUrl, int day);

// The catalogue path of a channel base URL under `root`; empty for none.
std::string channelPathOf(const rt::Text& channelBaseUrl, const rt::Text& root);

// The parsed rows of `channel`'s page of `day` (1..7) as records dated in the
// week that holds `now` on the pages' clock.
schedule::ChannelDay dayRecords(std::string channel, int day, const std::vector<ScheduleRow>& rows,
                                const base::Zone& zone, std::int64_t now);

// Appends a row per record to the program list: air time, then title.
void fillProgramList(rt::Runtime& rt, const schedule::ChannelDay& day);

}  // namespace app
