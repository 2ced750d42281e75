#include "server/site/xmltv_write.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <pugixml.hpp>

#include "base/text.h"
#include "server/channels/channel_match.h"
#include "server/channels/channel_names.h"
#include "server/model/channels.h"

namespace epg {
namespace xmltv_out {

// XML 1.0 carries no C0 control character but tab, line feed and carriage
// return, not even escaped; a feed's text that held one (as a character
// reference) would make the whole document unreadable.
std::string xmlSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 || c == '\t' || c == '\n' || c == '\r') out += c;
    }
    return out;
}

// Nothing to show once what XML cannot carry is left out.
bool blank(std::string_view text) {
    return base::trim(xmlSafe(text)).empty();
}

// The name as its key has it, Latin letters in capitals ("CCTV1", "CCTV5+",
// "CGTN西语", "东方卫视"), where that is another name of the same channel.
// Depends on the catalogue alone: worked out once.
const std::vector<std::string>& shortForms() {
    static const std::vector<std::string> forms = [] {
        const ChannelNames& names = ChannelNames::builtIn();
        std::vector<std::string> all(channelCount());
        for (std::size_t c = 0; c < all.size(); ++c) {
            std::string form = rowKeys()[c];
            for (char& ch : form)
                if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
            if (!form.empty() && names.key(form) == rowKeys()[c]) all[c] = std::move(form);
        }
        return all;
    }();
    return forms;
}

}  // namespace xmltv_out

std::vector<std::string> xmltvDisplayNames(std::size_t channel,
                                           std::span<const std::string> feedNames) {
    std::vector<std::string> out;
    auto add = [&out](std::string name) {
        name = xmltv_out::xmlSafe(base::trim(name));
        if (!name.empty() && std::find(out.begin(), out.end(), name) == out.end())
            out.push_back(std::move(name));
    };
    add(channelNameUtf8(channel));
    if (channel < xmltv_out::shortForms().size()) add(xmltv_out::shortForms()[channel]);
    for (const std::string& n : feedNames) add(n);
    return out;
}

std::string xmltvTime(Seconds t, const Zone& zone) {
    LocalTime lt = toLocal(t, zone);
    int off = lt.utcOffsetSeconds / 60;
    char sign = off < 0 ? '-' : '+';
    off = std::abs(off);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d %c%02d%02d", lt.date.year,
                  lt.date.month, lt.date.day, lt.hour, lt.minute, lt.second, sign, off / 60,
                  off % 60);
    return buf;
}

namespace {

class AppendTo : public pugi::xml_writer {
  public:
    explicit AppendTo(std::string& out) : out_(out) {}
    void write(const void* data, std::size_t size) override {
        out_.append(static_cast<const char*>(data), size);
    }

  private:
    std::string& out_;
};

}  // namespace

