// tvguide-probe: the guide on the headless backend, driven by actions given on
// the command line; prints the window's state as one JSON object.
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "app/config/guide_setup.h"
#include "app/probe/probe_options.h"
#include "app/probe/probe_report.h"
#include "app/program.h"
#include "app/schedule/catalogue_place.h"
#include "app/window/main_window.h"
#include "catalogue/catalogue.h"
#include "runtime/backend/headless/headless_backend.h"
#include "runtime/values/allocation_failure.h"
#include "runtime/values/date_time.h"
#include "runtime/values/gbk.h"
#include "runtime/window/fatal_report.h"

namespace {

using app::probe::ProbeAction;
using Clock = rt::Backend::Clock;

// How far apart actions written with "+" arrive: well inside one 500 ms pause.
constexpr auto kNestedStep = std::chrono::milliseconds(100);

// Tasks the schedule's background fetches hand to the GUI thread. The probe
// runs them only between its actions, so a run's output does not depend on
// when a page happened to arrive.
class Inbox {
  public:
    void post(std::function<void()> task) {
        {
            const std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        arrived_.notify_one();
    }
    // Waits for at least one task, then runs all that have come.
    void waitAndRun() {
        std::deque<std::function<void()>> tasks;
        {
            std::unique_lock lock(mutex_);
            arrived_.wait(lock, [this] { return !tasks_.empty(); });
            tasks.swap(tasks_);
        }
        for (auto& task : tasks) task();
    }

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::function<void()>> tasks_;
};

class Probe {
  public:
    Probe(const app::probe::ProbeOptions& options, const app::GuideSetup& setup)
        : options_(options),
          setup_(setup),
          clockStart_(backend_.now()),
          base_(options.now.value_or(rt::currentDateTime())),
          program_(backend_, programOptions()) {}

    int run() {
        const auto& actions = options_.actions;
        size_t next = scheduleFollowers(0);  // leading "+", "@" actions arrive inside the start-up
        program_.loadStartWindow();
        bool closed = runUntilIdle();
        while (!closed && next < actions.size()) {
            post(actions[next], std::nullopt);
            next = scheduleFollowers(next + 1);
            closed = runUntilIdle();
        }
        if (!closed) takeSnapshot();
        std::fputs((snapshot_ + "\n").c_str(), stdout);
        return 0;
    }

  private:
    app::ProgramOptions programOptions() {
        app::ProgramOptions o;
        o.epgRoot = setup_.epgRoot.root;
        o.pageZone = setup_.pageZone;
        o.onFetch = [this](const rt::Text& url) {
            requests_.push_back(url);
            postDuringDownload();
        };
        if (options_.cacheDir) o.cacheDirectory = *options_.cacheDir;
        if (options_.fetchDeadline) o.fetchLimits.deadline = *options_.fetchDeadline;
        o.post = [this](std::function<void()> task) { inbox_.post(std::move(task)); };
        o.fetchShownGroups = options_.nowNext;
        if (options_.settingsFile) o.settingsFile = *options_.settingsFile;
        // The guide's local clock starts at --now and runs with the fake clock.
        o.now = [this] { return guideNow(); };
        return o;
    }

    rt::DateTime guideNow() {
        const double seconds =
            std::floor(std::chrono::duration<double>(backend_.now() - clockStart_).count());
        return rt::DateTime{base_.days + seconds / 86400.0};
    }

    void takeSnapshot() {
        std::map<int, std::uint32_t> colours;
        if (skin::SkinSystem* s = program_.skin()) colours = s->colours().changed();
        snapshot_ = app::probe::stateJson(program_.runtime(), program_.guide(), program_.schedule(),
                                          requests_, colours, views());
    }

    // The grid and the details asked for, from the pages held now.
    app::probe::ProbeViews views() {
        app::probe::ProbeViews v;
        const app::GuideSchedule* schedule = program_.schedule();
        if (!schedule) return v;
        v.now = app::unixOfHostLocal(guideNow());
        if (gridGroup_) v.grid = schedule->grid(*gridGroup_, gridDay_);
        if (detailsRow_) {
            const app::schedule::ChannelDay& shown = program_.guide().shownDay();
            const auto block = app::schedule::blockOfListRow(
                shown, schedule->heldDay(shown.channel, shown.day),
                static_cast<std::size_t>(*detailsRow_), program_.guide().zone());
            const auto place = app::schedule::findInCatalogue(shown.channel);
            if (block) v.details = {place ? place->channel->name : rt::Text{}, *block};
        } else if (gridDetails_ && v.grid) {
            const auto [c, p] = *gridDetails_;
            if (c < v.grid->rows.size() && p < v.grid->rows[c].blocks.size())
                v.details = {v.grid->rows[c].channel, v.grid->rows[c].blocks[p]};
        }
        return v;
    }

