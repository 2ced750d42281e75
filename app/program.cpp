#include "app/program.h"

#include <cstdio>
#include <cstdlib>
#include <stop_token>

#include "app/config/settings_file.h"
#include "app/schedule/catalogue_place.h"
#include "app/schedule/favourites.h"
#include "app/schedule/reminder_text.h"
#include "app/window/banner_address.h"
#include "app/window/delay.h"
#include "app/window/main_window.h"
#include "base/text.h"
#include "runtime/values/date_time.h"
#include "runtime/window/template/template_codec.h"

namespace app {

GuideProgram::GuideProgram(rt::Backend& backend, ProgramOptions options)
    : backend_(backend),
      options_(std::move(options)),
      environment_(backend),
      pageZone_(options_.pageZone.value_or(beijingZone())),
      fetcher_(options_.fetchLimits),
      guide_(options_.epgRoot, services()) {
    if (options_.cacheDirectory) {
        cache_.emplace(*options_.cacheDirectory, PageCacheLimits{}, [](const std::string& why) {
            std::fprintf(stderr, "offline copies not kept: %s\n", why.c_str());
        });
        if (cache_->usable()) {
            cache_->prune(now());
        } else {
            std::fprintf(stderr, "offline copies not kept: %s\n", cache_->error().c_str());
            cache_.reset();
        }
    }
    // A template that cannot be read is the runtime's fatal report; read here
    // only to move the banner onto the configured server.
    auto tpl = rt::readTemplate(ui::mainWindowTemplateBlock());
    if (tpl.value) {
        moveBannerToRoot(*tpl.value, options_.epgRoot);
        runtime_.emplace(std::move(*tpl.value), guide_.handlers(), backend_);
    } else {
        runtime_.emplace(ui::mainWindowTemplateBlock(), guide_.handlers(), backend_);
    }
    fatalReporter_.emplace(*runtime_);
    skin_ = skin::SkinSystem::create(environment_, *fatalReporter_, skin::notAttachedOnStderr());
    runtime_->setExitRoutine([this] { exitRoutine(); });
    if (skin_) skin_->mapEmbeddedLibrary();
    readKeptLists();
    if (options_.post) {
        ScheduleServices s;
        s.epgRoot = options_.epgRoot;
        s.zone = pageZone_;
        s.makeFetch = [this] { return backgroundFetch(); };
        s.post = options_.post;
        s.now = [this] {
            const rt::DateTime n = now();
            requestClock_ = n.days;
            return unixOfHostLocal(n);
        };
        s.notify = [this](const schedule::Reminder& r) {
            const auto place = schedule::findInCatalogue(r.channel);
            if (options_.notify) options_.notify(r, place ? place->channel->name : rt::Text{});
        };
        s.remindLead = remindLead_;
        s.fetchShownGroups = options_.fetchShownGroups;
        schedule_ = std::make_unique<GuideSchedule>(std::move(s));
        schedule_->restoreReminders(keptReminders_);
        schedule_->onDaysReceived = [this] {
            if (runtime_ && runtime_->windowLoaded(ui::kMainWindowId))
                guide_.markProgrammeOnAir(*runtime_, false);
        };
        schedule_->onRemindersChanged = [this] {
            const schedule::KeptReminders kept =
                schedule::remindersToSetting(schedule_->reminders());
            if (kept.leftOut > 0)
                std::fprintf(stderr,
                             "%zu reminders not kept in the settings file: no room for them\n",
                             kept.leftOut);
            keep({{"reminders", kept.value}});
        };
    }
}

// The favourites and reminders of the settings file; a value that cannot be
// read is said on stderr and left out.
void GuideProgram::readKeptLists() {
    if (!options_.settingsFile) return;
    const SettingsFile settings = readSettingsFile(*options_.settingsFile);
    for (const std::string& problem : settings.problems)
        std::fprintf(stderr, "the settings file %s %s\n", settings.path.c_str(), problem.c_str());
    if (const auto favourites = settings.value("favourites"))
        guide_.setFavourites(schedule::Favourites::fromText(*favourites));
    if (const auto reminders = settings.value("reminders")) {
        schedule::ReadReminders read = schedule::remindersFromSetting(*reminders);
        for (const std::string& error : read.errors)
            std::fprintf(stderr, "reminders= in %s: %s\n", settings.path.c_str(), error.c_str());
        keptReminders_ = std::move(read.reminders);
    }
    if (const auto lead = settings.value("remind_lead_minutes")) {
        char* end = nullptr;
        const long minutes = std::strtol(lead->c_str(), &end, 10);
        if (end && *end == '\0' && minutes >= 0 && minutes <= 24 * 60)
            remindLead_ = std::chrono::minutes(minutes);
        else
            std::fprintf(stderr,
                         "remind_lead_minutes= in %s: \"%s\" is no number of minutes from 0 to "
                         "1440; 5 it is\n",
                         settings.path.c_str(), lead->c_str());
    }
}

void GuideProgram::keep(const SettingValues& values) {
    if (!options_.settingsFile) return;
    const std::string error = writeSettings(*options_.settingsFile, values);
    if (!error.empty()) std::fprintf(stderr, "not kept in the settings file: %s\n", error.c_str());
}

bool GuideProgram::toggleFavourite(std::string_view path) {
    const bool now = guide_.toggleFavourite(*runtime_, path);
    keep({{"favourites", guide_.favourites().toText()}});
    return now;
}

RemindOutcome GuideProgram::remindRow(int row) {
    const auto& programmes = guide_.shownDay().programmes;
    if (!schedule_ || row < 0 || static_cast<std::size_t>(row) >= programmes.size())
        return RemindOutcome::NoRow;
    return schedule_->remind(programmes[static_cast<std::size_t>(row)]);
}

bool GuideProgram::openChannel(int group, int row) {
    rt::Runtime& rt = *runtime_;
    if (guide_.openGroup(rt) != group) rt.userClickGroupHeader(ui::kGroupMenu, group);
    if (!rt.windowLoaded(ui::kMainWindowId) || guide_.openGroup(rt) != group) return false;
    rt.userClickRow(guide_.groupList(group), row);
    return rt.windowLoaded(ui::kMainWindowId);
}

void GuideProgram::openResult(const schedule::SearchHit& hit) {
    rt::Runtime& rt = *runtime_;
    openChannelDay(hit.group, hit.row, hit.day);
    if (!rt.windowLoaded(ui::kMainWindowId)) return;
    // The viewer looks for the programme found, not the day around it. A load
    // started meanwhile (a click in the pause) shows another page: left alone.
    const schedule::ChannelDay& shown = guide_.shownDay();
    if (shown.channel != hit.path || shown.day != hit.day) return;
    for (std::size_t r = 0; r < shown.programmes.size(); ++r) {
        const schedule::Programme& p = shown.programmes[r];
        const bool sameTime = p.start && hit.start ? *p.start == *hit.start
                                                   : base::trim(p.time) == base::trim(hit.time);
        if (p.title != hit.title || !sameTime) continue;
        rt.listSelectRow(ui::kProgramList, static_cast<std::int32_t>(r));
        rt.listShowRow(ui::kProgramList, static_cast<std::int32_t>(r));
        return;
    }
}

void GuideProgram::openChannelDay(int group, int row, int day) {
    rt::Runtime& rt = *runtime_;
    const std::uint64_t before = guide_.loadsStarted();
    if (!openChannel(group, row)) return;
    // The selection loads the start-up day; another day is its label's.
    if (day != dayNumberOf(guide_.values().startupWeekday) || guide_.loadsStarted() == before)
        rt.userMousePress(ui::dayLabel(day), 4, 4, 0);
}

int GuideProgram::shownDayNumber() const {
    const int shown = guide_.shownDay().day;
    if (shown >= 1 && shown <= 7) return shown;
    return base::isoWeekday(base::toLocal(nowInstant(), pageZone_).date);
}

std::optional<schedule::GridBlock> GuideProgram::programmeOfRow(int row) const {
    const schedule::ChannelDay& shown = guide_.shownDay();
    if (row < 0 || static_cast<std::size_t>(row) >= shown.programmes.size()) return std::nullopt;
    const schedule::Programme& listed = shown.programmes[static_cast<std::size_t>(row)];
    schedule::GridBlock block;
    block.programme = listed;
    if (listed.start) block.start = *listed.start;
    // The list's row as the grid of its one channel holds it: the end, and
    // the details the players' JSON gave.
    if (schedule_ && listed.start) {
        const catalogue::Group one{{}, {catalogue::Row{{}, shown.channel}}};
        const schedule::Grid grid = schedule_->grid(one, shown.day);
        if (!grid.rows.empty())
            for (const schedule::GridBlock& b : grid.rows[0].blocks)
                if (b.start == *listed.start) return b;
    }
    // Not held there: the next row's start is the best end there is.
    for (std::size_t r = static_cast<std::size_t>(row) + 1; r < shown.programmes.size(); ++r)
        if (shown.programmes[r].start) {
            block.end = *shown.programmes[r].start;
            break;
        }
    return block;
}

// Each background worker's own fetcher, with the day list's limits; a
// failed page shows this week's offline copy as the day list would.
schedule::FetchPage GuideProgram::backgroundFetch() {
    auto fetcher = std::make_shared<rt::PageFetcher>(options_.fetchLimits);
    return [this, fetcher](const rt::Text& url, std::stop_token stop) {
        rt::FetchCancel cancel;
        const std::stop_callback onStop(stop, [&cancel] { cancel.cancel(); });
        rt::FetchResult fetched = fetcher->fetchPage(url, &cancel);
        // Only day pages have offline copies: a players' JSON answer that
        // did not come is asked for as its day page instead.
        if (!url.ends_with(".htm"))
            return schedule::FetchedPage{std::move(fetched.body),
                                         fetched.complete() && fetched.status == 200
                                             ? schedule::PageSource::Fetched
                                             : schedule::PageSource::Failed};
        const rt::DateTime clock{requestClock_.load()};
        ShownPage page;
        {
            const std::lock_guard lock(cacheMutex_);
            page = choosePage(
                std::move(fetched), url,
                {[this, clock](const rt::Text& u, const rt::Bytes& body) {
                     if (cache_) cache_->keep(u, body, clock);
                 },
                 [this](const rt::Text& u) { return cache_ ? cache_->recall(u) : std::nullopt; }},
                clock);
        }
        const schedule::PageSource source =
            page.origin == PageOrigin::Downloaded    ? schedule::PageSource::Fetched
            : page.origin == PageOrigin::OfflineCopy ? schedule::PageSource::OfflineCopy
                                                     : schedule::PageSource::Failed;
        return schedule::FetchedPage{std::move(page.body), source};
    };
}

GuideProgram::~GuideProgram() = default;

void GuideProgram::loadStartWindow() {
    runtime_->loadStartWindow(ui::kMainWindowId);
    // Reminders kept from an earlier run: due ones now, started ones dropped.
    if (schedule_ && runtime_->windowLoaded(ui::kMainWindowId)) schedule_->tick();
}

rt::DateTime GuideProgram::now() const {
    return options_.now ? options_.now() : rt::currentDateTime();
}

GuideServices GuideProgram::services() {
    GuideServices s;
    s.fetch = [this](const rt::Text& url) {
        if (options_.onFetch) options_.onFetch(url);
        return fetchWhileTheWindowLives(url);
    };
    s.now = [this] { return now(); };
    s.pageNow = [this] { return pageTimeOf(pageZone_, now()); };
    s.zone = pageZone_;
    s.keepCopy = [this](const rt::Text& url, const rt::Bytes& body) {
        const std::lock_guard lock(cacheMutex_);
        if (cache_) cache_->keep(url, body, now());
    };
    s.recallCopy = [this](const rt::Text& url) -> std::optional<KeptPage> {
        const std::lock_guard lock(cacheMutex_);
        return cache_ ? cache_->recall(url) : std::nullopt;
    };
    s.heldDay = [this](std::string_view path, int day) -> const schedule::ChannelDay* {
        return schedule_ ? schedule_->heldDay(path, day) : nullptr;
    };
    s.groupShown = [this](rt::Runtime&, const catalogue::Group& group) {
        if (schedule_) schedule_->showGroup(group);
    };
    s.minuteTick = [this](rt::Runtime&) {
        if (schedule_) schedule_->tick();
    };
    s.delay = [this](rt::Runtime& rt, int milliseconds) { pause(rt, milliseconds); };
    s.attachSkin = [this](rt::Runtime&) {
        if (skin_) skin_->attachEmbeddedSkin(keptSkin_);
    };
    return s;
}

rt::FetchResult GuideProgram::fetchWhileTheWindowLives(const rt::Text& url) {
    const auto job = fetcher_.start(url, [this] { backend_.wake(); });
    if (runtime_->waitForWork([&job] { return job->finished(); })) return job->take();
    // The window has closed: nobody will see the page.
    job->cancel();
    rt::FetchResult none;
    none.outcome = rt::FetchOutcome::Cancelled;
    return none;
}

// Delay through the declared timer functions; without the skin objects (no
// guest space) the same wait straight on the backend. That one ends early
// once the main window is gone: the quit message that closing leaves queued
// would otherwise wake the wait again and again.
void GuideProgram::pause(rt::Runtime& rt, int milliseconds) {
    if (skin_) {
        app::delay(
            skin_->declarations(), [&rt] { rt.processPendingMessages(); }, milliseconds);
        return;
    }
    const auto deadline = backend_.now() + std::chrono::milliseconds(milliseconds);
    while (rt.windowLoaded(ui::kMainWindowId) && backend_.waitForMessage(deadline))
        rt.processPendingMessages();
}

void GuideProgram::exitRoutine() {
    if (schedule_) schedule_->shutdown();
    guide_.release();
    keptSkin_ = {};
}

}  // namespace app
