#include "server/site/player_query.h"

#include <algorithm>
#include <array>

#include "base/text.h"

namespace epg {
namespace player_query {

int digitsValue(std::string_view s) {
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

}  // namespace player_query

std::optional<PlayerApi> playerApiOf(std::string_view path) {
    if (path.empty()) return PlayerApi::Diyp;
    if (path.back() == '/') path.remove_suffix(1);
    if (path == "diyp") return PlayerApi::Diyp;
    if (path == "epginfo") return PlayerApi::Epginfo;
    return std::nullopt;
}

std::optional<Date> parsePlayerDate(std::string_view text) {
    using player_query::digitsValue;
    std::string_view y, m, d;
    if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
        y = text.substr(0, 4), m = text.substr(5, 2), d = text.substr(8, 2);
    } else if (text.size() == 8) {
        y = text.substr(0, 4), m = text.substr(4, 2), d = text.substr(6, 2);
    } else {
        return std::nullopt;
    }
    int year = digitsValue(y), month = digitsValue(m), day = digitsValue(d);
    if (year < 0 || month < 0 || day < 0 || !validDate(year, month, day)) return std::nullopt;
    return Date{year, month, day};
}

RawPlayerQuery rawPlayerQuery(PlayerApi /*api*/, std::string_view target) {
    // The raw values of the parameters looked at, the first of each.
    enum { kCh, kChannel, kId, kDate, kCount };
    static constexpr std::array<std::string_view, kCount> kNames = {"ch", "channel", "id", "date"};
    std::array<std::optional<std::string_view>, kCount> raw;
    if (auto q = target.find('?'); q != std::string_view::npos) {
        std::string_view query = target.substr(q + 1);
        while (!query.empty()) {
            std::string_view param = query.substr(0, query.find('&'));
            query.remove_prefix(std::min(query.size(), param.size() + 1));
            auto eq = param.find('=');
            std::string_view name = param.substr(0, eq);
            std::string_view value = eq == std::string_view::npos ? "" : param.substr(eq + 1);
            for (std::size_t i = 0; i < kCount; ++i)
                if (name == kNames[i] && !raw[i]) raw[i] = value;
        }
    }
    RawPlayerQuery out;
    // Apps name the channel "ch", "channel" (超级直播 apps, as a popular EPG
    // server documents it) or "id"; "ch" first.
    out.channel = raw[kCh].value_or(raw[kChannel].value_or(raw[kId].value_or("")));
    out.date = raw[kDate].value_or("");
    return out;
}

PlayerQuery parsePlayerQuery(PlayerApi api, std::string_view target) {
    const RawPlayerQuery raw = rawPlayerQuery(api, target);
    PlayerQuery out;
    const char* usage = api == PlayerApi::Diyp ? "/?ch=NAME&date=YYYY-MM-DD" : "/epginfo?ch=NAME";
    if (raw.channel.empty()) {
        out.error = std::string("no channel named: ask ") + usage;
        return out;
    }
    auto name = base::percentDecoded(raw.channel);
    if (!name) {
        out.error = "bad %-escape in the channel name";
        return out;
    }
    if (name->size() > kPlayerNameCap) {
        out.error = "channel name longer than " + std::to_string(kPlayerNameCap) + " bytes";
        return out;
    }
    out.channel = std::move(*name);
    // TVBox-style apps encode names as forms do, a blank as "+": the other
    // reading, for when the plus finds no channel.
    if (raw.channel.find('+') != std::string_view::npos) {
        std::string blanks(raw.channel);
        std::replace(blanks.begin(), blanks.end(), '+', ' ');
        if (auto decoded = base::percentDecoded(blanks)) out.withBlanks = std::move(*decoded);
    }
    if (!raw.date.empty()) {
        auto text = base::percentDecoded(raw.date);
        out.date = text ? parsePlayerDate(*text) : std::nullopt;
        if (!out.date) {
            // Echo at most a little of what came: the text is the client's.
            std::string shown = text ? text->substr(0, 40) : std::string(raw.date.substr(0, 40));
            out.error = "bad date \"" + shown + "\": YYYY-MM-DD or YYYYMMDD";
        }
    }
    return out;
}

}  // namespace epg
