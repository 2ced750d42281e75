#include "server/xmltv/xmltv_read.h"

#include <algorithm>
#include <cstring>
#include <pugixml.hpp>
#include <utility>

#include "server/util/file_place.h"
#include "server/util/text_trim.h"
#include "server/xmltv/xml_decode.h"
#include "server/xmltv/xml_pieces.h"

namespace epg {
namespace {

bool digits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int number(std::string_view s) {
    int n = 0;
    for (char c : s) n = n * 10 + (c - '0');
    return n;
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

// Appends text to at most `cap` characters in all; false once it had to cut.
class CappedText {
  public:
    explicit CappedText(std::size_t cap) : left_(cap) {}
    void append(const char* s) {
        std::size_t n = 0;
        for (; s[n] != '\0'; ++n) {
            if ((static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) continue;  // continues one
            if (left_ == 0) {
                cut_ = true;
                break;
            }
            --left_;
        }
        text_.append(s, n);
    }
    bool full() const { return left_ == 0; }
    bool cut() const { return cut_; }
    // Layout around the text (line breaks, indentation) is no part of it.
    std::string take() {
        std::size_t from = text_.find_first_not_of(" \t\r\n");
        if (from == std::string::npos) return {};
        std::size_t to = text_.find_last_not_of(" \t\r\n") + 1;
        if (from == 0 && to == text_.size()) return std::move(text_);
        return text_.substr(from, to - from);
    }

  private:
    std::string text_;
    std::size_t left_;
    bool cut_ = false;
};

// The first `cap` characters of `s`.
std::string_view capped(std::string_view s, std::size_t cap) {
    for (std::size_t i = 0; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && cap-- == 0) return s.substr(0, i);
    return s;
}

// All the text below `element`, child elements' included, as the DOM's
// textContent has it, up to `cap` characters. Walked without recursion: the
// depth of elements is the document's to choose.
std::string textContent(pugi::xml_node element, std::size_t cap, std::size_t& cuts) {
    CappedText text(cap);
    pugi::xml_node n = element.first_child();
    while (n && !text.cut()) {
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text.append(n.value());
        if (n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n != element && !n.next_sibling()) n = n.parent();
        if (n == element) break;
        n = n.next_sibling();
    }
    if (text.cut()) ++cuts;
    return text.take();
}

// "1,000,000": a count for messages.
std::string countText(std::size_t n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// Adds the <channel> and <programme> children of one piece of the root, up
// to the limits of one document.
class Collector {
  public:
    Collector(XmltvDocument& doc, XmltvLimits limits, const Zone* wallClock)
        : doc_(doc), limits_(limits), wallClock_(wallClock) {}

    struct Failure {
        pugi::xml_node at;
        std::string what;
    };
    // The element that went past a limit, the first time one did.
    std::optional<Failure> takeFailure() { return std::exchange(failure_, std::nullopt); }

    void visit(pugi::xml_node root) {
        for (pugi::xml_node n = root.first_child(); n && !failed_; n = n.next_sibling()) {
            if (n.type() != pugi::node_element) continue;
            if (std::strcmp(n.name(), "programme") == 0)
                programme(n);
            else if (std::strcmp(n.name(), "channel") == 0)
                channel(n);
        }
    }

    // Channels that programmes name but no <channel> describes; every
    // channel's programmes in order, ready to be served as they are, and
    // without the room a growing list keeps spare.
    void finish() {
        for (std::string& id : unnamed_)
            if (!index_.contains(id)) doc_.channels.push_back({std::move(id), {}, {}});
        unnamed_.clear();
        for (auto& [id, list] : doc_.programmes) {
            putInOrder(list.programmes);
            list.programmes.shrink_to_fit();
        }
    }

  private:
    void fail(pugi::xml_node at, std::string what) {
        failed_ = true;
        failure_ = Failure{at, std::move(what)};
    }
    // Counts text kept; false once the document holds too much of it.
    bool keep(pugi::xml_node at, std::size_t bytes) {
        text_ += bytes;
        if (text_ <= limits_.textBytes) return true;
        fail(at, "more than " + countText(limits_.textBytes) +
                     " bytes of titles, descriptions, channel names and ids, the most a source "
                     "may hold");
        return false;
    }

    void channel(pugi::xml_node c) {
        std::string id(capped(c.attribute("id").value(), kNameCap));
        if (!keep(c, id.size())) return;
        auto [it, added] = index_.try_emplace(id, doc_.channels.size());
        if (added) doc_.channels.push_back({std::move(id), {}, {}});
        XmltvChannel& channel = doc_.channels[it->second];
        std::size_t unused = 0;
        // An address, handed on as it is; one longer than any real one is
        // left out.
        if (std::string_view icon = c.child("icon").attribute("src").value();
            channel.icon.empty() && icon.size() <= kIconCap) {
            if (!keep(c, icon.size())) return;
            channel.icon = icon;
        }
        for (pugi::xml_node d = c.child("display-name"); d; d = d.next_sibling("display-name")) {
            std::string name = textContent(d, kNameCap, unused);
            if (!keep(d, name.size())) return;
            if (!name.empty()) channel.names.push_back(std::move(name));
        }
    }

    void programme(pugi::xml_node p) {
        std::string_view id = capped(p.attribute("channel").value(), kNameCap);
        auto it = doc_.programmes.find(id);
        if (it == doc_.programmes.end()) {
            if (!keep(p, id.size())) return;
            it = doc_.programmes.try_emplace(std::string(id)).first;
            unnamed_.emplace_back(id);
        }
        FeedProgrammes& list = it->second;
        auto start = parseXmltvTime(p.attribute("start").value(), wallClock_);
        pugi::xml_node title = pickLang(p, "title");
        Programme prog;
        if (start && title) prog.title = textContent(title, kTitleCap, doc_.titlesCut);
        if (!start || prog.title.empty()) {
            ++list.skipped;
            return;
        }
        prog.start = *start;
        prog.stop = parseXmltvTime(p.attribute("stop").value(), wallClock_).value_or(0);
        if (pugi::xml_node desc = pickLang(p, "desc"))
            prog.description = textContent(desc, kDescriptionCap, doc_.descriptionsCut);
        std::size_t uncounted = 0;
        if (pugi::xml_node category = pickLang(p, "category"))
            prog.category = textContent(category, kCategoryCap, uncounted);
        if (++programmes_ > limits_.programmes) {
            fail(p, "more than " + countText(limits_.programmes) +
                        " programmes, the most a source may hold");
            return;
        }
        if (!keep(p, prog.title.size() + prog.description.size() + prog.category.size())) return;
        list.programmes.push_back(std::move(prog));
    }

    XmltvDocument& doc_;
    const XmltvLimits limits_;
    const Zone* wallClock_;
    std::size_t programmes_ = 0, text_ = 0;
    bool failed_ = false;
    std::optional<Failure> failure_;
    std::unordered_map<std::string, std::size_t, TextHash, std::equal_to<>> index_;
    std::vector<std::string> unnamed_;  // programme channel ids, in order of first use
};

}  // namespace

std::optional<Seconds> parseXmltvTime(std::string_view s, const Zone* wallClock) {
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
    if (wallClock) return fromLocal({year, month, day}, hour * 60 + minute, *wallClock) + second;
    return daysFromCivil({year, month, day}) * 86400 + hour * 3600 + minute * 60 + second - offset;
}

struct XmltvReader::State {
    State(std::string_view name, XmltvLimits limits, const Zone* wallClock)
        : source(name),
          collector(doc, limits, wallClock),
          pieces(
              "tv",
              [this](pugi::xml_node root) {
                  collector.visit(root);
                  if (auto f = collector.takeFailure()) pieces.stopAt(f->at, std::move(f->what));
              },
              std::size_t{1} << 20, limits.elementBytes) {
        doc.source = source;
    }
    bool fail(std::size_t line, const std::string& what) {
        error = where(source, line) + what;
        return false;
    }

    std::string source;
    XmltvDocument doc;
    Collector collector;
    XmlDecoder decoder;
    XmlPieceReader pieces;
    std::string error;
};

XmltvReader::XmltvReader(std::string_view source, XmltvLimits limits, const Zone* wallClock)
    : s_(std::make_unique<State>(source, limits, wallClock)) {}

XmltvReader::~XmltvReader() = default;

const std::string& XmltvReader::error() const {
    return s_->error;
}

bool XmltvReader::feed(std::string_view bytes) {
    State& s = *s_;
    if (!s.error.empty()) return false;
    if (!s.decoder.decode(bytes, s.pieces.text()))
        return s.fail(s.pieces.lineOf(s.decoder.fault()->at), s.decoder.fault()->what);
    if (auto e = s.pieces.advance()) return s.fail(e->line, e->what);
    return true;
}

XmltvParse XmltvReader::finish() {
    State& s = *s_;
    if (s.error.empty()) {
        if (!s.decoder.finish(s.pieces.text()))
            s.fail(s.pieces.lineOf(s.decoder.fault()->at), s.decoder.fault()->what);
        else if (auto e = s.pieces.finish())
            s.fail(e->line, e->what);
    }
    if (!s.error.empty()) return {std::nullopt, s.error};
    s.collector.finish();
    return {std::move(s.doc), {}};
}

XmltvParse parseXmltv(std::string bytes, std::string_view source, XmltvLimits limits,
                      const Zone* wallClock) {
    XmltvReader reader(source, limits, wallClock);
    constexpr std::size_t kSlice = std::size_t{1} << 20;
    for (std::size_t at = 0; at < bytes.size(); at += kSlice)
        if (!reader.feed(std::string_view(bytes).substr(at, kSlice))) break;
    bytes = std::string();
    return reader.finish();
}

}  // namespace epg
