#include "server/xmltv/xmltv_write.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>

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

std::string writeXmltv(const ChannelProgrammes& channels, const Zone& zone) {
    pugi::xml_document doc;
    auto decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    pugi::xml_node tv = doc.append_child("tv");
    tv.append_attribute("generator-info-name") = "tvguide-epgd";
    std::size_t count = std::min(channels.size(), channelCount());
    for (std::size_t c = 0; c < count; ++c) {
        if (channels[c].empty()) continue;
        pugi::xml_node ch = tv.append_child("channel");
        ch.append_attribute("id") = std::string(channelPath(c)).c_str();
        pugi::xml_node name = ch.append_child("display-name");
        name.append_attribute("lang") = "zh";
        name.text() = channelNameUtf8(c).c_str();
    }
    for (std::size_t c = 0; c < count; ++c) {
        std::string id(channelPath(c));
        for (const auto& p : channels[c]) {
            pugi::xml_node node = tv.append_child("programme");
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
    }
    std::ostringstream out;
    doc.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
    return std::move(out).str();
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
