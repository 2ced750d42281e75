#include "app/schedule/reminder_text.h"

#include <date/date.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <tuple>

#include "app/schedule/catalogue_place.h"
#include "base/text.h"
#include "runtime/values/gbk.h"

namespace app::schedule {

namespace {

std::string utcText(std::int64_t unixSeconds) {
    const date::sys_seconds t{std::chrono::seconds(unixSeconds)};
    const auto day = date::floor<date::days>(t);
    const date::year_month_day ymd{day};
    const date::hh_mm_ss<std::chrono::seconds> time{t - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02dZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()));
    return text;
}

std::optional<std::int64_t> parseUtc(std::string_view s) {
    // YYYY-MM-DDTHH:MMZ
    constexpr std::string_view kShape = "dddd-dd-ddTdd:ddZ";
    if (s.size() != kShape.size()) return std::nullopt;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const bool digit = s[i] >= '0' && s[i] <= '9';
        if (kShape[i] == 'd' ? !digit : s[i] != kShape[i]) return std::nullopt;
    }
    const auto number = [&](std::size_t at, std::size_t n) {
        int v = 0;
        for (std::size_t i = at; i < at + n; ++i) v = v * 10 + (s[i] - '0');
        return v;
    };
    const date::year_month_day ymd{date::year(number(0, 4)),
                                   date::month(static_cast<unsigned>(number(5, 2))),
                                   date::day(static_cast<unsigned>(number(8, 2)))};
    const int hour = number(11, 2);
    const int minute = number(14, 2);
    if (!ymd.ok() || hour > 23 || minute > 59) return std::nullopt;  // 31 April, 24:00
    const auto t = date::sys_days{ymd} + std::chrono::hours(hour) + std::chrono::minutes(minute);
    return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

void appendHex(std::string& out, unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02X", byte);
    out += text;
}

// ASCII escapes over a text that is otherwise UTF-8 (or, byte by byte, GBK).
void appendAscii(std::string& out, char c) {
    switch (c) {
        case '\\': out += "\\\\"; return;
        case '\n': out += "\\n"; return;
        case '\r': out += "\\r"; return;
        default: break;
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ';')
        appendHex(out, static_cast<unsigned char>(c));
    else
        out += c;
}

std::string titleText(std::string_view title) {
    std::string out;
    // Whole when it converts both ways; otherwise a character at a time, with
    // the bytes that make none written as \xHH so the title comes back exact.
    const std::string utf8 = rt::toUtf8(title);
    if (rt::gbkStrict(utf8) == title) {
        for (char c : utf8) appendAscii(out, c);
        return out;
    }
    for (std::size_t i = 0; i < title.size();) {
        const auto c = static_cast<unsigned char>(title[i]);
        if (c < 0x80) {
            appendAscii(out, title[i++]);
            continue;
        }
        if (i + 1 < title.size()) {
            const std::string piece(title.substr(i, 2));
            const std::string pieceUtf8 = rt::toUtf8(piece);
            if (rt::gbkStrict(pieceUtf8) == piece) {
                out += pieceUtf8;
                i += 2;
                continue;
            }
        }
        appendHex(out, c);
        ++i;
    }
    return out;
}

// The first kMaxKeptTitleBytes bytes of a title, without half a character.
std::string_view keptTitle(std::string_view title) {
    std::size_t end = 0;
    while (end < title.size()) {
        const auto byte = static_cast<unsigned char>(title[end]);
        const std::size_t next = end + (byte >= 0x81 && byte <= 0xFE ? 2 : 1);  // GBK lead bytes
        if (next > kMaxKeptTitleBytes) break;
        end = std::min(next, title.size());
    }
    return title.substr(0, end);
}

std::string lineOf(const Reminder& r) {
    return utcText(r.start) + ' ' + r.channel + ' ' + (r.notified ? "notified" : "waiting") + ' ' +
           titleText(keptTitle(r.title));
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The GBK title of a line's TITLE, or the reason there is none.
std::optional<rt::Text> readTitle(std::string_view text, std::string& why) {
    rt::Text out;
    std::string run;  // UTF-8 since the last escape
    const auto flush = [&] {
        if (run.empty()) return true;
        const auto gbk = rt::gbkStrict(run);
        if (!gbk) return false;
        out += *gbk;
        run.clear();
        return true;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            run += text[i];
            continue;
        }
        const char e = i + 1 < text.size() ? text[i + 1] : '\0';
        if (e == '\\' || e == 'n' || e == 'r') {
            run += e == 'n' ? '\n' : e == 'r' ? '\r' : '\\';
            ++i;
            continue;
        }
        if (e == 'x' && i + 3 < text.size() && hexValue(text[i + 2]) >= 0 &&
            hexValue(text[i + 3]) >= 0) {
            if (!flush()) break;
            out += static_cast<char>(hexValue(text[i + 2]) * 16 + hexValue(text[i + 3]));
            i += 3;
            continue;
        }
        why = "the title has a bad escape (\\\\, \\n, \\r or \\xHH)";
        return std::nullopt;
    }
    if (!flush()) {
        why = "the title is not UTF-8 text that GBK can hold";
        return std::nullopt;
    }
    return out;
}

// One line's reminder, or the reason it is none.
std::optional<Reminder> readLine(std::string_view line, std::string& why) {
    std::string_view fields[3];
    std::size_t at = 0;
    for (std::string_view& field : fields) {
        const std::size_t blank = line.find(' ', at);
        field = line.substr(at, blank == std::string_view::npos ? line.size() - at : blank - at);
        if (blank == std::string_view::npos && &field != &fields[2]) {
            why = "expected START CHANNEL STATE TITLE separated by blanks";
            return std::nullopt;
        }
        at = blank == std::string_view::npos ? line.size() : blank + 1;
    }
    Reminder r;
    const auto start = parseUtc(fields[0]);
    if (!start) {
        why = "start \"" + std::string(fields[0]) + "\" is not a UTC time YYYY-MM-DDTHH:MMZ";
        return std::nullopt;
    }
    r.start = *start;
    if (!findInCatalogue(fields[1])) {
        why = "channel \"" + std::string(fields[1]) + "\" is not a catalogue path";
        return std::nullopt;
    }
    r.channel = fields[1];
    if (fields[2] != "waiting" && fields[2] != "notified") {
        why = "state \"" + std::string(fields[2]) + "\" is neither waiting nor notified";
        return std::nullopt;
    }
    r.notified = fields[2] == "notified";
    auto title = readTitle(line.substr(at), why);
    if (!title) return std::nullopt;
    r.title = std::move(*title);
    return r;
}

}  // namespace

