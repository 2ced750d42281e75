// The schedule around the guide's window: what is on now and next on the
// channels of the group shown, search over this week of every catalogue
// channel, and reminders. Pages come from the background store; everything
// here runs on the GUI thread, which the store's deliveries reach through
// `post`.
//
//   app::GuideSchedule schedule(services);
//   schedule.showGroup(group);           // fetches today's pages of its channels
//   schedule.search(rt::gbk("新闻"));    // fetches the week; results once it is in
//   schedule.tick();                     // each minute: reminders due are shown
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/schedule/grid.h"
#include "app/schedule/now_next.h"
#include "app/schedule/page_zone.h"
#include "app/schedule/reminders.h"
#include "app/schedule/schedule_store.h"
#include "app/schedule/title_search.h"
#include "app/schedule/week_schedule.h"
#include "catalogue/catalogue.h"

namespace app {

struct ScheduleServices {
    rt::Text epgRoot;
    base::Zone zone = beijingZone();
    std::function<schedule::FetchPage()> makeFetch;  // one per worker thread
    // Runs a task on the GUI thread soon; callable from any thread.
    std::function<void(std::function<void()>)> post;
    std::function<std::int64_t()> now;  // Unix seconds, by the guide's clock
    // Shows a reminder that has come due (channel name, time, title).
    std::function<void(const schedule::Reminder&)> notify;
    std::chrono::minutes remindLead{5};
    bool fetchShownGroups = true;  // fetch the pages of a group as it is shown
};

enum class RemindOutcome { Set, AlreadySet, Started, NoTime, NoChannel, NoRow };

class GuideSchedule {
  public:
    explicit GuideSchedule(ScheduleServices services);
    ~GuideSchedule();  // shuts down
    // Stops the fetches; no delivery reaches this object afterwards.
    void shutdown();
    GuideSchedule(const GuideSchedule&) = delete;
    GuideSchedule& operator=(const GuideSchedule&) = delete;

    // The channels of `group` are on screen: their pages of today and the
    // day before (on the pages' clock) are fetched.
    void showGroup(const catalogue::Group& group);
    // Now and next per row of `group` from the pages held ("" where none).
    std::vector<schedule::NowNext> nowNext(const catalogue::Group& group) const;

    // The grid of `group` on `day` (1..7): its channels' pages of that day
    // and the day before are fetched, four at a time; onChanged as they come.
    void showGrid(const catalogue::Group& group, int day);
    // The grid from the pages held so far (rows not yet held are empty).
    schedule::Grid grid(const catalogue::Group& group, int day) const;

    // Searches this week of every catalogue channel for `fragment` (GBK);
    // the results come once the week's pages are in.
    void search(rt::Text fragment);
    const rt::Text& searchText() const { return searchText_; }
    bool searching() const { return searchPending_ > 0; }
    const std::vector<schedule::SearchHit>& results() const { return results_; }

    // The guide's clock, Unix seconds: a programme that starts by then has
    // started.
    std::int64_t now() const { return services_.now(); }
    RemindOutcome remind(const schedule::Programme& programme);
    bool forget(const schedule::Reminder& reminder);
    const std::vector<schedule::Reminder>& reminders() const { return reminders_.all(); }
    // Reminders read back from where they are kept.
    void restoreReminders(const std::vector<schedule::Reminder>& kept);
    // Those shown in this run, in order.
    const std::vector<schedule::Reminder>& notifications() const { return notifications_; }

    // At each full minute: reminders that have come due are shown, those
    // whose programme has started are dropped; pages of a new day fetched.
    void tick();

    // The day held of `path` on `day` (1..7) when it is this week's; null
    // otherwise. Valid until the next delivery.
    const schedule::ChannelDay* heldDay(std::string_view path, int day) const;

    // Whether pages asked for have yet to come.
    bool busy() const { return pending_ > 0; }
    std::size_t pagesHeld() const { return week_.size(); }

    // Each may be empty; called on the GUI thread.
    std::function<void()> onChanged;           // pages, results or reminders changed
    std::function<void()> onRemindersChanged;  // to keep them
    std::function<void()> onDaysReceived;      // pages came (the main list's mark may move)

  private:
    void request(const std::vector<schedule::PageKey>& pages, bool forSearch);
    void received(std::shared_ptr<const schedule::ChannelDay> day, bool forSearch);
    int today() const;
    void changed() const;

    ScheduleServices services_;
    schedule::ScheduleStore store_;
    schedule::WeekSchedule week_;  // the newest page of each channel and day
    std::optional<catalogue::Group> shown_;
    int shownDay_ = 0;  // the day whose pages were asked for the shown group
    std::size_t pending_ = 0;
    std::size_t searchPending_ = 0;
    rt::Text searchText_;
    std::vector<schedule::SearchHit> results_;
    schedule::Reminders reminders_;
    std::vector<schedule::Reminder> notifications_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace app
