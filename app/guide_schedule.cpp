#include "app/guide_schedule.h"

#include "app/schedule/catalogue_place.h"

namespace app {

GuideSchedule::GuideSchedule(ScheduleServices services)
    : services_(std::move(services)),
      store_({services_.epgRoot}, services_.zone, services_.makeFetch) {}

GuideSchedule::~GuideSchedule() {
    shutdown();
}

void GuideSchedule::shutdown() {
    // Deliveries already posted find the object gone.
    alive_.reset();
    store_.cancel();
}

int GuideSchedule::today() const {
    return base::isoWeekday(base::toLocal(services_.now(), services_.zone).date);
}

void GuideSchedule::changed() const {
    if (onChanged) onChanged();
}

void GuideSchedule::request(const std::vector<schedule::PageKey>& pages, bool forSearch) {
    if (pages.empty() || !services_.post || !alive_) return;
    pending_ += pages.size();
    if (forSearch) searchPending_ += pages.size();
    const std::weak_ptr<bool> alive = alive_;
    store_.request(pages, services_.now(),
                   [this, alive, forSearch,
                    post = services_.post](std::shared_ptr<const schedule::ChannelDay> day) {
                       post([this, alive, forSearch, day = std::move(day)] {
                           if (alive.lock()) received(day, forSearch);
                       });
                   });
}

void GuideSchedule::received(std::shared_ptr<const schedule::ChannelDay> day, bool forSearch) {
    week_.put(std::move(day));
    if (pending_ > 0) --pending_;
    if (forSearch && searchPending_ > 0 && --searchPending_ == 0)
        results_ = schedule::searchTitles(week_, searchText_);
    if (pending_ == 0 || !forSearch) changed();
}

void GuideSchedule::showGroup(const catalogue::Group& group) {
    shown_ = group;
    shownDay_ = today();
    if (!services_.fetchShownGroups) return;
    std::vector<schedule::PageKey> pages;
    for (const catalogue::Row& row : group.rows) {
        if (shownDay_ > 1) pages.push_back({std::string(row.path), shownDay_ - 1});
        pages.push_back({std::string(row.path), shownDay_});
    }
    request(pages, false);
}

std::vector<schedule::NowNext> GuideSchedule::nowNext(const catalogue::Group& group) const {
    const std::int64_t now = services_.now();
    const int day = today();
    // Only this week's pages: one of an earlier week held over is no guide to now.
    schedule::WeekSchedule thisWeek;
    for (const catalogue::Row& row : group.rows)
        for (int d = std::max(1, day - 1); d <= day; ++d)
            if (const schedule::ChannelDay* page = week_.find(row.path, d);
                page && page->date == dateOfDayThisWeek(services_.zone, now, d))
                thisWeek.put(std::make_shared<const schedule::ChannelDay>(*page));
    return schedule::nowNextOfGroup(thisWeek, group, day, now);
}

void GuideSchedule::search(rt::Text fragment) {
    searchText_ = std::move(fragment);
    results_.clear();
    if (searchText_.empty()) {
        changed();
        return;
    }
    std::vector<schedule::PageKey> pages;
    for (const catalogue::Group& group : catalogue::groups())
        for (const catalogue::Row& row : group.rows)
            for (int day = 1; day <= 7; ++day) pages.push_back({std::string(row.path), day});
    if (!services_.post) {
        results_ = schedule::searchTitles(week_, searchText_);
        changed();
        return;
    }
    request(pages, true);
    changed();
}

RemindOutcome GuideSchedule::remind(const schedule::Programme& programme) {
    if (!programme.start) return RemindOutcome::NoTime;
    if (!schedule::findInCatalogue(programme.channel)) return RemindOutcome::NoChannel;
    if (*programme.start <= services_.now()) return RemindOutcome::Started;
    if (!reminders_.add({programme.channel, *programme.start, programme.title}, services_.now()))
        return RemindOutcome::AlreadySet;
    if (onRemindersChanged) onRemindersChanged();
    changed();
    return RemindOutcome::Set;
}

bool GuideSchedule::forget(const schedule::Reminder& reminder) {
    if (!reminders_.remove(reminder.channel, reminder.start)) return false;
    if (onRemindersChanged) onRemindersChanged();
    changed();
    return true;
}

void GuideSchedule::restoreReminders(const std::vector<schedule::Reminder>& kept) {
    // As if set just before its start, notified mark and all: the next tick
    // drops those that have started since.
    for (const schedule::Reminder& r : kept) reminders_.add(r, r.start - 1);
}

void GuideSchedule::tick() {
    const std::size_t before = reminders_.all().size();
    const std::vector<schedule::Reminder> due =
        reminders_.takeDue(services_.now(), services_.remindLead);
    for (const schedule::Reminder& r : due) {
        notifications_.push_back(r);
        if (services_.notify) services_.notify(r);
    }
    if (!due.empty() || reminders_.all().size() != before) {
        if (onRemindersChanged) onRemindersChanged();
    }
    if (shown_ && today() != shownDay_) showGroup(*shown_);
    changed();
}

}  // namespace app
