#include <algorithm>

#include "server/channels/channels.h"
#include "server/listings.h"

namespace epg {

void putInOrder(std::vector<Programme>& list) {
    std::stable_sort(list.begin(), list.end(),
                     [](const Programme& a, const Programme& b) { return a.start < b.start; });
    // Merged sources repeat programmes; two at the same start cannot both be
    // shown, so the first one read stays.
    list.erase(
        std::unique(list.begin(), list.end(),
                    [](const Programme& a, const Programme& b) { return a.start == b.start; }),
        list.end());
    for (std::size_t i = 0; i < list.size(); ++i) {
        Programme& p = list[i];
        if (p.stop != 0 && p.stop <= p.start) p.stop = 0;  // nonsense stop: unknown
        if (p.stop == 0 && i + 1 < list.size()) p.stop = list[i + 1].start;
    }
}

StoredListings::StoredListings() : lists_(channelCount()), added_(channelCount()) {}

void StoredListings::add(std::size_t channel, Programme p) {
    if (channel < added_.size()) added_[channel].push_back(std::move(p));
}

void StoredListings::share(std::size_t channel,
                           std::shared_ptr<const std::vector<Programme>> programmes) {
    if (channel < lists_.size()) lists_[channel] = std::move(programmes);
}

void StoredListings::finish() {
    for (std::size_t c = 0; c < added_.size(); ++c) {
        std::vector<Programme>& added = added_[c];
        if (added.empty()) continue;
        if (lists_[c]) added.insert(added.begin(), lists_[c]->begin(), lists_[c]->end());
        putInOrder(added);
        lists_[c] = std::make_shared<const std::vector<Programme>>(std::move(added));
        added = {};
    }
}

std::vector<Programme> StoredListings::starting(std::size_t channel, Seconds from,
                                                Seconds to) const {
    if (channel >= lists_.size() || !lists_[channel]) return {};
    const auto& list = *lists_[channel];
    auto lo = std::lower_bound(list.begin(), list.end(), from,
                               [](const Programme& p, Seconds t) { return p.start < t; });
    auto hi = std::lower_bound(lo, list.end(), to,
                               [](const Programme& p, Seconds t) { return p.start < t; });
    return {lo, hi};
}

std::size_t StoredListings::programmeCount() const {
    std::size_t n = 0;
    for (const auto& list : lists_)
        if (list) n += list->size();
    return n;
}

}  // namespace epg