    // Queues the run of "+" and "@" actions starting at `from`: each "+" one
    // to arrive inside the pause of the action before it, the "@" ones as
    // soon as the next download has begun. Returns the first action after
    // the run.
    size_t scheduleFollowers(size_t from) {
        size_t i = from;
        for (int k = 1; i < options_.actions.size(); ++i) {
            const ProbeAction& a = options_.actions[i];
            if (a.nested)
                post(a, backend_.now() + k++ * kNestedStep);
            else if (a.duringDownload)
                duringDownload_.push_back(a);
            else
                break;
        }
        return i;
    }

    // Called as a download begins: the held "@" actions arrive now, while it runs.
    void postDuringDownload() {
        for (const ProbeAction& a : duringDownload_) post(a, std::nullopt);
        duringDownload_.clear();
    }

    // Runs the loop until the queue runs dry (false) or the window closes
    // (true). "@" actions whose action downloaded nothing arrive afterwards.
    // Then waits for the pages the schedule has asked for.
    bool runUntilIdle() {
        bool closed = program_.runMessageLoop().has_value();
        while (!closed && !duringDownload_.empty()) {
            postDuringDownload();
            closed = program_.runMessageLoop().has_value();
        }
        while (!closed && program_.schedule() && program_.schedule()->busy()) {
            inbox_.waitAndRun();
            closed = program_.runMessageLoop().has_value();
        }
        return closed;
    }

    static void note(const std::string& what) {
        std::fprintf(stderr, "tvguide-probe: %s\n", what.c_str());
    }

    // The schedule's actions, run as the viewer's input would be.
    void scheduleAction(const ProbeAction& action) {
        app::GuideSchedule* schedule = program_.schedule();
        const app::Guide& guide = program_.guide();
        rt::Runtime& rt = program_.runtime();
        switch (action.kind) {
            case ProbeAction::Kind::Favourite: {
                const int g = guide.openGroup(rt);
                const catalogue::Group* group = guide.menuGroup(g);
                const std::int32_t row = rt::toInt(
                    rt.readProperty(guide.groupList(g), rt::ListViewProperty::CurrentRow));
                if (!group || row < 0 || static_cast<std::size_t>(row) >= group->rows.size())
                    return note("favourite: the open list has no current channel");
                program_.toggleFavourite(group->rows[static_cast<std::size_t>(row)].path);
                return;
            }
            case ProbeAction::Kind::Search: {
                const auto text = rt::gbkStrict(action.text);
                if (!text) return note("search: \"" + action.text + "\" is not text GBK can hold");
                schedule->search(*text);
                return;
            }
            case ProbeAction::Kind::OpenResult: {
                const auto& results = schedule->results();
                if (static_cast<std::size_t>(action.argument) >= results.size())
                    return note("open-result: there is no result " +
                                std::to_string(action.argument));
                program_.openResult(results[static_cast<std::size_t>(action.argument)]);
                return;
            }
            case ProbeAction::Kind::Remind: {
                static const char* const why[] = {"",
                                                  "it is set already",
                                                  "it has started",
                                                  "the row has no time",
                                                  "the channel is not in the catalogue",
                                                  "the program list has no such row"};
                const app::RemindOutcome outcome = program_.remindRow(action.argument);
                if (outcome != app::RemindOutcome::Set)
                    note("remind: no reminder for row " + std::to_string(action.argument) + ": " +
                         why[static_cast<int>(outcome)]);
                return;
            }
            case ProbeAction::Kind::OpenGrid: {
                const catalogue::Group* group = guide.menuGroup(guide.openGroup(rt));
                const auto* slider = rt.control(app::ui::kDaySlider);
                const auto* bar = slider ? slider->as<rt::SliderBar>() : nullptr;
                if (!group || !bar) return note("open-grid: no group is open");
                gridGroup_ = *group;
                gridDay_ = bar->position();
                schedule->showGrid(*gridGroup_, gridDay_);
                return;
            }
            case ProbeAction::Kind::Details: {
                const app::schedule::ChannelDay& shown = guide.shownDay();
                if (static_cast<std::size_t>(action.argument) >= shown.programmes.size())
                    return note("details: the program list has no row " +
                                std::to_string(action.argument));
                detailsRow_ = action.argument;
                gridDetails_.reset();
                // The feed's record of the day, where the schedule does not hold it yet.
                if (!schedule->heldDay(shown.channel, shown.day))
                    if (const auto place = app::schedule::findInCatalogue(shown.channel))
                        schedule->showGrid({{}, {*place->channel}}, shown.day);
                return;
            }
            case ProbeAction::Kind::GridDetails:
                if (!gridGroup_) return note("grid-details: no grid is open");
                gridDetails_ = {static_cast<std::size_t>(action.argument),
                                static_cast<std::size_t>(action.programme)};
                detailsRow_.reset();
                return;
            case ProbeAction::Kind::Advance:
                // A minute at a time, so each minute's check runs as it would have.
                for (int m = 0; m < action.argument && rt.windowLoaded(app::ui::kMainWindowId);
                     ++m) {
                    backend_.advance(std::chrono::minutes(1));
                    rt.processPendingMessages();
                }
                return;
            default: return;
        }
    }

