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
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "runtime/values/value.h"
#include "runtime/window/runtime.h"

namespace app {

// What the guide needs from around it; each is called on the GUI thread.
struct GuideServices {
    std::function<rt::Bytes(const rt::Text& url)> fetch;        // body, or empty on any failure
    std::function<rt::DateTime()> now;                          // the local date and time
    std::function<void(rt::Runtime&, int milliseconds)> delay;  // waits, dispatching messages
    std::function<void(rt::Runtime&)> attachSkin;               // may be empty: no skin
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

  private:
    void parseIntoProgramList(rt::Runtime& rt, std::uint64_t generation);
    rt::ControlRef groupList(int group) const;

    rt::Text epgRoot_;
    GuideServices services_;
    GuideValues values_;
    std::uint64_t generation_ = 0;  // day page loads started so far
};

}  // namespace app
