// The server's view of the guide's catalogue: every channel by number, with
// its catalogue path and name. Numbers follow the catalogue, group by group.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace epg {

std::size_t channelCount();                           // 215
std::string_view channelPath(std::size_t channel);    // "programys/TV_1/Channel_1/"
const std::string& channelName(std::size_t channel);  // GBK, as the guide lists it
std::string channelNameUtf8(std::size_t channel);
int channelGroup(std::size_t channel);  // 0 .. 9
std::optional<std::size_t> channelByPath(std::string_view path);
// The channel's id in XMLTV out: its catalogue path in the dotted form that
// XMLTV's own validator asks for ("programys.TV-1.Channel-1"), as stable.
const std::string& channelXmltvId(std::size_t channel);
std::optional<std::size_t> channelByXmltvId(std::string_view id);

}  // namespace epg