    void post(const ProbeAction& action, rt::HeadlessBackend::When at) {
        switch (action.kind) {
            case ProbeAction::Kind::OpenGroup:
                backend_.postHeaderClick(app::ui::kGroupMenu, action.argument, at);
                break;
            case ProbeAction::Kind::SelectRow:
                backend_.post([row = action.argument](
                                  rt::Runtime& rt) { rt.userClickRow(openList(rt), row); },
                              at);
                break;
            case ProbeAction::Kind::ClickLabel:
                backend_.postMousePress(app::ui::dayLabel(action.argument), 4, 4, 0, at);
                break;
            case ProbeAction::Kind::OpenFavourites:
                backend_.postHeaderClick(app::ui::kGroupMenu,
                                         static_cast<std::int32_t>(catalogue::groups().size()), at);
                break;
            case ProbeAction::Kind::Favourite:
            case ProbeAction::Kind::Search:
            case ProbeAction::Kind::OpenResult:
            case ProbeAction::Kind::Remind:
            case ProbeAction::Kind::Advance:
            case ProbeAction::Kind::OpenGrid:
            case ProbeAction::Kind::Details:
            case ProbeAction::Kind::GridDetails:
                backend_.post([this, action](rt::Runtime&) { scheduleAction(action); }, at);
                break;
            case ProbeAction::Kind::Close:
                backend_.post(
                    [this](rt::Runtime& rt) {
                        takeSnapshot();
                        rt.userCloseWindow(app::ui::kMainWindowId);
                    },
                    at, rt::HeadlessBackend::Kind::Close);
                break;
        }
    }

    // The content of the roll-up menu's open group.
    static rt::ControlRef openList(const rt::Runtime& rt) {
        const rt::Control* c = rt.control(app::ui::kGroupMenu);
        const rt::OutlookBar* bar = c ? c->as<rt::OutlookBar>() : nullptr;
        if (!bar || !bar->validGroup(bar->currentGroup())) return {};
        return {app::ui::kMainWindowId,
                bar->groups()[static_cast<size_t>(bar->currentGroup())].content};
    }

    const app::probe::ProbeOptions& options_;
    const app::GuideSetup& setup_;
    rt::HeadlessBackend backend_;
    Clock::time_point clockStart_;
    rt::DateTime base_;
    std::vector<rt::Text> requests_;
    std::vector<ProbeAction> duringDownload_;  // "@" actions waiting for a download
    std::string snapshot_;
    std::optional<catalogue::Group> gridGroup_;  // the grid open-grid asked for
    int gridDay_ = 0;
    std::optional<int> detailsRow_;                                   // details:R
    std::optional<std::pair<std::size_t, std::size_t>> gridDetails_;  // grid-details:C:P
    Inbox inbox_;  // before the program: its fetches post here until it is gone
    app::GuideProgram program_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = app::probe::parseProbeArguments(args);
    if (const auto* error = std::get_if<app::probe::UsageError>(&parsed)) {
        std::fprintf(stderr, "tvguide-probe: %s\n%s", error->message.c_str(),
                     app::probe::probeUsage().c_str());
        return 2;
    }
    const auto& options = std::get<app::probe::ProbeOptions>(parsed);
    if (options.help) {
        std::fputs(app::probe::probeUsage().c_str(), stdout);
        return 0;
    }
    // The probe reads no settings file but the one --settings names, and that
    // for favourites and reminders only: a run depends on its command line
    // and environment.
    const auto resolved = app::resolveGuideSetup({options.epgRoot, options.pageZone, nullptr, {}});
    if (const auto* refused = std::get_if<app::SetupRefused>(&resolved)) {
        std::fprintf(stderr, "tvguide-probe: %s\n", refused->message.c_str());
        return 2;
    }
    const app::GuideSetup& setup = std::get<app::GuideSetup>(resolved);
    for (const std::string& note : setup.notes)
        std::fprintf(stderr, "tvguide-probe: %s\n", note.c_str());
    try {
        Probe probe(options, setup);
        return probe.run();
    } catch (const std::bad_alloc& failure) {
        // Outside any handler (the runtime reports those itself).
        rt::exitOnAllocationFailure(rt::failedAllocationSize(failure));
    }
}
