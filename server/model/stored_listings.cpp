#include <algorithm>
#include <limits>

#include "server/model/channels.h"
#include "server/model/listings.h"

namespace epg {

namespace {

// Of two programmes at one start, the one to keep: one with a length over
// one the feed says lasts no time (a filler, a marker); else the first.
bool better(const Programme& a, const Programme& b) {
    return a.stop == a.start && b.stop != b.start;
}

}  // namespace

Seconds endOf(const Programme& p, Seconds nextStart) {
    if (p.stop != 0) return p.stop;
    if (nextStart > p.start && nextStart - p.start <= kLongestGuess) return nextStart;
    return p.start + 2 * 3600;
}

void putInOrder(std::vector<Programme>& list) {
    auto earlier = [](const Programme& a, const Programme& b) { return a.start < b.start; };
    // Feeds come in order; the sort would still move every programme twice.
    if (!std::is_sorted(list.begin(), list.end(), earlier))
        std::stable_sort(list.begin(), list.end(), earlier);
    // Merged sources repeat programmes; two at the same start cannot both be
    // shown.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (kept > 0 && list[kept - 1].start == list[i].start) {
            if (better(list[kept - 1], list[i])) list[kept - 1] = std::move(list[i]);
            continue;
        }
        if (kept != i) list[kept] = std::move(list[i]);
        ++kept;
    }
    list.resize(kept);
    for (std::size_t i = 0; i < list.size(); ++i) {
        Programme& p = list[i];
        if (p.stop != 0 && p.stop < p.start) p.stop = 0;  // nonsense stop: unknown
        if (p.stop == 0 && i + 1 < list.size() && list[i + 1].start - p.start <= kLongestGuess)
            p.stop = list[i + 1].start;
    }
}

Schedule::Schedule(std::shared_ptr<const std::vector<Programme>> list) {
    if (list && !list->empty()) append(*list, list);
}

void Schedule::append(std::span<const Programme> run, std::shared_ptr<const void> owner) {
    if (run.empty()) return;
    runs_.push_back(run);
    // Runs of one document follow each other: keep it once.
    if (std::find(owners_.begin(), owners_.end(), owner) == owners_.end())
        owners_.push_back(std::move(owner));
}

std::vector<std::span<const Programme>> Schedule::runs(Seconds from, Seconds to) const {
    auto before = [](const Programme& p, Seconds t) { return p.start < t; };
    std::vector<std::span<const Programme>> out;
    for (std::span<const Programme> run : runs_) {
        if (run.back().start < from) continue;
        if (run.front().start >= to) break;
        auto lo = std::lower_bound(run.begin(), run.end(), from, before);
        auto hi = std::lower_bound(lo, run.end(), to, before);
        if (lo != hi) out.emplace_back(lo, hi);
    }
    return out;
}

std::vector<Programme> Schedule::starting(Seconds from, Seconds to) const {
    std::vector<Programme> out;
    for (std::span<const Programme> run : runs(from, to))
        out.insert(out.end(), run.begin(), run.end());
    return out;
}

std::size_t Schedule::size() const {
    std::size_t n = 0;
    for (std::span<const Programme> run : runs_) n += run.size();
    return n;
}

StoredListings::StoredListings() : schedules_(channelCount()), added_(channelCount()) {}

void StoredListings::add(std::size_t channel, Programme p) {
    if (channel < added_.size()) added_[channel].push_back(std::move(p));
}

void StoredListings::set(std::size_t channel, Schedule schedule) {
    if (channel < schedules_.size()) schedules_[channel] = std::move(schedule);
}

void StoredListings::finish() {
    constexpr Seconds kAll = std::numeric_limits<Seconds>::max();
    for (std::size_t c = 0; c < added_.size(); ++c) {
        std::vector<Programme>& added = added_[c];
        if (added.empty()) continue;
        std::vector<Programme> list = schedules_[c].starting(-kAll, kAll);
        list.insert(list.end(), std::make_move_iterator(added.begin()),
                    std::make_move_iterator(added.end()));
        putInOrder(list);
        schedules_[c] = Schedule(std::make_shared<const std::vector<Programme>>(std::move(list)));
        added = {};
    }
}

std::vector<Programme> StoredListings::starting(std::size_t channel, Seconds from,
                                                Seconds to) const {
    if (channel >= schedules_.size()) return {};
    return schedules_[channel].starting(from, to);
}

std::span<const std::string> StoredListings::feedNames(std::size_t channel) const {
    if (channel >= feedNames_.size()) return {};
    return feedNames_[channel];
}

void StoredListings::setFeedNames(std::size_t channel, std::vector<std::string> names) {
    if (channel >= schedules_.size()) return;
    if (feedNames_.size() <= channel) feedNames_.resize(schedules_.size());
    feedNames_[channel] = std::move(names);
}

std::size_t StoredListings::programmeCount() const {
    std::size_t n = 0;
    for (const Schedule& s : schedules_) n += s.size();
    return n;
}

std::string_view StoredListings::icon(std::size_t channel) const {
    return channel < icons_.size() ? std::string_view(icons_[channel]) : std::string_view();
}

void StoredListings::setIcon(std::size_t channel, std::string icon) {
    if (channel >= schedules_.size()) return;
    if (icons_.size() <= channel) icons_.resize(schedules_.size());
    icons_[channel] = std::move(icon);
}

}  // namespace epg
