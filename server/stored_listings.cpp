#include <algorithm>

#include "server/channels.h"
#include "server/listings.h"

namespace epg {

StoredListings::StoredListings() : channels_(channelCount()) {}

void StoredListings::add(std::size_t channel, Programme p) {
    if (channel < channels_.size()) channels_[channel].push_back(std::move(p));
}

void StoredListings::finish() {
    for (auto& list : channels_) {
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
}

std::vector<Programme> StoredListings::starting(std::size_t channel, Seconds from,
                                                Seconds to) const {
    if (channel >= channels_.size()) return {};
    const auto& list = channels_[channel];
    auto lo = std::lower_bound(list.begin(), list.end(), from,
                               [](const Programme& p, Seconds t) { return p.start < t; });
    auto hi = std::lower_bound(lo, list.end(), to,
                               [](const Programme& p, Seconds t) { return p.start < t; });
    return {lo, hi};
}

std::size_t StoredListings::programmeCount() const {
    std::size_t n = 0;
    for (const auto& list : channels_) n += list.size();
    return n;
}

}  // namespace epg
