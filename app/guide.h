// The guide's own logic on the runtime frame: the application-wide values and
// the handlers the window template binds (created, group opened, channel
// selected, the seven day labels).
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

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/page_cache.h"
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
};

// The application-wide values.
struct GuideValues {
    rt::Text pageText;        // the last day page loaded, up to its first NUL
    rt::Text channelBaseUrl;  // ends in "/"; empty for a row without a channel
    rt::Text startupWeekday;  // fixed once by the created handler
    std::array<rt::TypedControlRef, 9> groupLists{};  // group list 1..9 at [0..8]
};

// Day number 1..6 for "星期一".."星期六" (exact comparison), else 7.
int dayNumberOf(const rt::Text& weekday);

// Where the shown page came from, for the status bar.
enum class PageOrigin { Downloaded, Failed, OfflineCopy };
// "当前状态: 下载完毕!", "当前状态: 下载失败!", or for a copy
// "当前状态: 离线, 显示 M月D日 HH:MM 下载的节目表" with the copy's time. GBK.
rt::Text downloadStatus(PageOrigin origin, rt::DateTime copyFetched = {});

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
    rt::ControlRef groupList(int group) const;

    rt::Text epgRoot_;
    GuideServices services_;
    GuideValues values_;
    std::uint64_t generation_ = 0;      // day page loads started so far
    int shownDay_ = 0;                  // the day whose rows the program list holds, 0 none
    std::vector<rt::Text> shownTimes_;  // their air-time texts
};

}  // namespace app
