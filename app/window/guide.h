// The guide's own logic on the runtime frame: the application-wide values and
// the handlers the window template binds (created, group opened, channel
// selected, the seven day labels). The roll-up menu shows the catalogue's
// groups, then 我的收藏 while it holds channels.
//
//   app::Guide guide(root, services);
//   rt::Runtime runtime(app::ui::mainWindowTemplateBlock(), guide.handlers(), backend);
//   runtime.setExitRoutine([&] { guide.release(); });
//   runtime.loadStartWindow(app::ui::kMainWindowId);
//
// A day or channel click dispatched while another load waits (in the message
// pump after its download or in the parse's pause) runs its own load there;
// the newest load wins and the waiting one then leaves the program list alone,
// so the list holds the newest day's rows exactly once.
//
// A download that fails (no answer, cut short, timed out, a status outside
// 2xx) shows the offline copy of that page when there is one fetched this
// week (Monday to Sunday, by the guide's clock), else what came; the status
// bar says which. While the list shows today's page, the row on air
// is marked and kept current by a check at every full minute. "Today", the
// time on air and the minute are those of the pages' clock (their zone,
// Beijing unless configured); the weekday labels and the status bar's date
// keep the computer's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/schedule/channel_day.h"
#include "app/schedule/favourites.h"
#include "app/schedule/page_cache.h"
#include "app/schedule/page_zone.h"
#include "app/window/day_load.h"
#include "catalogue/catalogue.h"
#include "runtime/http/page_fetcher.h"
#include "runtime/values/value.h"
#include "runtime/window/runtime.h"

namespace app {

// What the guide needs from around it; each is called on the GUI thread.
struct GuideServices {
    std::function<rt::FetchResult(const rt::Text& url)> fetch;  // body and how the fetch ended
    std::function<rt::DateTime()> now;                          // the local date and time
    std::function<rt::DateTime()> pageNow;  // the time on the pages' clock; empty: now
    std::function<void(rt::Runtime&, int milliseconds)> delay;  // waits, dispatching messages
    std::function<void(rt::Runtime&)> attachSkin;               // may be empty: no skin
    // Offline copies; either may be empty (no copies kept).
    std::function<void(const rt::Text& url, const rt::Bytes& body)> keepCopy;
    std::function<std::optional<KeptPage>(const rt::Text& url)> recallCopy;
    base::Zone zone = beijingZone();  // the pages' zone
    // May be empty. A group's channels are shown (at start-up, and whenever
    // a group opens), and each full minute of the pages' clock.
    std::function<void(rt::Runtime&, const catalogue::Group&)> groupShown;
    std::function<void(rt::Runtime&)> minuteTick;
    // May be empty. The schedule's record of a channel-day (catalogue path,
    // day 1..7) of this week, with the feed's ends where it gave them; null
    // where none is held. Valid until the schedule next changes.
    std::function<const schedule::ChannelDay*(std::string_view path, int day)> heldDay;
};

// The application-wide values.
struct GuideValues {
    rt::Text pageText;        // the last day page loaded, its NULs left out
    rt::Text channelBaseUrl;  // ends in "/"; empty for a row without a channel
    rt::Text startupWeekday;  // fixed once by the created handler
    // The lists of menu groups 1 and on, at [0] and on: the catalogue's,
    // then the favourites' (made when first needed, kept when hidden).
    std::vector<rt::TypedControlRef> groupLists;
};

// Day number 1..6 for "星期一".."星期六" (exact comparison), else 7.
int dayNumberOf(const rt::Text& weekday);

class Guide {
  public:
    Guide(rt::Text epgRoot, GuideServices services);

    // The handler table, in the order of the template's handler ids.
    std::vector<rt::Handler> handlers();
    // The exit routine: releases the texts.
    void release();

    const GuideValues& values() const { return values_; }
    const rt::Text& epgRoot() const { return epgRoot_; }
    std::uint64_t loadsStarted() const { return generation_; }

    // The handlers, also callable directly.
    void created(rt::Runtime& rt);
    void groupOpened(rt::Runtime& rt);
    void channelSelected(rt::Runtime& rt);
    void dayLabelPressed(rt::Runtime& rt, int day) { loadDay(rt, day, true); }

    // The menu's groups in order; null past the last.
    const catalogue::Group* menuGroup(int group) const;
    int menuGroupCount() const;
    // The open group's number, -1 when none is open.
    int openGroup(const rt::Runtime& rt) const;
    rt::ControlRef groupList(int group) const;

    // The favourite channels, read once from where they are kept.
    const schedule::Favourites& favourites() const { return favourites_; }
    void setFavourites(schedule::Favourites favourites);
    // Adds `path` to 我的收藏 or takes it out, showing or hiding the group
    // (and refilling its list when it is open). Whether it is one now.
    bool toggleFavourite(rt::Runtime& rt, std::string_view path);

    // The records of the day the program list shows (no programmes before
    // the first parse).
    const schedule::ChannelDay& shownDay() const { return shown_; }
    const base::Zone& zone() const { return services_.zone; }

    // Day page load: slider to `day`, download channel base URL + "W<day>.htm"
    // into the page text, pump messages once when `pump`, then parse.
    void loadDay(rt::Runtime& rt, int day, bool pump);

    // Marks the row on air when the list shows today's page (clears the mark
    // otherwise) and, when `scroll`, brings it into view. The row, or -1.
    int markProgrammeOnAir(rt::Runtime& rt, bool scroll);

  private:
    void parseIntoProgramList(rt::Runtime& rt, std::uint64_t generation, PageOrigin origin,
                              rt::DateTime copyFetched);
    void checkOnAirAtNextMinute(rt::Runtime& rt);
    rt::DateTime pageNow() const;
    void fillGroupList(rt::Runtime& rt, int group);
    void showFavouritesGroup(rt::Runtime& rt, bool shown);

    rt::Text epgRoot_;
    GuideServices services_;
    GuideValues values_;
    std::uint64_t generation_ = 0;  // day page loads started so far
    schedule::ChannelDay shown_;    // the records the program list holds; day 0: none
    schedule::Favourites favourites_;
    catalogue::Group favouritesGroup_;
    bool favouritesShown_ = false;
    bool menuChanging_ = false;  // the group events of our own menu changes are not the user's
};

}  // namespace app