std::string remindersToText(const std::vector<Reminder>& reminders) {
    std::string text;
    for (const Reminder& r : reminders) text += lineOf(r) + '\n';
    return text;
}

ReadReminders remindersFromText(std::string_view text) {
    ReadReminders out;
    int number = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (base::trim(line).empty()) continue;
        std::string why;
        if (auto r = readLine(line, why))
            out.reminders.push_back(std::move(*r));
        else
            out.errors.push_back("line " + std::to_string(number) + ": " + why);
    }
    return out;
}

KeptReminders remindersToSetting(const std::vector<Reminder>& reminders, std::size_t room) {
    std::vector<std::string> lines;
    std::size_t size = 0;
    for (const Reminder& r : reminders) {
        lines.push_back(lineOf(r) + ';');
        size += lines.back().size();
    }
    KeptReminders kept;
    if (size > room) {
        std::vector<std::size_t> order(reminders.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        // Shown ones have done their work; of the rest, the earliest goes first.
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return std::tuple(!reminders[a].notified, reminders[a].start) <
                   std::tuple(!reminders[b].notified, reminders[b].start);
        });
        for (std::size_t i = 0; i < order.size() && size > room; ++i) {
            size -= lines[order[i]].size();
            lines[order[i]].clear();
            ++kept.leftOut;
        }
    }
    kept.value.reserve(size);
    for (const std::string& line : lines) kept.value += line;
    return kept;
}

ReadReminders remindersFromSetting(std::string_view value) {
    std::string text(value);
    std::replace(text.begin(), text.end(), ';', '\n');
    return remindersFromText(text);
}

std::string notificationText(std::string_view gbkText, bool bodyMarkup) {
    const std::string utf8 = rt::toUtf8(gbkText);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x20 || c == 0x7F) continue;
        // U+0080..U+009F, the C1 controls, are C2 80..C2 9F in UTF-8.
        if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            ++i;
            continue;
        }
        if (bodyMarkup && c == '&')
            out += "&amp;";
        else if (bodyMarkup && c == '<')
            out += "&lt;";
        else if (bodyMarkup && c == '>')
            out += "&gt;";
        else
            out += utf8[i];
    }
    return out;
}

}  // namespace app::schedule
