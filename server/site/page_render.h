// The GBK pages the guide reads: one day page per channel and weekday, and
// the banner of its HTML strip.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "server/model/listings.h"

namespace epg {

// One day page. Each programme becomes
//   <div align='center'><div id='e1' >HH:MM</div><div id='e2' >TITLE</div></div>
// with HH:MM its start on the zone's clock and TITLE its shownTitle(); a programme with
// a description gets <a href='#dN'>剧情</a> straight after the title (no blank,
// so the guide's cut before "剧情" leaves the title whole), and the
// descriptions follow the rows, where the guide's row pattern never looks.
std::string renderDayPage(std::size_t channel, const Date& date,
                          std::span<const Programme> programmes, const Zone& zone);

struct NowOn {
    std::size_t channel;
    const Programme* programme;  // nullptr: nothing known
};

// The banner: what is on at `now` on a few channels, with the zone's clock.
// Plain HTML, no scripts.
// Over made-up listings its first line says so, and how to read real ones.
std::string renderBanner(Seconds now, const std::vector<NowOn>& rows, const Zone& zone,
                         bool madeUp = false);

}  // namespace epg