namespace {

// One channel as written: its id, names and icon, and its programmes as runs
// of lists held elsewhere.
struct ChannelOut {
    std::string_view id;
    std::vector<std::string> names;
    std::string_view icon;
    std::vector<std::span<const Programme>> runs;
};

bool shown(const Programme& p) {
    return !xmltv_out::blank(xmltv_out::xmlSafe(p.title));
}

void appendText(pugi::xml_node node, const char* name, const std::string& text, bool lang) {
    std::string safe = xmltv_out::xmlSafe(text);
    if (xmltv_out::blank(safe)) return;
    pugi::xml_node child = node.append_child(name);
    if (lang) child.append_attribute("lang") = "zh";
    child.text() = safe.c_str();
}

// The document is written a channel at a time: one tree of a whole dense
// week (400,000 programmes) took about 200 MB beside its text, a channel's
// tree takes a megabyte. The text comes out as saving the whole tree would
// write it.
std::string writeChannels(std::vector<ChannelOut> channels, const Zone& zone) {
    // A channel without a programme to show is left out: the validator
    // counts one as an error.
    std::erase_if(channels, [](const ChannelOut& c) {
        return std::none_of(c.runs.begin(), c.runs.end(), [](std::span<const Programme> run) {
            return std::any_of(run.begin(), run.end(), shown);
        });
    });
    // What it comes to, a little over: room short of the text would copy it
    // as it grows, and room well past it would copy it to shrink it. A
    // programme's lines without their texts are 127 bytes and its id; a
    // description's 28, a category's 26; a 32nd more for escapes.
    std::size_t estimate = 4096;
    for (const ChannelOut& c : channels) {
        estimate += 64 + c.id.size() + c.icon.size();
        for (const std::string& n : c.names) estimate += 48 + n.size();
        for (std::span<const Programme> run : c.runs)
            for (const Programme& p : run) {
                const std::size_t texts = p.title.size() + p.description.size() + p.category.size();
                estimate += 128 + c.id.size() + texts + texts / 32;
                if (!p.description.empty()) estimate += 28;
                if (!p.category.empty()) estimate += 26;
            }
    }
    std::string out;
    out.reserve(estimate);
    AppendTo writer(out);
    auto print = [&writer](pugi::xml_document& part) {
        for (pugi::xml_node n = part.first_child(); n; n = n.next_sibling())
            n.print(writer, "  ", pugi::format_default, pugi::encoding_utf8, 1);
        part.reset();
    };
    pugi::xml_document part;
    auto decl = part.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    pugi::xml_node tv = part.append_child("tv");
    tv.append_attribute("generator-info-name") = "tvguide-epgd";
    if (channels.empty()) {
        part.save(writer, "  ", pugi::format_default, pugi::encoding_utf8);  // an empty root
        return out;
    }
    // The declaration and the root's start tag, as the tree of both says them.
    part.save(writer, "  ", pugi::format_default | pugi::format_no_empty_element_tags,
              pugi::encoding_utf8);
    out.erase(out.rfind("</tv>"));
    out += '\n';
    part.reset();

    for (const ChannelOut& c : channels) {
        pugi::xml_node ch = part.append_child("channel");
        ch.append_attribute("id") = std::string(c.id).c_str();
        bool first = true;
        for (const std::string& n : c.names) {
            pugi::xml_node name = ch.append_child("display-name");
            if (first)
                name.append_attribute("lang") = "zh";  // the catalogue's, or the feed's first
            first = false;
            name.text() = n.c_str();
        }
        if (std::string icon = xmltv_out::xmlSafe(c.icon); !xmltv_out::blank(icon))
            ch.append_child("icon").append_attribute("src") = icon.c_str();
    }
    print(part);
    for (const ChannelOut& c : channels) {
        const std::string id(c.id);
        for (std::span<const Programme> run : c.runs)
            for (const Programme& p : run) {
                if (!shown(p)) continue;
                pugi::xml_node node = part.append_child("programme");
                node.append_attribute("start") = xmltvTime(p.start, zone).c_str();
                if (p.stop != 0) node.append_attribute("stop") = xmltvTime(p.stop, zone).c_str();
                node.append_attribute("channel") = id.c_str();
                appendText(node, "title", p.title, true);
                appendText(node, "desc", p.description, true);
                appendText(node, "category", p.category, false);
            }
        print(part);
    }
    out += "</tv>\n";
    return out;
}

ChannelOut catalogueChannel(std::size_t c, const std::vector<Programme>& programmes,
                            const Listings* listings) {
    ChannelOut out;
    out.id = channelXmltvId(c);
    out.names =
        xmltvDisplayNames(c, listings ? listings->feedNames(c) : std::span<const std::string>());
    if (listings) out.icon = listings->icon(c);
    out.runs.push_back(programmes);
    return out;
}

}  // namespace

std::string writeXmltv(const ChannelProgrammes& channels, const Zone& zone, const Listings* names) {
    std::vector<ChannelOut> out;
    for (std::size_t c = 0; c < std::min(channels.size(), channelCount()); ++c)
        out.push_back(catalogueChannel(c, channels[c], names));
    return writeChannels(std::move(out), zone);
}

std::string writeXmltv(const Listings& listings, Seconds from, Seconds to, const Zone& zone) {
    ChannelProgrammes programmes(channelCount());
    std::vector<ChannelOut> out;
    for (std::size_t c = 0; c < programmes.size(); ++c) {
        programmes[c] = listings.starting(c, from, to);
        out.push_back(catalogueChannel(c, programmes[c], &listings));
    }
    for (const OtherChannel& other : listings.others()) {
        ChannelOut c;
        c.id = other.id;
        for (const std::string& n : other.names)
            if (std::string name = xmltv_out::xmlSafe(base::trim(n)); !name.empty())
                c.names.push_back(std::move(name));
        c.icon = other.icon;
        c.runs = other.schedule->runs(from, to);
        out.push_back(std::move(c));
    }
    return writeChannels(std::move(out), zone);
}

std::string writeXmltvFile(const std::string& fileName, const Listings& listings, Seconds from,
                           Seconds to, const Zone& zone) {
    std::string text = writeXmltv(listings, from, to, zone);
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) return fileName + ": cannot write: " + std::strerror(errno);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) return fileName + ": cannot write";
    return {};
}

}  // namespace epg
