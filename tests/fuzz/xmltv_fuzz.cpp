// Any bytes as an XMLTV document, a map file and a time: no crash, no
// sanitizer report, errors name the file, the document is the same whether
// its bytes come at once or in small chunks, the map decides the rows it
// names, and every title read renders to a page the guide's parse gives back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/schedule/schedule_parse.h"
#include "server/channels/channel_map.h"
#include "server/channels/xmltv_listings.h"
#include "server/site/gbk_text.h"
#include "server/site/page_render.h"
#include "server/xmltv/xmltv_read.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const epg::Zone zone = epg::Zone::named("Asia/Shanghai").value_or(epg::Zone::local());
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    epg::parseXmltvTime(bytes.substr(0, 40));
    epg::parseChannelMap(bytes, "fuzz.map");

    epg::XmltvParse parsed = epg::parseXmltv(std::string(bytes), "fuzz.xml");
    // Read as it arrives, in small chunks, the same bytes make the same
    // document, or are refused as well.
    epg::XmltvReader reader("fuzz.xml");
    const std::size_t chunk = size > 0 ? data[0] % 13 + 1 : 1;
    for (std::size_t at = 0; at < bytes.size(); at += chunk)
        if (!reader.feed(bytes.substr(at, chunk))) break;
    epg::XmltvParse chunked = reader.finish();
    if (chunked.document.has_value() != parsed.document.has_value()) std::abort();
    if (!parsed.document) {
        if (parsed.error.rfind("fuzz.xml:", 0) != 0) std::abort();  // errors name the file
        if (chunked.error.rfind("fuzz.xml:", 0) != 0) std::abort();
        return 0;
    }
    const epg::XmltvDocument &whole = *parsed.document, &cut = *chunked.document;
    if (whole.channels.size() != cut.channels.size() ||
        whole.programmes.size() != cut.programmes.size())
        std::abort();
    for (std::size_t i = 0; i < whole.channels.size(); ++i)
        if (whole.channels[i].id != cut.channels[i].id ||
            whole.channels[i].names != cut.channels[i].names)
            std::abort();
    for (const auto& [id, list] : whole.programmes) {
        auto it = cut.programmes.find(id);
        if (it == cut.programmes.end() || it->second.programmes != list.programmes ||
            it->second.skipped != list.skipped)
            std::abort();
    }
    for (const auto& p : parsed.document->programmes)
        for (const auto& prog : p.second.programmes)
            if (prog.title.empty() || prog.title.size() > 4 * epg::kTitleCap ||
                prog.description.size() > 4 * epg::kDescriptionCap)
                std::abort();
    epg::SourceDocuments docs{
        std::make_shared<const epg::XmltvDocument>(std::move(*parsed.document))};
    epg::ChannelMap map;
    map["c"].push_back(0);
    epg::XmltvListings x = epg::listingsFromXmltv(docs, &map, zone);
    if (x.match.rows.empty() || x.match.rows[0].id != "c") std::abort();  // the map wins
    (void)epg::channelMapText(x.match);

    auto programmes = x.listings->starting(0, INT32_MIN, INT32_MAX);
    if (programmes.size() > 200) programmes.resize(200);
    for (auto& p : programmes) p.start = 0;  // one day, whatever the times were
    auto rows = app::parseSchedule(epg::renderDayPage(0, {1970, 1, 1}, programmes, zone));
    if (rows.size() != programmes.size()) std::abort();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].title != epg::shownTitle(programmes[i].title)) std::abort();
    return 0;
}
