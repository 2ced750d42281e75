#include "server/channels/channel_index.h"

#include <algorithm>
#include <map>

#include "server/channels/channel_names.h"

namespace epg {
namespace {

// The local day of instants, worked out once per day of the zone: lists are
// walked in start order, and the channels of a feed cover the same few days.
class DayCutter {
  public:
    explicit DayCutter(const Zone& zone) : zone_(zone) {}

    std::int64_t dayOf(Seconds t) {
        if (t >= from_ && t < to_) return day_;
        auto next = known_.upper_bound(t);
        if (next != known_.begin() && t < std::prev(next)->second.end) {
            from_ = std::prev(next)->first;
            to_ = std::prev(next)->second.end;
            day_ = std::prev(next)->second.day;
            return day_;
        }
        Date date = toLocal(t, zone_).date;
        from_ = localMidnight(date, zone_);
        to_ = localMidnight(addDays(date, 1), zone_);
        day_ = daysFromCivil(date);
        if (t < from_ || t >= to_) {  // cannot happen in a sane zone; never trust one
            from_ = t;
            to_ = t + 1;
            return day_;
        }
        // A feed spread over thousands of days costs a lookup each, not memory.
        if (known_.size() >= kKnownDays) known_.clear();
        known_[from_] = {to_, day_};
        return day_;
    }

  private:
    static constexpr std::size_t kKnownDays = 4096;
    struct Day {
        Seconds end;
        std::int64_t day;
    };
    Zone zone_;
    Seconds from_ = 0, to_ = 0;
    std::int64_t day_ = 0;
    std::map<Seconds, Day> known_;  // by the instant the day starts
};

bool allDigits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

ChannelIndex::ChannelIndex(SourceDocuments sources, const Zone& zone)
    : sources_(std::move(sources)) {
    const ChannelNames& names = ChannelNames::builtIn();
    DayCutter cutter(zone);
    auto add = [](Keys& keys, std::string key, Candidate c) {
        auto& found = keys.try_emplace(std::move(key)).first->second;
        if (found.empty() || found.back().entry != c.entry) found.push_back(c);
    };
    std::vector<std::string> shown;  // keys of one channel's display names
    for (std::uint32_t s = 0; s < sources_.size(); ++s) {
        if (!sources_[s]) continue;
        const XmltvDocument& doc = *sources_[s];
        for (const XmltvChannel& ch : doc.channels) {
            const auto e = static_cast<std::uint32_t>(entries_.size());
            Entry entry{s, &ch, nullptr, {}, {}};
            if (auto it = doc.programmes.find(ch.id); it != doc.programmes.end()) {
                entry.programmes = &it->second;
                const std::vector<Programme>& list = it->second.programmes;
                for (std::uint32_t i = 0; i < list.size(); ++i) {
                    std::int64_t day = cutter.dayOf(list[i].start);
                    if (entry.days.empty() || entry.days.back().day != day)
                        entry.days.push_back({day, i, i + 1});
                    else
                        entry.days.back().end = i + 1;
                }
            }
            entries_.push_back(std::move(entry));
            exactIds_[ch.id].push_back(e);

            shown.clear();
            for (const std::string& n : ch.names) {
                std::string key = names.key(n);
                if (key.empty()) continue;
                shown.push_back(key);
                add(names_, std::move(key), {e, &n});
            }
            if (!shown.empty()) entries_[e].key = shown.front();
            std::string idKey = names.key(ch.id);
            if (idKey.empty() || std::find(shown.begin(), shown.end(), idKey) != shown.end())
                continue;
            // A number is a feed's own code for a channel, never its name.
            if (shown.empty() && !allDigits(ch.id)) {
                entries_[e].key = idKey;
                add(names_, std::move(idKey), {e, &ch.id});
                continue;
            }
            // Feeds that give CGTN the id "CCTV9": the display name says
            // which channel it is.
            bool contradicted = names.definite(idKey) &&
                                std::any_of(shown.begin(), shown.end(), [&](const std::string& k) {
                                    return names.definite(k);
                                });
            if (!contradicted) add(ids_, std::move(idKey), {e, &ch.id});
        }
    }
}

std::vector<ChannelIndex::Candidate> ChannelIndex::byKey(std::string_view key) const {
    if (auto it = names_.find(key); it != names_.end()) return it->second;
    auto it = ids_.find(key);
    if (it == ids_.end()) return {};
    std::vector<Candidate> out;
    const std::uint32_t first = entries_[it->second.front().entry].source;
    for (const Candidate& c : it->second)
        if (entries_[c.entry].source == first) out.push_back(c);
    return out;
}

std::vector<ChannelIndex::Candidate> ChannelIndex::byId(std::string_view id) const {
    std::vector<Candidate> out;
    if (auto it = exactIds_.find(id); it != exactIds_.end())
        for (std::uint32_t e : it->second) out.push_back({e, &entries_[e].channel->id});
    return out;
}

ChannelIndex::Choice ChannelIndex::choose(const std::vector<Candidate>& candidates) const {
    struct Best {
        std::size_t candidate;
        const DayRun* run;
    };
    std::map<std::int64_t, Best> best;  // by day
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        for (const DayRun& run : entries_[candidates[i].entry].days) {
            auto [it, added] = best.try_emplace(run.day, Best{i, &run});
            if (!added && run.end - run.begin > it->second.run->end - it->second.run->begin)
                it->second = {i, &run};
        }
    }
    Choice out;
    out.days.assign(candidates.size(), 0);
    for (const auto& [day, b] : best) {
        const Entry& e = entries_[candidates[b.candidate].entry];
        std::span<const Programme> list = e.programmes->programmes;
        out.schedule.append(list.subspan(b.run->begin, b.run->end - b.run->begin),
                            sources_[e.source]);
        ++out.days[b.candidate];
    }
    return out;
}

Schedule ChannelIndex::find(std::string_view name) const {
    return choose(byKey(ChannelNames::builtIn().key(name))).schedule;
}

const XmltvChannel& ChannelIndex::channel(const Candidate& c) const {
    return *entries_[c.entry].channel;
}

const XmltvDocument& ChannelIndex::source(const Candidate& c) const {
    return *sources_[entries_[c.entry].source];
}

const FeedProgrammes* ChannelIndex::programmes(const Candidate& c) const {
    return entries_[c.entry].programmes;
}

}  // namespace epg
