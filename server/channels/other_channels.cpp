#include "server/channels/other_channels.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "encoding/fnv1a.h"
#include "server/channels/channel_names.h"

namespace epg {

std::string otherChannelId(std::string_view key) {
    const bool plain = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
    if (plain) {
        std::string id(key);
        for (char& c : id)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return id + ".epg";
    }
    char hash[24];
    std::snprintf(hash, sizeof hash, "x%016llx.epg",
                  static_cast<unsigned long long>(encoding::fnv1a(key)));
    return hash;
}

std::string shortFormOf(std::string_view key) {
    std::string form(key);
    for (char& c : form)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (form.empty() || ChannelNames::builtIn().key(form) != key) return {};
    return form;
}

std::vector<OtherChannel> otherChannels(const ChannelIndex& index, const std::vector<bool>& taken) {
    std::vector<OtherChannel> out;
    std::unordered_map<std::string_view, bool> seen;  // by key
    for (std::uint32_t e = 0; e < index.size(); ++e) {
        const std::string& key = index.keyOf(e);
        if (key.empty() || (e < taken.size() && taken[e])) continue;
        if (!seen.try_emplace(key, true).second) continue;
        const std::vector<ChannelIndex::Candidate> candidates = index.byKey(key);
        // A channel of this key that a row takes makes the key the row's.
        if (std::any_of(candidates.begin(), candidates.end(),
                        [&](const auto& c) { return c.entry < taken.size() && taken[c.entry]; }))
            continue;
        ChannelIndex::Choice choice = index.choose(candidates);
        if (choice.schedule.empty()) continue;
        OtherChannel channel;
        channel.id = otherChannelId(key);
        auto name = [&channel](const std::string& n) {
            if (!n.empty() &&
                std::find(channel.names.begin(), channel.names.end(), n) == channel.names.end())
                channel.names.push_back(n);
        };
        // Those serving most days first, as a row's names are.
        std::vector<std::size_t> order(candidates.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return choice.days[a] > choice.days[b];
        });
        for (std::size_t i : order) {
            const XmltvChannel& feed = index.channel(candidates[i]);
            for (const std::string& n : feed.names) name(n);
            if (feed.names.empty()) name(feed.id);
            if (channel.icon.empty()) channel.icon = feed.icon;
        }
        name(shortFormOf(key));
        channel.schedule = std::make_shared<const Schedule>(std::move(choice.schedule));
        out.push_back(std::move(channel));
    }
    return out;
}

}  // namespace epg
