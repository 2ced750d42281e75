#include "server/channels/m3u_playlist.h"

#include <cstdio>

#include "encoding/text_encoding.h"
#include "encoding/to_utf8.h"
#include "server/util/size_text.h"

namespace epg {
namespace {

bool blank(char c) {
    return c == ' ' || c == '\t';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && sameName(s.substr(0, prefix.size()), prefix);
}

// The line without the blanks players ignore at its ends.
std::string_view trimmed(std::string_view s) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && (blank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Attributes from `at` on: name=value, name="value" or name='value', apart
// by blanks, up to a comma outside quotes (returned: where it stands) or the
// end of the line. A word without "=" is passed over.
std::size_t readAttributes(std::string_view line, std::size_t at, std::vector<M3uAttribute>& out) {
    while (at < line.size()) {
        if (blank(line[at])) {
            ++at;
            continue;
        }
        if (line[at] == ',') return at;
        const std::size_t begin = at;
        while (at < line.size() && !blank(line[at]) && line[at] != ',' && line[at] != '=') ++at;
        if (at >= line.size() || line[at] != '=') continue;
        M3uAttribute a;
        a.name = std::string(line.substr(begin, at - begin));
        a.begin = begin;
        ++at;  // '='
        if (at < line.size() && (line[at] == '"' || line[at] == '\'')) {
            const char quote = line[at++];
            std::size_t close = line.find(quote, at);
            // An unclosed quote runs to the end of the line.
            if (close == std::string_view::npos) close = line.size();
            a.value = std::string(line.substr(at, close - at));
            at = close < line.size() ? close + 1 : close;
        } else {
            const std::size_t from = at;
            while (at < line.size() && !blank(line[at]) && line[at] != ',') ++at;
            a.value = std::string(line.substr(from, at - from));
        }
        a.end = at;
        if (!a.name.empty()) out.push_back(std::move(a));
    }
    return std::string_view::npos;
}

// An "#EXTINF:" line: the duration, the attributes, then the title after
// the comma that ends them (commas inside quoted values or in the title are
// the text's own).
PlaylistEntry readInfo(std::string_view line, std::size_t index) {
    PlaylistEntry e;
    e.line = index;
    std::size_t at = line.find(':') + 1;
    while (at < line.size() && blank(line[at])) ++at;
    while (at < line.size() && !blank(line[at]) && line[at] != ',') ++at;  // the duration
    e.attributesAt = at;
    const std::size_t comma = readAttributes(line, at, e.attributes);
    if (comma != std::string_view::npos) e.title = std::string(trimmed(line.substr(comma + 1)));
    return e;
}

std::string lineText(std::size_t index) {
    return "line " + std::to_string(index + 1);
}

// The text as UTF-8: as it is when it is UTF-8, else read as GB18030.
std::optional<std::string> utf8Text(std::string_view text, std::string& error) {
    const std::size_t bad = encoding::firstNonUtf8(text);
    if (bad == std::string_view::npos) return std::string(text);
    if (auto converted = encoding::gb18030ToUtf8(text)) return converted;
    std::size_t line = 0;
    for (std::size_t i = 0; i < bad; ++i) line += text[i] == '\n';
    char bytes[16];
    std::snprintf(bytes, sizeof bytes, "0x%02X", static_cast<unsigned char>(text[bad]));
    error = lineText(line) + ": neither UTF-8 nor GB18030 text (byte " + bytes + ")";
    return std::nullopt;
}

// A value as an attribute value: in double quotes unless it holds one.
std::string quoted(std::string_view value) {
    const char q = value.find('"') == std::string_view::npos ? '"' : '\'';
    return q + std::string(value) + q;
}

}  // namespace

const M3uAttribute* PlaylistEntry::attribute(std::string_view name) const {
    for (const M3uAttribute& a : attributes)
        if (sameName(a.name, name)) return &a;
    return nullptr;
}

std::string PlaylistEntry::value(std::string_view name) const {
    const M3uAttribute* a = attribute(name);
    return a ? a->value : std::string();
}

PlaylistParse parsePlaylist(std::string_view raw, const PlaylistLimits& limits) {
    if (raw.size() > limits.maxBytes)
        return {std::nullopt,
                "more than " + sizeText(limits.maxBytes) + ", the most a playlist may hold"};
    std::string error;
    std::optional<std::string> text = utf8Text(raw, error);
    if (!text) return {std::nullopt, error};
    std::string_view rest = *text;
    if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);

