#include "server/options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <ctime>
#include <functional>

#include "server/sources/source_option.h"
#include "server/util/durations.h"

namespace epg {
namespace {

bool toInt(std::string_view s, long long& out) {
    if (s.empty()) return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

// An option taking a value each time it is given (the last one counts unless
// `repeatable`). Every value goes through `take`, which refuses a bad one by
// throwing CLI::ValidationError with the text to show.
CLI::Option* addOption(CLI::App& app, const std::string& name, const std::string& valueName,
                       const std::string& help, std::function<void(const std::string&)> take,
                       bool repeatable = false) {
    auto each = [name, take = std::move(take)](const CLI::results_t& values) {
        for (const std::string& v : values) {
            if (v.empty()) throw CLI::ValidationError(name + " needs a value");
            take(v);
        }
        return true;
    };
    return app.add_option(name, std::move(each), help)
        ->type_name(valueName)
        ->multi_option_policy(repeatable ? CLI::MultiOptionPolicy::TakeAll
                                         : CLI::MultiOptionPolicy::TakeLast);
}

// What is settled only after the parse: every --map, so that a second one
// can be refused, and --now, which is read on the clock of --tz.
struct Pending {
    std::vector<std::string> maps;
    std::string zone = "Asia/Shanghai";
    std::optional<std::string> now;
};

// The command line as CLI11 reads it, filling `o` and `later`.
void describe(CLI::App& app, Options& o, Pending& later) {
    app.description(
        "Serves the weekly day pages of the TV guide (W1.htm = Monday .. W7.htm = Sunday of\n"
        "the current week, in the --tz zone) and the banner page /soft/down/a1.html.");
    app.footer(
        "SIGHUP reads every XMLTV source, playlist and the map again; whatever fails\n"
        "keeps what it gave before.");
    app.option_defaults()->group("options");
    app.set_help_flag("-h,--help", "show this text");
    app.get_formatter()->column_width(28);
    app.get_formatter()->label("Usage", "usage");
    app.get_formatter()->label("OPTIONS", "options");

    addOption(app, "--listen", "HOST:PORT", "address to serve on (default 127.0.0.1:8610)",
              [&o](const std::string& v) {
                  if (!parseListen(v, o.host, o.port))
                      throw CLI::ValidationError("--listen wants HOST:PORT, not \"" + v + "\"");
              });
    addOption(
        app, "--xmltv", "SOURCE",
        "read listings from an XMLTV file or http(s) URL, plain\n"
        "or gzip (repeatable, first wins); without it the\n"
        "server makes up sample listings. SOURCE#tz=ZONE reads\n"
        "its times as ZONE's wall clock, whatever their offset",
        [&o](const std::string& value) {
            if (std::string error = sourceOptionError(value, "--xmltv"); !error.empty())
                throw CLI::ValidationError(error);
            o.xmltvSources.push_back(value);
        },
        true);
    addOption(
        app, "--map", "FILE",
        "catalogue path TAB XMLTV channel id, one per line;\n"
        "rows it does not name are matched by channel name",
        [&later](const std::string& v) { later.maps.push_back(v); }, true);
    addOption(
        app, "--playlist", "FILE|URL",
        "the household's M3U playlist, a file or http(s) URL\n"
        "(repeatable): served at /playlist.m3u with the ids\n"
        "of /epg.xml, read again when it changes",
        [&o](const std::string& value) {
            if (std::string error = sourceOptionError(value, "--playlist"); !error.empty())
                throw CLI::ValidationError(error);
            if (parseSourceOption(value).zone)
                throw CLI::ValidationError("--playlist: a playlist has no times to read on a #tz=");
            o.playlists.push_back(value);
        },
        true);
    addOption(app, "--refresh", "DURATION",
              "read the sources again this often, e.g. 90s, 30m, 6h\n"
              "(default 6h; 0: only on SIGHUP)",
              [&o](const std::string& v) {
                  auto d = parseDuration(v);
                  if (!d)
                      throw CLI::ValidationError(
                          "--refresh wants a duration such as 90s, 30m or 6h (0: never), not \"" +
                          v + "\"");
                  o.refresh = *d;
              });
    addOption(
        app, "--fetch-timeout", "DURATION",
        "give a URL fetch up after this long, however\n"
        "steadily it comes (default 10m)",
        [&o](const std::string& v) {
            auto d = parseDuration(v);
            if (!d || d->count() == 0)
                throw CLI::ValidationError(
                    "--fetch-timeout wants a duration such as 90s, 10m or 1h, not \"" + v + "\"");
            o.fetchTimeout = *d;
        });
    addOption(app, "--state-dir", "DIR",
              "keep the last good copy of every URL source here\n"
              "(default $XDG_STATE_HOME/tvguide-epgd or\n"
              "~/.local/state/tvguide-epgd)",
              [&o](const std::string& v) { o.stateDir = v; });
    addOption(app, "--tz", "ZONE",
              "time zone of pages, weeks and --now (an IANA name;\n"
              "default Asia/Shanghai)",
              [&later](const std::string& v) { later.zone = v; });
    app.add_flag_function(
        "--print-map", [&o](std::int64_t) { o.printMap = true; },
        "print the channel map the XMLTV sources give (how\n"
        "each catalogue row matched), then exit");
    app.add_flag_function(
        "--print-playlist-map", [&o](std::int64_t) { o.printPlaylistMap = true; },
        "print the channel each --playlist entry gets (and\n"
        "by which attribute, or why none), then exit");
    addOption(
        app, "--now", "YYYY-MM-DDTHH:MM:SS", "fix the server's clock (in the --tz zone)",
        [&later](const std::string& v) {
            if (!parseLocalDateTime(v, Zone::local()))
                throw CLI::ValidationError("--now wants YYYY-MM-DDTHH:MM:SS, not \"" + v + "\"");
            later.now = v;
        });
    addOption(app, "--export", "DIR", "write every page and the banner below DIR, then exit",
              [&o](const std::string& v) { o.exportDir = v; });
    addOption(app, "--write-sample-xmltv", "FILE",
              "write this week's sample listings as XMLTV, then exit",
              [&o](const std::string& v) { o.sampleXmltvFile = v; });
    addOption(app, "--threads", "N", "worker threads (default 2)", [&o](const std::string& v) {
        long long n;
        if (!toInt(v, n) || n < 1 || n > 64)
            throw CLI::ValidationError("--threads wants a number from 1 to 64");
        o.threads = static_cast<int>(n);
    });
    addOption(app, "--keep-days", "N",
              "days before today that /epg.xml holds, for\n"
              "catch-up players (default 7)",
              [&o](const std::string& v) {
                  long long n;
                  if (!toInt(v, n) || n < 0 || n > 90)
                      throw CLI::ValidationError("--keep-days wants a number from 0 to 90");
                  o.keepDays = static_cast<int>(n);
              });
}

}  // namespace

std::string usageText() {
    CLI::App app("", "tvguide-epgd");
    Options unused;
    Pending later;
    describe(app, unused, later);
    return app.help();
}

OptionsResult parseOptions(const std::vector<std::string>& args) {
    Options o;
    Pending later;
    CLI::App app("", "tvguide-epgd");
    describe(app, o, later);
    try {
        // CLI11 takes the arguments last first.
        app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
    } catch (const CLI::CallForHelp&) {
        o.help = true;
        return {std::move(o), {}};
    } catch (const CLI::ParseError& e) {
        return {std::nullopt, e.what()};
    }
    if (later.maps.size() > 1) return {std::nullopt, "--map given twice"};
    if (!later.maps.empty()) o.mapFile = later.maps.front();
    if (o.mapFile && o.xmltvSources.empty())
        return {std::nullopt, "--map needs at least one --xmltv"};
    auto zone = Zone::named(later.zone);
    if (!zone)
        return {std::nullopt, "--tz: unknown time zone \"" + later.zone +
                                  "\" (an IANA name, such as Asia/Shanghai, of the tz database)"};
    o.zone = *zone;
    if (later.now) o.now = parseLocalDateTime(*later.now, o.zone);
    if (o.printMap && o.xmltvSources.empty())
        return {std::nullopt, "--print-map needs at least one --xmltv"};
    if (o.printPlaylistMap && o.playlists.empty())
        return {std::nullopt, "--print-playlist-map needs at least one --playlist"};
    return {std::move(o), {}};
}

std::optional<Seconds> parseLocalDateTime(std::string_view t, const Zone& zone) {
    // YYYY-MM-DDTHH:MM:SS
    if (t.size() != 19 || t[4] != '-' || t[7] != '-' || (t[10] != 'T' && t[10] != ' ') ||
        t[13] != ':' || t[16] != ':')
        return std::nullopt;
    long long y, mo, d, h, mi, s;
    if (!toInt(t.substr(0, 4), y) || !toInt(t.substr(5, 2), mo) || !toInt(t.substr(8, 2), d) ||
        !toInt(t.substr(11, 2), h) || !toInt(t.substr(14, 2), mi) || !toInt(t.substr(17, 2), s))
        return std::nullopt;
    if (!validDate(static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d)) || h > 23 ||
        mi > 59 || s > 59)
        return std::nullopt;
    return fromLocal({static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d)},
                     static_cast<int>(h * 60 + mi), zone) +
           s;
}

bool parseListen(std::string_view text, std::string& host, std::uint16_t& port) {
    auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    std::string_view h = text.substr(0, colon);
    if (h.front() == '[') {
        if (h.size() < 3 || h.back() != ']') return false;
        h = h.substr(1, h.size() - 2);
    }
    long long p;
    if (!toInt(text.substr(colon + 1), p) || p < 0 || p > 65535) return false;
    host = std::string(h);
    port = static_cast<std::uint16_t>(p);
    return true;
}

}  // namespace epg
