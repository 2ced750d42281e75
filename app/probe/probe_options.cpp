#include "app/probe/probe_options.h"

#include <CLI/CLI.hpp>
#include <charconv>

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
    } else if (!text.empty() && text[0] == '@') {
        action.duringDownload = true;
        text.remove_prefix(1);
    }
    using K = ProbeAction::Kind;
    for (const auto& [word, kind] :
         {std::pair{"close", K::Close}, std::pair{"open-favourites", K::OpenFavourites},
          std::pair{"favourite", K::Favourite}, std::pair{"open-grid", K::OpenGrid}})
        if (text == word) {
            action.kind = kind;
            return action;
        }
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view name = text.substr(0, colon);
    if (name == "search") {
        action.kind = K::Search;
        action.text = std::string(text.substr(colon + 1));
        return action;
    }
    if (name == "grid-details") {
        const std::string_view both = text.substr(colon + 1);
        const size_t second = both.find(':');
        if (second == std::string_view::npos) return std::nullopt;
        const auto c = parseNumber(both.substr(0, second));
        const auto p = parseNumber(both.substr(second + 1));
        if (!c || !p || *c < 0 || *p < 0) return std::nullopt;
        action.kind = K::GridDetails;
        action.argument = *c;
        action.programme = *p;
        return action;
    }
    const auto n = parseNumber(text.substr(colon + 1));
    if (!n) return std::nullopt;
    action.argument = *n;
    if (name == "open-group" && *n >= 0 && *n <= 9)
        action.kind = ProbeAction::Kind::OpenGroup;
    else if (name == "select-row" && *n >= 0)
        action.kind = ProbeAction::Kind::SelectRow;
    else if (name == "click-label" && *n >= 1 && *n <= 7)
        action.kind = ProbeAction::Kind::ClickLabel;
    else if (name == "open-result" && *n >= 0)
        action.kind = K::OpenResult;
    else if (name == "remind" && *n >= 0)
        action.kind = K::Remind;
    else if (name == "advance" && *n >= 1)
        action.kind = K::Advance;
    else if (name == "details" && *n >= 0)
        action.kind = K::Details;
    else
        return std::nullopt;
    return action;
}

// The command line as CLI11 reads it, filling `options`. A bad value is
// refused by throwing CLI::ValidationError with the text to show.
void describe(CLI::App& app, ProbeOptions& options) {
    beginUsage(app,
               "The guide on the headless backend: runs the actions and prints the window's\n"
               "state as one JSON object on stdout.");
    app.get_formatter()->label("Positionals", "actions");
    // The probe reads no settings file: a run depends on its command line
    // and environment only.
    addRootAndZone(app, options, false);
    app.add_option_function<std::string>(
           "--now",
           [&options](const std::string& text) {
               options.now = parseNow(text);
               if (!options.now) throw CLI::ValidationError("bad --now: " + text);
           },
           "start the guide's clock at this local time")
        ->type_name("YYYY-MM-DDTHH:MM:SS")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    addCacheDir(app, options, "none");
    app.add_option_function<double>(
           "--fetch-deadline",
           [&options](double seconds) {
               if (!(seconds > 0 && seconds <= 86400))
                   throw CLI::ValidationError("--fetch-deadline must be 0 < SECONDS <= 86400");
               options.fetchDeadline =
                   std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
           },
           "end each page fetch after SECONDS (default 120)")
        ->type_name("SECONDS")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    addText(app, "--settings", "FILE", "a file", options.settingsFile,
            "read favourites and reminders from FILE and keep\nthem there (default: none)");
    app.add_flag_callback(
        "--now-next", [&options] { options.nowNext = true; },
        "fetch the pages of each group shown, for\nchannel_list.now_next (default: not)");
    app.add_option_function<std::vector<std::string>>(
           "ACTION",
           [&options](const std::vector<std::string>& texts) {
               for (const std::string& text : texts) {
                   const auto action = parseAction(text);
                   if (!action) throw CLI::ValidationError("bad action: " + text);
                   options.actions.push_back(*action);
               }
           },
           "run in order, each to completion:\n"
           "open-group:G   click header G (0..9) of the menu\n"
           "select-row:R   click row R (0..) of the open list\n"
           "click-label:K  press day label K (1..7)\n"
           "close          close the main window\n"
           "open-favourites click the header of 我的收藏\n"
           "favourite      add the open list's current channel\n"
           "               to 我的收藏, or take it out\n"
           "search:TEXT    search this week's titles for TEXT\n"
           "open-result:N  open search result N (0..)\n"
           "remind:R       set a reminder for row R of the\n"
           "               program list\n"
           "advance:M      move the clock on by M minutes\n"
           "open-grid      the grid of the open group for the\n"
           "               slider's day\n"
           "details:R      the details of row R of the program\n"
           "               list\n"
           "grid-details:C:P the details of programme P of\n"
           "               grid row C\n"
           "+ACTION        deliver ACTION while the previous\n"
           "               action's load is in its pause\n"
           "@ACTION        deliver ACTION while the previous\n"
           "               action's next download runs")
        ->type_name("");
}

}  // namespace

std::string probeUsage() {
    ProbeOptions unused;
    CLI::App app("", "tvguide-probe");
    describe(app, unused);
    return app.help();
}

std::variant<ProbeOptions, UsageError> parseProbeArguments(const std::vector<std::string>& args) {
    ProbeOptions options;
    CLI::App app("", "tvguide-probe");
    describe(app, options);
    if (auto error = parseArguments(app, args, options.help)) return UsageError{*error};
    return options;
}

}  // namespace app::probe
