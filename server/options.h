// The command line of tvguide-epgd.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/util/civil_time.h"

namespace epg {

struct Options {
    std::string host = "127.0.0.1";
    std::uint16_t port = 8610;
    std::vector<std::string> xmltvSources;  // file paths and http(s) URLs
    std::optional<std::string> mapFile;
    std::vector<std::string> playlists;      // the household's: files and http(s) URLs
    std::chrono::seconds refresh{6 * 3600};  // 0: never
    std::chrono::seconds fetchTimeout{600};  // the whole of one URL fetch
    std::optional<std::string> stateDir;
    Zone zone;                   // --tz, default Asia/Shanghai
    std::optional<Seconds> now;  // a fixed clock
    std::optional<std::string> exportDir;
    std::optional<std::string> sampleXmltvFile;
    int threads = 2;
    int keepDays = 7;               // days before today in /epg.xml
    bool printMap = false;          // print the channel map the sources give, then exit
    bool printPlaylistMap = false;  // print each playlist entry's channel, then exit
    bool help = false;
};

struct OptionsResult {
    std::optional<Options> options;
    std::string error;  // what is wrong, when options is empty
};

// args without the program name.
OptionsResult parseOptions(const std::vector<std::string>& args);
std::string usageText();

// "YYYY-MM-DDTHH:MM:SS" on the zone's clock.
std::optional<Seconds> parseLocalDateTime(std::string_view text, const Zone& zone);
// "HOST:PORT", "[v6]:PORT".
bool parseListen(std::string_view text, std::string& host, std::uint16_t& port);

}  // namespace epg
