#include "server/util/http_rules.h"

#include <array>
#include <cstdio>

namespace epg {
namespace {

constexpr std::array<const char*, 7> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// qvalue = ( "0" [ "." 0*3DIGIT ] ) / ( "1" [ "." 0*3("0") ] ); nothing when
// malformed. Only whether it is above zero matters here.
std::optional<bool> qAboveZero(std::string_view q) {
    if (q.empty() || (q[0] != '0' && q[0] != '1')) return std::nullopt;
    if (q.size() > 1 && (q[1] != '.' || q.size() > 5)) return std::nullopt;
    bool above = q[0] == '1';
    for (std::size_t i = 2; i < q.size(); ++i) {
        if (q[i] < '0' || q[i] > '9' || (q[0] == '1' && q[i] != '0')) return std::nullopt;
        above = above || q[i] != '0';
    }
    return above;
}

}  // namespace

bool acceptsGzip(std::string_view field) {
    std::optional<bool> gzip, any;
    while (!field.empty()) {
        auto comma = field.find(',');
        std::string_view item = field.substr(0, comma);
        field = comma == std::string_view::npos ? std::string_view() : field.substr(comma + 1);
        auto semi = item.find(';');
        std::string_view coding = trimmed(item.substr(0, semi));
        std::optional<bool> wanted = true;
        while (semi != std::string_view::npos) {
            item = item.substr(semi + 1);
            semi = item.find(';');
            std::string_view param = trimmed(item.substr(0, semi));
            auto eq = param.find('=');
            if (eq != std::string_view::npos && sameNoCase(trimmed(param.substr(0, eq)), "q"))
                wanted = qAboveZero(trimmed(param.substr(eq + 1)));
        }
        bool ok = wanted.value_or(false);  // a q-value we cannot read: not wanted
        if (sameNoCase(coding, "gzip") || sameNoCase(coding, "x-gzip"))
            gzip = gzip.value_or(false) || ok;
        else if (coding == "*")
            any = ok;
    }
    return gzip ? *gzip : any.value_or(false);
}

bool noneMatchHits(std::string_view field, std::string_view entityTag) {
    field = trimmed(field);
    if (field == "*") return true;
    while (!field.empty()) {
        while (!field.empty() && (isBlank(field.front()) || field.front() == ','))
            field.remove_prefix(1);
        if (field.starts_with("W/")) field.remove_prefix(2);
        if (field.empty() || field.front() != '"') {
            // Not an entity-tag: skip to the next list member.
            auto comma = field.find(',');
            if (comma == std::string_view::npos) break;
            field.remove_prefix(comma);
            continue;
        }
        auto close = field.find('"', 1);
        if (close == std::string_view::npos) break;
        if (field.substr(0, close + 1) == entityTag) return true;
        field.remove_prefix(close + 1);
    }
    return false;
}

std::string httpDate(Seconds t) {
    std::int64_t days = t / 86400 - (t % 86400 < 0 ? 1 : 0);
    Seconds ofDay = t - days * 86400;
    Date d = civilFromDays(days);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT",
                  kDays[static_cast<std::size_t>(isoWeekday(d) - 1)], d.day,
                  kMonths[static_cast<std::size_t>(d.month - 1)], d.year,
                  static_cast<int>(ofDay / 3600), static_cast<int>(ofDay / 60 % 60),
                  static_cast<int>(ofDay % 60));
    return buf;
}

namespace {

// Reads `digits` decimal digits at s[at]; -1 when they are not there.
int number(std::string_view s, std::size_t at, std::size_t digits) {
    if (at + digits > s.size()) return -1;
    int n = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (s[i] < '0' || s[i] > '9') return -1;
        n = n * 10 + (s[i] - '0');
    }
    return n;
}

int monthNumber(std::string_view s, std::size_t at) {
    if (at + 3 > s.size()) return -1;
    for (std::size_t m = 0; m < kMonths.size(); ++m)
        if (s.substr(at, 3) == kMonths[m]) return static_cast<int>(m) + 1;
    return -1;
}

// "hh:mm:ss" at s[at], as seconds of the day; -1 when malformed.
int timeOfDay(std::string_view s, std::size_t at) {
    if (at + 8 > s.size() || s[at + 2] != ':' || s[at + 5] != ':') return -1;
    int h = number(s, at, 2), m = number(s, at + 3, 2), sec = number(s, at + 6, 2);
    if (h < 0 || h > 23 || m < 0 || m > 59 || sec < 0 || sec > 60) return -1;
    return h * 3600 + m * 60 + sec;
}

std::optional<Seconds> instant(int year, int month, int day, int ofDay) {
    if (ofDay < 0 || month < 0 || !validDate(year, month, day)) return std::nullopt;
    return daysFromCivil({year, month, day}) * 86400 + ofDay;
}

}  // namespace

std::optional<Seconds> parseHttpDate(std::string_view s) {
    auto comma = s.find(',');
    if (comma == 3 && s.size() == 29 && s.substr(25) == " GMT" && s[4] == ' ' && s[7] == ' ' &&
        s[11] == ' ' && s[16] == ' ') {
        // IMF-fixdate: "Sun, 06 Nov 1994 08:49:37 GMT"
        return instant(number(s, 12, 4), monthNumber(s, 8), number(s, 5, 2), timeOfDay(s, 17));
    }
    if (comma != std::string_view::npos && comma >= 6 && comma <= 9) {
        // RFC 850: "Sunday, 06-Nov-94 08:49:37 GMT"
        std::string_view r = s.substr(comma + 1);
        if (r.size() != 23 || r[0] != ' ' || r[3] != '-' || r[7] != '-' || r[10] != ' ' ||
            r.substr(19) != " GMT")
            return std::nullopt;
        int yy = number(r, 8, 2);
        if (yy < 0) return std::nullopt;
        // Two-digit years: the century that puts the date in the recent past.
        int year = yy < 70 ? 2000 + yy : 1900 + yy;
        return instant(year, monthNumber(r, 4), number(r, 1, 2), timeOfDay(r, 11));
    }
    if (comma == std::string_view::npos && s.size() == 24 && s[3] == ' ' && s[7] == ' ' &&
        s[10] == ' ' && s[19] == ' ') {
        // asctime: "Sun Nov  6 08:49:37 1994"
        int day = s[8] == ' ' ? number(s, 9, 1) : number(s, 8, 2);
        return instant(number(s, 20, 4), monthNumber(s, 4), day, timeOfDay(s, 11));
    }
    return std::nullopt;
}

}  // namespace epg
