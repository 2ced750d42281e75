#include "app/schedule/player_day.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "encoding/text_encoding.h"

namespace app::schedule {

namespace {

using Json = nlohmann::json;

// The answer's own shape is four deep; the parser builds any depth it is
// given, so a body nested a million deep is refused before it is parsed.
constexpr int kMaxDepth = 16;

bool shallowEnough(std::string_view body) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth) return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// UTF-8 of the feed to the guide's GBK. What GBK lacks becomes "?", and a
// line break or other control character a blank, so no title breaks a list
// row; the text is cut on a character's edge.
rt::Text gbkOf(std::string_view utf8) {
    static thread_local encoding::GbkEncoder encoder;
    rt::Text out;
    std::size_t bytes = 0;
    for (char32_t c : encoding::decodeUtf8(utf8)) {
        bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (bytes > kMaxPlayerTextBytes) break;
        if (c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0)) c = ' ';
        if (!encoder.append(out, c)) out += '?';
    }
    return out;
}

// A string member, "" when absent; nothing when it is there but no string.
std::optional<rt::Text> textMember(const Json& item, const char* name) {
    const auto it = item.find(name);
    if (it == item.end() || it->is_null()) return rt::Text{};
    if (!it->is_string()) return std::nullopt;
    return gbkOf(it->get_ref<const std::string&>());
}

std::optional<std::int64_t> secondsMember(const Json& item, const char* name) {
    const auto it = item.find(name);
    if (it == item.end() || !it->is_number_integer()) return std::nullopt;
    if (it->is_number_unsigned() && it->get<std::uint64_t>() > std::uint64_t{1} << 40)
        return std::nullopt;
    const std::int64_t v = it->get<std::int64_t>();
    // Far outside any guide's years, and safe from overflow when added to.
    if (v < -(std::int64_t{1} << 40) || v > (std::int64_t{1} << 40)) return std::nullopt;
    return v;
}

// The list of the first channel in the answer that has one.
const Json* programList(const Json& whole) {
    if (!whole.is_object()) return nullptr;
    for (const auto& [name, channel] : whole.items())
        if (channel.is_object())
            if (const auto it = channel.find("program"); it != channel.end())
                return it->is_array() ? &*it : nullptr;
    return nullptr;
}

}  // namespace

rt::Text playerDayUrl(const rt::Text& root, std::string_view path, base::Date date) {
    std::string id;
    for (const char c : path) id += c == '/' ? '.' : c == '_' ? '-' : c;
    while (!id.empty() && id.back() == '.') id.pop_back();
    rt::Text url = root + "epginfo?ch=";
    for (const unsigned char c : id) {
        if (isUnreserved(c)) {
            url += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            url += escaped;
        }
    }
    return url + "&date=" + base::isoText(date);
}

std::optional<ChannelDay> playerDay(std::string_view body, std::string channel, int day,
                                    base::Date date, const base::Zone& zone) {
    if (body.size() > kMaxPlayerDayBytes || !shallowEnough(body)) return std::nullopt;
    const Json whole = Json::parse(body, nullptr, false);
    if (whole.is_discarded()) return std::nullopt;
    const Json* list = programList(whole);
    if (!list || list->size() > kMaxPlayerDayProgrammes) return std::nullopt;

    const std::int64_t from = base::localMidnight(date, zone);
    const std::int64_t to = base::localMidnight(base::addDays(date, 1), zone);
    ChannelDay out{std::move(channel), day, date, {}};
    for (const Json& item : *list) {
        if (!item.is_object()) return std::nullopt;
        const auto start = secondsMember(item, "st");
        auto title = textMember(item, "t");
        auto description = textMember(item, "desc");
        auto category = textMember(item, "category");
        if (!start || !title || !description || !category) return std::nullopt;
        std::optional<std::int64_t> end;
        if (const auto et = item.find("et"); et != item.end() && !et->is_null()) {
            end = secondsMember(item, "et");
            if (!end) return std::nullopt;
            // A programme that lasts no time has no end worth showing.
            if (*end <= *start) end.reset();
        }
        if (*start < from || *start >= to) continue;
        const base::LocalTime at = base::toLocal(*start, zone);
        char time[16];
        std::snprintf(time, sizeof time, " %02d:%02d", at.hour % 100, at.minute % 100);
        out.programmes.push_back({out.channel, day, start, time, std::move(*title), end,
                                  std::move(*description), std::move(*category)});
    }
    std::stable_sort(out.programmes.begin(), out.programmes.end(),
                     [](const Programme& a, const Programme& b) { return *a.start < *b.start; });
    // Two at one start: the first stands, as the day pages would list it.
    out.programmes.erase(
        std::unique(out.programmes.begin(), out.programmes.end(),
                    [](const Programme& a, const Programme& b) { return *a.start == *b.start; }),
        out.programmes.end());
    return out;
}

}  // namespace app::schedule
