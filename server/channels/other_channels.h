// The channels of the sources that no catalogue row takes, for players:
// CCTV-17, a province's second channel, English channels. Each real channel
// once (the channels of one key, in every source, merged day by day as a
// row's are), under a stable id of its own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "server/channels/channel_index.h"
#include "server/model/listings.h"

namespace epg {

// `taken`: by the index's number, the channels catalogue rows take. In the
// order the sources first name them; channels without a programme are left
// out.
std::vector<OtherChannel> otherChannels(const ChannelIndex& index, const std::vector<bool>& taken);

// The id of the channel of a key in XMLTV out, in the dotted form XMLTV's
// validator asks for and the same on every run: "CCTV17.epg" for a key of
// Latin letters and digits, else "x" and the key's hash ("x3f2a….epg").
std::string otherChannelId(std::string_view key);

// The key as a name, Latin letters in capitals ("CCTV17", "湖南卫视国际"),
// when that reads as the same channel; else empty.
std::string shortFormOf(std::string_view key);

}  // namespace epg
