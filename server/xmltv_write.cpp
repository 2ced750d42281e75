#include "server/xmltv_write.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>

#include "server/channels.h"

namespace epg {

std::string xmltvTime(Seconds t) {
    LocalTime lt = toLocal(t);
    int off = lt.utcOffsetSeconds / 60;
    char sign = off < 0 ? '-' : '+';
    off = std::abs(off);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d %c%02d%02d", lt.date.year,
                  lt.date.month, lt.date.day, lt.hour, lt.minute, lt.second, sign, off / 60,
                  off % 60);
    return buf;
}

std::string writeXmltv(const Listings& listings, Seconds from, Seconds to) {
    pugi::xml_document doc;
    auto decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    pugi::xml_node tv = doc.append_child("tv");
    tv.append_attribute("generator-info-name") = "tvguide-epgd";
    for (std::size_t c = 0; c < channelCount(); ++c) {
        pugi::xml_node ch = tv.append_child("channel");
        ch.append_attribute("id") = std::string(channelPath(c)).c_str();
        pugi::xml_node name = ch.append_child("display-name");
        name.append_attribute("lang") = "zh";
        name.text() = channelNameUtf8(c).c_str();
    }
    for (std::size_t c = 0; c < channelCount(); ++c) {
        std::string id(channelPath(c));
        for (const auto& p : listings.starting(c, from, to)) {
            pugi::xml_node node = tv.append_child("programme");
            node.append_attribute("start") = xmltvTime(p.start).c_str();
            if (p.stop != 0) node.append_attribute("stop") = xmltvTime(p.stop).c_str();
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
    return out.str();
}

std::string writeXmltvFile(const std::string& fileName, const Listings& listings, Seconds from,
                           Seconds to) {
    std::string text = writeXmltv(listings, from, to);
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) return fileName + ": cannot write: " + std::strerror(errno);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) return fileName + ": cannot write";
    return {};
}

}  // namespace epg
