#include "app/probe/probe_options.h"

#include <charconv>
#include <cstdio>

#include "runtime/values/date_time.h"

namespace app::probe {
namespace {

std::optional<int> parseNumber(std::string_view text) {
    int value = 0;
    if (text.empty()) return std::nullopt;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// YYYY-MM-DDTHH:MM:SS, every field of its exact width.
std::optional<rt::DateTime> parseNow(std::string_view text) {
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':')
        return std::nullopt;
    auto field = [&](size_t at, size_t len) { return parseNumber(text.substr(at, len)); };
    const auto y = field(0, 4), mo = field(5, 2), d = field(8, 2), h = field(11, 2),
               mi = field(14, 2), s = field(17, 2);
    if (!y || !mo || !d || !h || !mi || !s) return std::nullopt;
    return rt::fromCivil(rt::CivilTime{*y, *mo, *d, *h, *mi, *s});
}

std::optional<ProbeAction> parseAction(std::string_view text) {
    ProbeAction action;
    if (!text.empty() && text[0] == '+') {
        action.nested = true;
        text.remove_prefix(1);
    }
    if (text == "close") {
        action.kind = ProbeAction::Kind::Close;
        return action;
    }
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view name = text.substr(0, colon);
    const auto n = parseNumber(text.substr(colon + 1));
    if (!n) return std::nullopt;
    action.argument = *n;
    if (name == "open-group" && *n >= 0 && *n <= 9)
        action.kind = ProbeAction::Kind::OpenGroup;
    else if (name == "select-row" && *n >= 0)
        action.kind = ProbeAction::Kind::SelectRow;
    else if (name == "click-label" && *n >= 1 && *n <= 7)
        action.kind = ProbeAction::Kind::ClickLabel;
    else
        return std::nullopt;
    return action;
}

}  // namespace

const char* probeUsage() {
    return "usage: tvguide-probe [--epg-root URL] [--now YYYY-MM-DDTHH:MM:SS] ACTION...\n"
           "actions, run in order, each to completion:\n"
           "  open-group:G    click header G (0..9) of the roll-up menu\n"
           "  select-row:R    click row R (0..) of the open group's channel list\n"
           "  click-label:K   press the left button on day label K (1..7)\n"
           "  close           close the main window\n"
           "  +ACTION         deliver ACTION while the previous action's load is in its pause\n"
           "prints the window's state as one JSON object on stdout\n";
}

std::variant<ProbeOptions, UsageError> parseProbeArguments(const std::vector<std::string>& args) {
    ProbeOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--epg-root" || arg == "--now") {
            if (i + 1 >= args.size()) return UsageError{arg + " needs a value"};
            const std::string& value = args[++i];
            if (arg == "--epg-root") {
                if (value.empty()) return UsageError{"--epg-root needs a URL"};
                options.epgRoot = value.back() == '/' ? value : value + "/";
            } else {
                options.now = parseNow(value);
                if (!options.now) return UsageError{"bad --now: " + value};
            }
        } else if (arg.rfind("--", 0) == 0) {
            return UsageError{"unknown option: " + arg};
        } else if (auto action = parseAction(arg)) {
            options.actions.push_back(*action);
        } else {
            return UsageError{"bad action: " + arg};
        }
    }
    return options;
}

}  // namespace app::probe
