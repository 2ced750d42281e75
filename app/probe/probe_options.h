// The command line of tvguide-probe:
//   tvguide-probe [--help] [--epg-root URL] [--page-tz ZONE] [--now YYYY-MM-DDTHH:MM:SS]
//                 [--cache-dir DIR] [--fetch-deadline SECONDS] [--settings FILE]
//                 [--now-next] ACTION...
// ACTION is open-group:G, open-favourites, select-row:R, click-label:K,
// close, favourite, search:TEXT, open-result:N, remind:R, advance:MINUTES,
// open-grid, details:R or grid-details:C:P;
// a leading "+" delivers it while the previous action's load is inside its
// pause, a leading "@" as soon as the previous action's next download has
// begun.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/config/command_line.h"
#include "runtime/values/value.h"

namespace app::probe {

struct ProbeAction {
    enum class Kind {
        OpenGroup,
        SelectRow,
        ClickLabel,
        Close,
        OpenFavourites,
        Favourite,
        Search,
        OpenResult,
        Remind,
        Advance,
        OpenGrid,
        Details,
        GridDetails
    };
    Kind kind = Kind::Close;
    int argument = 0;             // G (0..9), R, N and C (0 and up), K (1..7), MINUTES (1 and up)
    bool nested = false;          // written with a leading "+"
    bool duringDownload = false;  // written with a leading "@"
    std::string text = {};        // search:TEXT's TEXT (UTF-8)
    int programme = 0;            // grid-details:C:P's P (0 and up)
    friend bool operator==(const ProbeAction&, const ProbeAction&) = default;
};

// cacheDir: offline copies; none without it.
struct ProbeOptions : SharedOptions {
    std::optional<rt::DateTime> now;  // local start time of the guide's clock
    std::optional<std::chrono::milliseconds> fetchDeadline;  // replaces the fetch's 120 s
    std::optional<std::string> settingsFile;  // favourites and reminders; none without it
    bool nowNext = false;  // fetch each shown group's pages for channel_list.now_next
    std::vector<ProbeAction> actions;
};

struct UsageError {
    std::string message;
};

std::variant<ProbeOptions, UsageError> parseProbeArguments(const std::vector<std::string>& args);

std::string probeUsage();

}  // namespace app::probe
