#include "server/options.h"

#include <charconv>
#include <ctime>

namespace epg {
namespace {

bool toInt(std::string_view s, long long& out) {
    if (s.empty()) return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

std::string usageText() {
    return "usage: tvguide-epgd [options]\n"
           "Serves the weekly day pages of the TV guide (W1.htm = Monday .. W7.htm = Sunday of\n"
           "the current week, local time) and the banner page /soft/down/a1.html.\n"
           "\n"
           "  --listen HOST:PORT        address to serve on (default 127.0.0.1:8610)\n"
           "  --xmltv FILE              read listings from an XMLTV file (repeatable);\n"
           "                            without it the server makes up sample listings\n"
           "  --map FILE                catalogue path TAB XMLTV channel id, one per line;\n"
           "                            without it a channel id must be the catalogue path\n"
           "  --now YYYY-MM-DDTHH:MM:SS fix the server's clock (local time)\n"
           "  --export DIR              write every page and the banner below DIR, then exit\n"
           "  --write-sample-xmltv FILE write this week's sample listings as XMLTV, then exit\n"
           "  --threads N               worker threads (default 2)\n"
           "  --help                    show this text\n"
           "\n"
           "SIGHUP reads the XMLTV files again; on any error the old listings stay.\n";
}

std::optional<Seconds> parseLocalDateTime(std::string_view t) {
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
                     static_cast<int>(h * 60 + mi)) +
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

OptionsResult parseOptions(const std::vector<std::string>& args) {
    Options o;
    auto fail = [](std::string msg) { return OptionsResult{std::nullopt, std::move(msg)}; };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (name.starts_with("--")) {
            if (auto eq = name.find('='); eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                name.resize(eq);
            }
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < args.size()) return args[++i];
            return std::nullopt;
        };
        if (name == "--help" || name == "-h") {
            o.help = true;
            continue;
        }
        static const char* const kWithValue[] = {"--listen", "--xmltv",  "--map",
                                                 "--now",    "--export", "--write-sample-xmltv",
                                                 "--threads"};
        bool known = false;
        for (const char* k : kWithValue) known = known || name == k;
        if (!known) return fail("unknown option \"" + name + "\"");
        auto v = value();
        if (!v || v->empty()) return fail(name + " needs a value");
        if (name == "--listen") {
            if (!parseListen(*v, o.host, o.port))
                return fail("--listen wants HOST:PORT, not \"" + *v + "\"");
        } else if (name == "--xmltv") {
            o.xmltvFiles.push_back(*v);
        } else if (name == "--map") {
            if (o.mapFile) return fail("--map given twice");
            o.mapFile = *v;
        } else if (name == "--now") {
            o.now = parseLocalDateTime(*v);
            if (!o.now) return fail("--now wants YYYY-MM-DDTHH:MM:SS, not \"" + *v + "\"");
        } else if (name == "--export") {
            o.exportDir = *v;
        } else if (name == "--write-sample-xmltv") {
            o.sampleXmltvFile = *v;
        } else if (name == "--threads") {
            long long n;
            if (!toInt(*v, n) || n < 1 || n > 64)
                return fail("--threads wants a number from 1 to 64");
            o.threads = static_cast<int>(n);
        }
    }
    if (o.mapFile && o.xmltvFiles.empty()) return fail("--map needs at least one --xmltv");
    return {std::move(o), {}};
}

}  // namespace epg
