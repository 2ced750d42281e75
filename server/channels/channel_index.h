// Every channel of every source, known by the keys of all its names
// (ChannelNames::key), whether a catalogue row takes it or not: what a
// player that names any channel a feed carries is answered from. Channels
// whose names have one key are candidates for one channel; each day of that
// channel comes whole from one of them. Nothing changes once it is built, so
// any thread may look up at any time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server/model/listings.h"
#include "server/util/civil_time.h"
#include "server/util/text_hash.h"
#include "server/xmltv/xmltv_read.h"

namespace epg {

class ChannelIndex {
  public:
    // `sources` in priority order (null ones are left out); days are those of
    // `zone`, the pages' zone.
    ChannelIndex(SourceDocuments sources, const Zone& zone);

    // One channel of one source, and the name by which it was found.
    struct Candidate {
        std::uint32_t entry;     // the index's own number for the channel
        const std::string* how;  // the display name or id that has the key
        friend bool operator==(const Candidate&, const Candidate&) = default;
    };
    // The channels of a key, in the sources' order then the documents':
    // those with a display-name of that key (a channel without any goes by
    // its id); failing those, the channels of the first source whose ids
    // have that key (an id is a source's own: "101" is another channel in
    // another feed).
    std::vector<Candidate> byKey(std::string_view key) const;
    // The channels with exactly this id, in the sources' order.
    std::vector<Candidate> byId(std::string_view id) const;

    struct Choice {
        Schedule schedule;
        std::vector<std::size_t> days;  // for each candidate, the days it serves
    };
    // Day by day, the whole day's programmes from the candidate with most
    // programmes that day, the earlier one on a tie; a candidate without
    // programmes that day never serves it.
    Choice choose(const std::vector<Candidate>& candidates) const;

    // A channel as a player names it: its programmes, day by day as above.
    Schedule find(std::string_view name) const;

    // Every channel of every source, numbered by the index: 0 .. size() - 1.
    std::size_t size() const { return entries_.size(); }
    // The key a channel is found by (its first display name's, else its
    // id's), or empty when it has none: its channel as players know it.
    const std::string& keyOf(std::uint32_t entry) const { return entries_[entry].key; }

    const XmltvChannel& channel(const Candidate& c) const;
    const XmltvDocument& source(const Candidate& c) const;
    // The candidate's programmes (none when the source has none for it).
    const FeedProgrammes* programmes(const Candidate& c) const;

  private:
    struct DayRun {
        std::int64_t day;  // days since 1970-01-01 of the local date
        std::uint32_t begin, end;
    };
    struct Entry {
        std::uint32_t source;
        const XmltvChannel* channel;
        const FeedProgrammes* programmes;
        std::vector<DayRun> days;
        std::string key;
    };
    using Keys = std::unordered_map<std::string, std::vector<Candidate>, TextHash, std::equal_to<>>;

    SourceDocuments sources_;
    std::vector<Entry> entries_;
    Keys names_;  // display names, and ids of channels without any
    Keys ids_;    // the other channels' ids, by key
    std::unordered_map<std::string_view, std::vector<std::uint32_t>> exactIds_;
};

}  // namespace epg
