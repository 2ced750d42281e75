#include "server/xmltv/xmltv_write.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <pugixml.hpp>

#include "server/channels/channels.h"

namespace epg {

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

// The document is written a channel at a time: one tree of a whole dense
// week (400,000 programmes) took about 200 MB beside its text, a channel's
// tree takes a megabyte. The text comes out as saving the whole tree would
// write it.
std::string writeXmltv(const ChannelProgrammes& channels, const Zone& zone) {
    const std::size_t count = std::min(channels.size(), channelCount());
    // About what it comes to, so that the text is not copied as it grows.
    std::size_t estimate = 4096;
    for (std::size_t c = 0; c < count; ++c)
        for (const auto& p : channels[c]) estimate += 192 + p.title.size() + p.description.size();
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
    const bool any =
        std::any_of(channels.begin(), channels.begin() + static_cast<std::ptrdiff_t>(count),
                    [](const auto& list) { return !list.empty(); });
    if (!any) {  // an empty root, as a whole tree saves it
        part.save(writer, "  ", pugi::format_default, pugi::encoding_utf8);
        return out;
    }
    // The declaration and the root's start tag, as the tree of both says them.
    part.save(writer, "  ", pugi::format_default | pugi::format_no_empty_element_tags,
              pugi::encoding_utf8);
    out.erase(out.rfind("</tv>"));
    out += '\n';
    part.reset();

    for (std::size_t c = 0; c < count; ++c) {
        if (channels[c].empty()) continue;
        pugi::xml_node ch = part.append_child("channel");
        ch.append_attribute("id") = std::string(channelPath(c)).c_str();
        pugi::xml_node name = ch.append_child("display-name");
        name.append_attribute("lang") = "zh";
        name.text() = channelNameUtf8(c).c_str();
    }
    print(part);
    for (std::size_t c = 0; c < count; ++c) {
        std::string id(channelPath(c));
        for (const auto& p : channels[c]) {
            pugi::xml_node node = part.append_child("programme");
            node.append_attribute("start") = xmltvTime(p.start, zone).c_str();
            if (p.stop != 0) node.append_attribute("stop") = xmltvTime(p.stop, zone).c_str();
            node.append_attribute("channel") = id.c_str();
            pugi::xml_node title = node.append_child("title");
            title.append_attribute("lang") = "zh";
            title.text() = p.title.c_str();
            if (!p.description.empty()) {
                pugi::xml_node desc = node.append_child("desc");
                desc.append_attribute("lang") = "zh";
                desc.text() = p.description.c_str();
            }
        }
        print(part);
    }
    out += "</tv>\n";
    return out;
}

std::string writeXmltv(const Listings& listings, Seconds from, Seconds to, const Zone& zone) {
    ChannelProgrammes channels(channelCount());
    for (std::size_t c = 0; c < channels.size(); ++c) channels[c] = listings.starting(c, from, to);
    return writeXmltv(channels, zone);
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
