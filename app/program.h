// The guide's entry routine and exit routine around a window backend, shared
// by tvguide (Qt) and tvguide-probe (headless).
//
//   app::GuideProgram program(backend, {app::chooseEpgRoot(std::nullopt).root});
//   program.loadStartWindow();    // the created handler runs to its end in here
//   program.runMessageLoop();     // until the main window closes; then the exit routine
//   return 0;
//
// Construction does the entry routine's first steps in order: the runtime
// reads the window template, the skin objects are created (the MemoryLibrary
// among them), the exit routine is registered, the embedded skin library is
// mapped. A missing guest space or a failed mapping only leaves the window
// without its skin. The offline copies are pruned; a cache directory that
// cannot be used is said once on stderr and the guide runs without copies.
//
// Day pages download on a thread of their own while the GUI thread waits
// through the backend: the window keeps painting and can be closed, which
// ends the download at once; input that arrives meanwhile is delivered after
// it, as a download that blocked the GUI thread would have delivered it.
//
// Given a way to post to the GUI thread, the program also keeps the schedule
// around the window (app/guide_schedule.h): the shown group's pages and the
// week for a search come from four background fetches with the day list's
// fetch limits, proxy rules and offline copies. Favourites and reminders are
// read from the settings file given, and written back there when they change.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "app/config/settings_write.h"
#include "app/guide_schedule.h"
#include "app/schedule/page_cache.h"
#include "app/schedule/page_zone.h"
#include "app/window/guide.h"
#include "runtime/http/fetch_worker.h"
#include "runtime/http/page_fetcher.h"
#include "runtime/window/backend.h"
#include "runtime/window/runtime.h"
#include "skin/runtime_glue.h"
#include "skin/skin_system.h"

namespace app {

struct ProgramOptions {
    rt::Text epgRoot;                                     // read once by the caller
    std::function<rt::DateTime()> now;                    // empty: the real local time
    std::optional<base::Zone> pageZone;                   // empty: Beijing time
    std::function<void(const rt::Text& url)> onFetch;     // sees every URL before it is fetched
    std::optional<std::filesystem::path> cacheDirectory;  // offline copies; none when empty
    rt::FetchLimits fetchLimits;
    // Runs a task on the GUI thread soon; callable from any thread. Empty:
    // no background schedule (no now and next, search or reminders).
    std::function<void(std::function<void()>)> post;
    bool fetchShownGroups = true;  // fetch each shown group's pages for now and next
    // favourites=, reminders= and remind_lead_minutes= are read here and the
    // first two written back; none when empty.
    std::optional<std::filesystem::path> settingsFile;
    // Shows a reminder that has come due; its channel's catalogue name (GBK).
    std::function<void(const schedule::Reminder&, const rt::Text& channel)> notify;
};

class GuideProgram {
  public:
    GuideProgram(rt::Backend& backend, ProgramOptions options);
    ~GuideProgram();
    GuideProgram(const GuideProgram&) = delete;
    GuideProgram& operator=(const GuideProgram&) = delete;

    void loadStartWindow();
    // Until the main window closes (then the exit routine has run): the quit
    // code. nullopt when a headless queue ran dry first.
    std::optional<int> runMessageLoop() { return runtime_->runMessageLoop(); }

    rt::Runtime& runtime() { return *runtime_; }
    const rt::Runtime& runtime() const { return *runtime_; }
    const Guide& guide() const { return guide_; }
    // Null without a way to post to the GUI thread.
    GuideSchedule* schedule() { return schedule_ ? schedule_.get() : nullptr; }
    const GuideSchedule* schedule() const { return schedule_ ? schedule_.get() : nullptr; }

    // The viewer's own lists, kept in the settings file.
    bool toggleFavourite(std::string_view path);
    // A reminder for row `row` of the program list.
    RemindOutcome remindRow(int row);
    // Opens row `row` of menu group `group` as clicks on its header and row
    // would; false when the window has closed meanwhile.
    bool openChannel(int group, int row);
    // Opens a search result's channel and day as clicks on them would, and
    // selects the programme's row.
    void openResult(const schedule::SearchHit& hit);
    // Opens row `row` of menu group `group` on `day` (1..7) as clicks on the
    // group, the row and the day's label would.
    void openChannelDay(int group, int row, int day);
    // The guide's clock now, Unix seconds.
    std::int64_t nowInstant() const { return unixOfHostLocal(now()); }
    // The day the program list shows (1..7); today before its first load.
    int shownDayNumber() const;
    // Row `row` of the program list with its end, description and category
    // where the schedule holds that channel's day; null past the last row.
    std::optional<schedule::GridBlock> programmeOfRow(int row) const;
    skin::SkinSystem* skin() { return skin_.get(); }  // null: no skin this run
    const skin::KeptSkinArguments& keptSkin() const { return keptSkin_; }

  private:
    GuideServices services();
    rt::FetchResult fetchWhileTheWindowLives(const rt::Text& url);
    schedule::FetchPage backgroundFetch();
    void readKeptLists();
    void keep(const SettingValues& values);
    rt::DateTime now() const;
    void pause(rt::Runtime& rt, int milliseconds);
    void exitRoutine();

    rt::Backend& backend_;
    ProgramOptions options_;
    skin::BackendEnvironment environment_;
    base::Zone pageZone_;
    rt::FetchWorker fetcher_;
    std::optional<PageCache> cache_;
    Guide guide_;
    std::optional<rt::Runtime> runtime_;
    std::optional<skin::RuntimeFatalReporter> fatalReporter_;
    std::unique_ptr<skin::SkinSystem> skin_;
    skin::KeptSkinArguments keptSkin_;
    std::mutex cacheMutex_;                // the offline copies, shared with the background fetches
    std::atomic<double> requestClock_{0};  // the guide's clock at the last background request
    std::chrono::minutes remindLead_{5};
    std::vector<schedule::Reminder> keptReminders_;  // read before the schedule is made
    std::unique_ptr<GuideSchedule> schedule_;        // last: gone before anything it uses
};

}  // namespace app
