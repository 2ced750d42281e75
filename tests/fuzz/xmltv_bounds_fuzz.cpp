// Documents with huge tokens (titles, comments, attributes, start tags of up
// to megabytes), made from a few fuzzer bytes and fed in chunks of random
// sizes: no crash, no sanitizer report; the piece reader never holds more
// than the bound allows, looks at each byte a bounded number of times, and
// cuts where the content says whatever the chunks; every text the document
// keeps is within its cap and ends on a whole character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "server/xmltv/xml_pieces.h"
#include "server/xmltv/xmltv_read.h"

namespace {

constexpr std::size_t kLongest = 64 * 1024;  // the bound, small so that runs stay fast
constexpr std::size_t kPieceSize = 4096;
constexpr std::size_t kMostText = 1 << 20;  // sixteen times the bound

// Each input byte picks a token; a run repeats one text thousands of times.
const char* const kTokens[] = {
    "<?xml version=\"1.0\"?>\n",
    "<tv>",
    "</tv>",
    "<tv x=\"",
    "<programme channel=\"",
    "\" start=\"20261207190000 +0800\">",
    "</programme>",
    "<title>",
    "</title>",
    "<desc>",
    "</desc>",
    "<channel id=\"",
    "\">",
    "<display-name>",
    "</display-name>",
    "</channel>",
    "<!--",
    "-->",
    "<![CDATA[",
    "]]>",
    "<?pi ",
    "?>",
    "<!DOCTYPE tv [<!ENTITY e '",
    "'>]>",
    "\"",
    "'",
    "<",
    ">",
    "/>",
    "&#0;",
    "&amp;",
    "剧",
    "\n",
    " ",
    "x",
};
const char* const kRuns[] = {"a", "剧", " ", "-", "\"", "'", ">", "<x>", "<!-- -->", "é\n"};

std::string expand(std::string_view in) {
    std::string out;
    constexpr std::size_t kTokenCount = sizeof kTokens / sizeof *kTokens;
    for (std::size_t i = 0; i < in.size() && out.size() < kMostText; ++i) {
        auto b = static_cast<unsigned char>(in[i]);
        if (b < kTokenCount) {
            out += kTokens[b];
        } else if (b < 0xC0) {  // a run: which text, how many thousand times
            std::string_view run = kRuns[b % (sizeof kRuns / sizeof *kRuns)];
            std::size_t times = 1024 * (1 + (i + 1 < in.size() ? in[++i] & 0x7F : 0));
            for (std::size_t k = 0; k < times && out.size() < kMostText; ++k) out += run;
        } else if (i + 1 < in.size()) {  // a byte as it is
            out += in[++i];
        }
    }
    return out;
}

// Chunk sizes from a small generator: mostly small, now and then large.
struct Chunks {
    std::uint32_t state;
    std::size_t next() {
        state = state * 1103515245u + 12345u;
        std::uint32_t r = state >> 8;
        switch (r % 4) {
            case 0: return 1 + r / 4 % 8;
            case 1: return 1 + r / 4 % 512;
            case 2: return 1 + r / 4 % 8192;
            default: return 1 + r / 4 % 200000;
        }
    }
};

std::size_t characters(std::string_view s) {
    std::size_t n = 0;
    for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// At most `cap` characters, none of them cut.
void checkKept(std::string_view s, std::size_t cap) {
    if (characters(s) > cap) std::abort();
    std::size_t at = s.size();
    while (at > 0 && (static_cast<unsigned char>(s[at - 1]) & 0xC0) == 0x80) --at;
    if (at == 0) {
        if (!s.empty()) std::abort();  // only continuation bytes
        return;
    }
    auto lead = static_cast<unsigned char>(s[at - 1]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (s.size() - (at - 1) != length) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint32_t seed = data[0] | std::uint32_t{data[1]} << 8;
    const std::string text =
        expand(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2));

    // The piece reader: what it holds and how often it looks at a byte.
    Chunks chunks{seed};
    epg::XmlPieceReader pieces(
        "tv", [](pugi::xml_node) {}, kPieceSize, kLongest);
    std::optional<epg::XmlError> error;
    std::size_t feeds = 0;
    for (std::size_t at = 0; at < text.size() && !error; ++feeds) {
        const std::size_t chunk = chunks.next();
        pieces.text().append(text, at, chunk);
        at += chunk;
        error = pieces.advance();
        if (!error && pieces.text().size() > kPieceSize + kLongest + 2 * chunk) std::abort();
    }
    if (!error) error = pieces.finish();
    if (pieces.examined() > 5 * text.size() + 64 * (feeds + 1)) std::abort();
    // All at once, the same outcome; a thing too long is cut off where the
    // content says, whatever the chunks.
    std::optional<epg::XmlError> whole = epg::parseInPieces(
        text, "tv", [](pugi::xml_node) {}, kPieceSize, kLongest);
    if (whole.has_value() != error.has_value()) std::abort();
    auto held = [](const std::optional<epg::XmlError>& e) {
        return e && e->what.find("the most the reader holds") != std::string::npos;
    };
    if (held(whole) && held(error) && (whole->line != error->line || whole->what != error->what))
        std::abort();

    // The XMLTV reader: what the document keeps.
    epg::XmltvLimits limits;
    limits.elementBytes = kLongest;
    epg::XmltvReader reader("fuzz.xml", limits);
    chunks = Chunks{seed ^ 0x9E37u};
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t chunk = chunks.next();
        if (!reader.feed(std::string_view(text).substr(at, chunk))) break;
        at += chunk;
    }
    epg::XmltvParse parsed = reader.finish();
    if (!parsed.document) {
        if (parsed.error.rfind("fuzz.xml:", 0) != 0) std::abort();
        return 0;
    }
    for (const auto& c : parsed.document->channels) {
        checkKept(c.id, epg::kNameCap);
        for (const auto& name : c.names) checkKept(name, epg::kNameCap);
    }
    for (const auto& [id, list] : parsed.document->programmes) {
        checkKept(id, epg::kNameCap);
        for (const auto& p : list.programmes) {
            checkKept(p.title, epg::kTitleCap);
            checkKept(p.description, epg::kDescriptionCap);
        }
    }
    return 0;
}