    Playlist p;
    std::optional<PlaylistEntry> pending;  // an #EXTINF waiting for its stream
    bool first = true;                     // no line but blanks yet
    auto add = [&](PlaylistEntry e) {
        if (p.entries.size() >= limits.maxEntries) return false;
        p.entries.push_back(std::move(e));
        return true;
    };
    const std::string tooMany =
        "more than " + std::to_string(limits.maxEntries) + " entries, the most a playlist may hold";
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (p.lines.empty()) p.crlf = line.ends_with('\r');
        if (line.ends_with('\r')) line.remove_suffix(1);
        const std::size_t index = p.lines.size();
        p.lines.emplace_back(line);
        const std::string_view t = trimmed(line);
        if (t.empty()) continue;
        if (first) {
            first = false;
            // A saved error page is not an empty playlist.
            if (t.front() == '<')
                return {std::nullopt, lineText(index) + ": an HTML or XML page, not a playlist"};
            if (startsWithNoCase(t, "#EXTM3U")) {
                p.header = index;
                readAttributes(line, line.find('#') + 7, p.headerAttributes);
                continue;
            }
        }
        if (startsWithNoCase(t, "#EXTINF:")) {
            if (pending && !add(std::move(*pending))) return {std::nullopt, tooMany};
            pending = readInfo(line, index);
        } else if (t.front() != '#') {
            PlaylistEntry e = pending ? std::move(*pending) : PlaylistEntry{};
            pending.reset();
            e.url = std::string(t);
            if (!add(std::move(e))) return {std::nullopt, tooMany};
        }
    }
    if (pending && !add(std::move(*pending))) return {std::nullopt, tooMany};
    if (p.entries.empty()) return {std::nullopt, "no stream in it"};
    return {std::move(p), {}};
}

std::string servedHeader(const Playlist& playlist, std::string_view guideUrl) {
    const std::string url = quoted(guideUrl);
    if (!playlist.header) return "#EXTM3U x-tvg-url=" + url + " url-tvg=" + url;
    const std::string& line = playlist.lines[*playlist.header];
    std::string out;
    std::size_t copied = 0;
    bool xTvgUrl = false, urlTvg = false;
    for (const M3uAttribute& a : playlist.headerAttributes) {
        const bool x = sameName(a.name, "x-tvg-url"), u = sameName(a.name, "url-tvg");
        if (!x && !u && !sameName(a.name, "tvg-url")) continue;
        xTvgUrl = xTvgUrl || x;
        urlTvg = urlTvg || u;
        out.append(line, copied, a.begin - copied);
        out += a.name + "=" + url;
        copied = a.end;
    }
    out.append(line, copied);
    while (!out.empty() && (blank(out.back()) || out.back() == '\r')) out.pop_back();
    if (!xTvgUrl) out += " x-tvg-url=" + url;
    if (!urlTvg) out += " url-tvg=" + url;
    return out;
}

std::string servedEntries(const Playlist& playlist, const std::vector<std::string>& ids) {
    // The new text of each #EXTINF line that changes, by line.
    std::vector<const std::string*> idOfLine(playlist.lines.size(), nullptr);
    std::vector<const PlaylistEntry*> entryOfLine(playlist.lines.size(), nullptr);
    for (std::size_t i = 0; i < playlist.entries.size() && i < ids.size(); ++i) {
        const PlaylistEntry& e = playlist.entries[i];
        if (ids[i].empty() || e.line == PlaylistEntry::kNoInfo) continue;
        idOfLine[e.line] = &ids[i];
        entryOfLine[e.line] = &e;
    }
    const std::string_view eol = playlist.crlf ? "\r\n" : "\n";
    std::string out;
    bool leading = true;  // blank lines before the header go with it
    for (std::size_t n = 0; n < playlist.lines.size(); ++n) {
        const std::string& line = playlist.lines[n];
        if (playlist.header && n <= *playlist.header) continue;
        if (!playlist.header && leading && trimmed(line).empty()) continue;
        leading = false;
        if (!idOfLine[n]) {
            out += line;
            out += eol;
            continue;
        }
        const PlaylistEntry& e = *entryOfLine[n];
        const std::string ours = "tvg-id=" + quoted(*idOfLine[n]);
        const M3uAttribute* own = e.attribute("tvg-id");
        if (!own) {
            out.append(line, 0, e.attributesAt);
            out += " " + ours;
            out.append(line, e.attributesAt);
        } else {
            out.append(line, 0, own->begin);
            out += ours;
            // Kept once: a playlist served before and read back has it already.
            if (own->value != *idOfLine[n] && !e.attribute("x-original-tvg-id"))
                out += " x-original-tvg-id=" + quoted(own->value);
            out.append(line, own->end);
        }
        out += eol;
    }
    return out;
}

}  // namespace epg
