#include "server/xmltv_read.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>

#include "encoding/text_encoding.h"
#include "server/channels.h"
#include "server/source_file.h"

namespace epg {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string where(std::string_view file, std::size_t line) {
    return std::string(file) + ':' + std::to_string(line) + ": ";
}

std::size_t lineOfOffset(std::string_view bytes, std::ptrdiff_t offset) {
    auto end = static_cast<std::size_t>(
        std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(bytes.size())));
    return 1 + static_cast<std::size_t>(std::count(
                   bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
}

bool digits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int number(std::string_view s) {
    int n = 0;
    for (char c : s) n = n * 10 + (c - '0');
    return n;
}

// The encoding named in the XML declaration, lower-cased; empty when none.
std::string declaredEncoding(std::string_view bytes) {
    if (bytes.substr(0, 5) != "<?xml") return {};
    std::string_view decl = bytes.substr(0, bytes.find("?>"));
    auto at = decl.find("encoding");
    if (at == std::string_view::npos) return {};
    auto q = decl.find_first_of("'\"", at);
    if (q == std::string_view::npos) return {};
    auto e = decl.find(decl[q], q + 1);
    if (e == std::string_view::npos) return {};
    std::string enc(decl.substr(q + 1, e - q - 1));
    for (char& c : enc) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return enc;
}

// The child element `name` in Chinese when there is one, else the first.
pugi::xml_node pickLang(pugi::xml_node parent, const char* name) {
    pugi::xml_node first;
    for (pugi::xml_node n = parent.child(name); n; n = n.next_sibling(name)) {
        if (!first) first = n;
        if (std::strncmp(n.attribute("lang").value(), "zh", 2) == 0) return n;
    }
    return first;
}

}  // namespace

std::optional<Seconds> parseXmltvTime(std::string_view s) {
    s = trim(s);
    std::size_t n = 0;
    while (n < s.size() && n < 14 && s[n] >= '0' && s[n] <= '9') ++n;
    if (n < 8 || n % 2 != 0) return std::nullopt;
    std::string_view d = s.substr(0, n);
    int year = number(d.substr(0, 4)), month = number(d.substr(4, 2)), day = number(d.substr(6, 2));
    int hour = n >= 10 ? number(d.substr(8, 2)) : 0;
    int minute = n >= 12 ? number(d.substr(10, 2)) : 0;
    int second = n >= 14 ? number(d.substr(12, 2)) : 0;
    if (!validDate(year, month, day) || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    std::string_view rest = trim(s.substr(n));
    int offset = 0;
    if (!rest.empty() && rest != "Z" && rest != "UTC" && rest != "GMT") {
        if (rest[0] != '+' && rest[0] != '-') return std::nullopt;
        std::string_view z = rest.substr(1);
        std::string hhmm;
        for (char c : z)
            if (c != ':') hhmm += c;
        if (hhmm.size() != 4 || !digits(hhmm)) return std::nullopt;
        int oh = number(std::string_view(hhmm).substr(0, 2)),
            om = number(std::string_view(hhmm).substr(2));
        if (oh > 14 || om > 59) return std::nullopt;
        offset = (oh * 60 + om) * 60 * (rest[0] == '-' ? -1 : 1);
    }
    return daysFromCivil({year, month, day}) * 86400 + hour * 3600 + minute * 60 + second - offset;
}

MapResult parseChannelMap(std::string_view text, std::string_view fileName) {
    ChannelMap map;
    std::vector<bool> taken(channelCount(), false);
    std::size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        auto nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        if (auto hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        line = trim(line);
        if (line.empty()) continue;
        auto tab = line.find('\t');
        if (tab == std::string_view::npos)
            return {std::nullopt, where(fileName, lineNo) +
                                      "expected a catalogue path, a tab and an XMLTV channel id"};
        std::string path(trim(line.substr(0, tab)));
        std::string id(trim(line.substr(tab + 1)));
        if (!path.empty() && path.back() != '/') path += '/';
        auto channel = channelByPath(path);
        if (!channel)
            return {std::nullopt,
                    where(fileName, lineNo) + "no catalogue channel has the path \"" + path + "\""};
        if (id.empty())
            return {std::nullopt, where(fileName, lineNo) + "the XMLTV channel id is missing"};
        if (taken[*channel])
            return {std::nullopt, where(fileName, lineNo) + "\"" + path + "\" is mapped twice"};
        taken[*channel] = true;
        map[id].push_back(*channel);
    }
    return {std::move(map), {}};
}

MapResult readChannelMap(const std::string& fileName) {
    FileBytes f = readWholeFile(fileName, kMaxMapBytes);
    if (!f.bytes) return {std::nullopt, f.error};
    return parseChannelMap(*f.bytes, fileName);
}

ChannelMap identityChannelMap() {
    ChannelMap map;
    for (std::size_t c = 0; c < channelCount(); ++c) map[std::string(channelPath(c))].push_back(c);
    return map;
}

namespace {

// The programmes of mapped channels in a parsed document.
XmltvResult collect(const pugi::xml_document& doc, std::string_view fileName, const ChannelMap& map,
                    StoredListings& into) {
    XmltvResult result;
    pugi::xml_node tv = doc.document_element();
    if (!tv) {
        result.error = std::string(fileName) + ": no XMLTV document (no <tv> element)";
        return result;
    }
    for (pugi::xml_node p = tv.child("programme"); p; p = p.next_sibling("programme")) {
        auto it = map.find(std::string_view(p.attribute("channel").value()));
        if (it == map.end()) continue;
        auto start = parseXmltvTime(p.attribute("start").value());
        const char* title = pickLang(p, "title").text().get();
        if (!start || *title == '\0') {
            ++result.skipped;
            continue;
        }
        Programme prog;
        prog.start = *start;
        prog.stop = parseXmltvTime(p.attribute("stop").value()).value_or(0);
        prog.title = title;
        prog.description = pickLang(p, "desc").text().get();
        for (std::size_t i = 0; i < it->second.size(); ++i) {
            if (i + 1 == it->second.size())
                into.add(it->second[i], std::move(prog));
            else
                into.add(it->second[i], prog);
        }
        ++result.programmes;
    }
    result.ok = true;
    return result;
}

XmltvResult failure(std::string error) {
    XmltvResult r;
    r.error = std::move(error);
    return r;
}

}  // namespace

XmltvResult readXmltv(std::string_view bytes, std::string_view fileName, const ChannelMap& map,
                      StoredListings& into) {
    std::optional<std::string> converted;
    if (declaredEncoding(bytes).starts_with("gb")) {
        converted = encoding::gb18030ToUtf8(bytes);
        if (!converted)
            return failure(std::string(fileName) +
                           ": not valid GB18030 text, as its XML declaration says");
        bytes = *converted;
    }
    pugi::xml_document doc;
    pugi::xml_parse_result parsed =
        doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default,
                        converted ? pugi::encoding_utf8 : pugi::encoding_auto);
    if (!parsed)
        return failure(where(fileName, lineOfOffset(bytes, parsed.offset)) + parsed.description());
    return collect(doc, fileName, map, into);
}

XmltvResult readXmltvFile(const std::string& fileName, const ChannelMap& map,
                          StoredListings& into) {
    FileBytes f = readWholeFile(fileName);
    if (!f.bytes) return failure(f.error);
    std::string& bytes = *f.bytes;
    if (declaredEncoding(bytes).starts_with("gb")) return readXmltv(bytes, fileName, map, into);
    // Parsed in place, sparing a copy of what may be 100 MB; the parse changes
    // the buffer, so a failure counts its line in a fresh read of the file.
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_buffer_inplace(bytes.data(), bytes.size());
    if (!parsed) {
        FileBytes again = readWholeFile(fileName);
        std::size_t line = again.bytes ? lineOfOffset(*again.bytes, parsed.offset) : 0;
        return failure(where(fileName, line) + parsed.description());
    }
    return collect(doc, fileName, map, into);
}

}  // namespace epg
