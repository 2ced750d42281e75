#include "server/channels/channel_names.h"

#include <cstdio>
#include <cstdlib>

#include "channel_names_txt.h"
#include "encoding/text_encoding.h"
#include "server/util/text_trim.h"

namespace epg {
namespace {

char32_t foldChar(char32_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;  // full-width ASCII
    if (c == 0x3000) c = U' ';                    // ideographic space
    if (c >= U'A' && c <= U'Z') c += U'a' - U'A';
    return c;
}

bool ignored(char32_t c) {
    switch (c) {
        case U' ':
        case U'\t':
        case U'\r':
        case U'\n':
        case U'-':
        case U'_':
        case 0x00B7:  // ·
        case 0x30FB:  // ・
        case 0x2027:  // ‧
        case 0x2010:
        case 0x2011:
        case 0x2012:
        case 0x2013:
        case 0x2014:
        case 0x2015: return true;
        default: return false;
    }
}

std::u32string fold(std::string_view utf8) {
    std::u32string out;
    for (char32_t c : encoding::decodeUtf8(utf8)) {
        c = foldChar(c);
        if (!ignored(c)) out += c;
    }
    return out;
}

// The bracket that closes `open`, or 0 when `open` opens none.
char32_t closing(char32_t open) {
    switch (open) {
        case U'(': return U')';
        case U'[': return U']';
        case 0x3010: return 0x3011;  // 【】
        case 0x3014: return 0x3015;  // 〔〕
        default: return 0;
    }
}

bool isBracket(char32_t c) {
    return closing(c) != 0 || c == U')' || c == U']' || c == 0x3011 || c == 0x3015;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    while (!line.empty()) {
        auto tab = line.find('\t');
        std::string_view f = trimBlanks(line.substr(0, tab));
        if (!f.empty()) out.push_back(f);
        if (tab == std::string_view::npos) break;
        line.remove_prefix(tab + 1);
    }
    return out;
}

}  // namespace

std::optional<ChannelNames> ChannelNames::parse(std::string_view text, std::string& error) {
    ChannelNames names;
    std::size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        std::string_view line = takeLine(text);
        if (trimBlanks(line).empty() || trimBlanks(line).front() == '#') continue;
        std::vector<std::string_view> f = fields(line);
        auto fail = [&](const std::string& what) {
            error = "channel_names.txt:" + std::to_string(lineNo) + ": " + what;
            return std::nullopt;
        };
        if (f[0] == "rename") {
            if (f.size() < 3) return fail("a rename needs a catalogue name and a feed name");
            auto& to = names.renames_[std::string(f[1])];
            if (!to.empty()) return fail("\"" + std::string(f[1]) + "\" is renamed twice");
            to.assign(f.begin() + 2, f.end());
            continue;
        }
        std::vector<std::u32string>* list = f[0] == "brand"     ? &names.brands_
                                            : f[0] == "suffix"  ? &names.suffixes_
                                            : f[0] == "variant" ? &names.variants_
                                                                : nullptr;
        if (!list) return fail("unknown keyword \"" + std::string(f[0]) + "\"");
        if (f.size() != 2) return fail(std::string(f[0]) + " takes one word");
        std::u32string word = fold(f[1]);
        if (word.empty()) return fail("an empty " + std::string(f[0]));
        list->push_back(std::move(word));
    }
    return names;
}

const ChannelNames& ChannelNames::builtIn() {
    static const ChannelNames names = [] {
        auto bytes = embedded::channel_names_txt();
        std::string error;
        auto parsed = parse({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, error);
        if (!parsed) {
            std::fprintf(stderr, "built-in channel names: %s\n", error.c_str());
            std::abort();
        }
        return std::move(*parsed);
    }();
    return names;
}

NameForms ChannelNames::formsOfFolded(std::u32string f) const {
    NameForms out;
    for (std::size_t i = 0; i < f.size(); ++i) {
        char32_t close = closing(f[i]);
        std::size_t end = close ? f.find(close, i + 1) : std::u32string::npos;
        if (end != std::u32string::npos) {
            std::u32string inner;
            for (std::size_t k = i + 1; k < end; ++k)
                if (!isBracket(f[k])) inner += f[k];
            out.whole += inner;
            for (const auto& v : variants_)
                if (inner == v) out.core += inner;
            i = end;
            continue;
        }
        if (isBracket(f[i])) continue;
        out.whole += f[i];
        out.core += f[i];
    }
    out.stripped = out.core;
    for (bool again = true; again;) {
        again = false;
        for (const auto& s : suffixes_) {
            if (out.stripped.size() > s.size() && out.stripped.ends_with(s)) {
                out.stripped.resize(out.stripped.size() - s.size());
                again = true;
            }
        }
    }
    return out;
}

NameForms ChannelNames::forms(std::string_view utf8) const {
    return formsOfFolded(fold(utf8));
}

std::optional<NameForms> ChannelNames::withoutBrand(std::string_view utf8) const {
    std::u32string f = fold(utf8);
    for (const auto& brand : brands_) {
        if (f.size() <= brand.size() || !f.starts_with(brand)) continue;
        std::u32string rest = f.substr(brand.size());
        bool number = rest[0] >= U'0' && rest[0] <= U'9';
        bool ownName = false;  // Latin letters alone are a code: "CCTV-E", "CCTV-NEWS"
        for (char32_t c : rest) ownName = ownName || (c >= 0x80 && !isBracket(c));
        if (number || !ownName) return std::nullopt;
        return formsOfFolded(std::move(rest));
    }
    return std::nullopt;
}

const std::vector<std::string>* ChannelNames::renamed(std::string_view catalogueName) const {
    auto it = renames_.find(std::string(trimBlanks(catalogueName)));
    return it == renames_.end() ? nullptr : &it->second;
}

}  // namespace epg
