#include "server/channels/channel_names.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "channel_names_txt.h"
#include "encoding/text_encoding.h"
#include "server/channels/simplified.h"
#include "server/util/text_trim.h"

namespace epg {
namespace {

// Between two digits in a folded name: "CCTV-16 4K" is not CCTV-164K. Gone
// from every key.
constexpr char32_t kNumberGap = U' ';

char32_t foldChar(char32_t c) {
    if (c == encoding::kNotUtf8) return 0xFFFD;
    if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;  // full-width ASCII
    if (c == 0x3000) c = U' ';                    // ideographic space
    if (c == 0x207A || c == 0xFE62) c = U'+';     // superscript and small plus: "CCTV5⁺"
    if (c >= U'A' && c <= U'Z') return c + (U'a' - U'A');
    // Latin-1 and Cyrillic capitals: CGTN's names in French and Russian.
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
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

bool isDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

bool isCjk(char32_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x2FA1F);
}

// Characters folded, ignored ones dropped, brackets still in place.
std::u32string fold(std::string_view utf8) {
    std::u32string chars = encoding::decodeUtf8(utf8);
    // OpenCC is for text; bytes that are none stay as they are.
    if (std::find(chars.begin(), chars.end(), encoding::kNotUtf8) == chars.end())
        chars = encoding::decodeUtf8(simplified(utf8));
    std::u32string out;
    bool gap = false;
    for (char32_t c : chars) {
        c = foldChar(c);
        if (ignored(c)) {
            gap = true;
            continue;
        }
        if (gap && isDigit(c) && !out.empty() && isDigit(out.back())) out += kNumberGap;
        gap = false;
        out += c;
    }
    // "CCTV-01" is CCTV1: a number right after letters loses its leading zeros.
    std::u32string numbered;
    for (std::size_t i = 0; i < out.size(); ++i) {
        bool leadingZero = out[i] == U'0' && i + 1 < out.size() && isDigit(out[i + 1]) &&
                           !numbered.empty() && numbered.back() >= U'a' && numbered.back() <= U'z';
        if (!leadingZero) numbered += out[i];
    }
    return numbered;
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

// "1080p", "576i": a picture size, which says nothing of the channel.
bool isPictureSize(const std::u32string& s) {
    if (s.size() < 4 || (s.back() != U'p' && s.back() != U'i')) return false;
    return std::all_of(s.begin(), s.end() - 1, [](char32_t c) { return c >= U'0' && c <= U'9'; });
}

bool isBracket(char32_t c) {
    return closing(c) != 0 || c == U')' || c == U']' || c == 0x3011 || c == 0x3015;
}

std::u32string withoutGaps(std::u32string s) {
    std::erase(s, kNumberGap);
    return s;
}

std::string utf8Of(const std::u32string& s) {
    std::string out;
    for (char32_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    while (!line.empty()) {
        auto tab = line.find('\t');
        std::string_view f = trim(line.substr(0, tab));
        if (!f.empty()) out.push_back(f);
        if (tab == std::string_view::npos) break;
        line.remove_prefix(tab + 1);
    }
    return out;
}

// A `same` line names channels 1 to 9 of a numbered family at once.
constexpr std::string_view kNumber = "{N}";
constexpr int kFamilySize = 9;

std::string withNumber(std::string_view pattern, int n) {
    const std::string number = std::to_string(n);
    std::string out;
    for (auto at = pattern.find(kNumber);; at = pattern.find(kNumber)) {
        out += pattern.substr(0, at);
        if (at == std::string_view::npos) return out;
        out += number;
        pattern.remove_prefix(at + kNumber.size());
    }
}

}  // namespace

std::optional<ChannelNames> ChannelNames::parse(std::string_view text, std::string& error) {
    ChannelNames names;
    struct Line {
        std::size_t number;
        std::vector<std::string_view> fields;
    };
    std::vector<Line> sameLines;
    auto fail = [&](std::size_t lineNo, const std::string& what) {
        error = "channel_names.txt:" + std::to_string(lineNo) + ": " + what;
        return std::nullopt;
    };
    // The words first: every `same` name is read with all of them, wherever
    // they stand in the file.
    for (std::size_t lineNo = 1; !text.empty(); ++lineNo) {
        std::string_view line = trim(takeLine(text));
        if (line.empty() || line.front() == '#') continue;
        std::vector<std::string_view> f = fields(line);
        const std::string keyword(f[0]);
        if (keyword == "same") {
            if (f.size() < 3) return fail(lineNo, "same needs two names at least");
            sameLines.push_back({lineNo, {f.begin() + 1, f.end()}});
            continue;
        }
        if (keyword == "other") {
            if (f.size() < 2) return fail(lineNo, "other needs a word");
            Other other;
            for (std::size_t i = 1; i < f.size(); ++i) {
                std::u32string form = withoutGaps(fold(f[i]));
                if (form.empty()) return fail(lineNo, "an empty other");
                other.forms.push_back(std::move(form));
            }
            other.canonical = other.forms.front();
            names.others_.push_back(std::move(other));
            continue;
        }
        std::vector<std::u32string>* list = keyword == "brand"     ? &names.brands_
                                            : keyword == "suffix"  ? &names.suffixes_
                                            : keyword == "variant" ? &names.variants_
                                            : keyword == "status"  ? &names.statuses_
                                                                   : nullptr;
        if (!list) return fail(lineNo, "unknown keyword \"" + keyword + "\"");
        if (f.size() != 2) return fail(lineNo, keyword + " takes one word");
        std::u32string word = withoutGaps(fold(f[1]));
        if (word.empty()) return fail(lineNo, "an empty " + keyword);
        list->push_back(std::move(word));
    }
    for (const Line& line : sameLines) {
        bool family = false;
        for (std::string_view n : line.fields) family = family || n.find(kNumber) != n.npos;
        for (int n = 1; n <= (family ? kFamilySize : 1); ++n) {
            std::vector<std::string> expanded;
            for (std::string_view name : line.fields)
                expanded.push_back(family ? withNumber(name, n) : std::string(name));
            std::vector<std::string_view> views(expanded.begin(), expanded.end());
            if (std::string why = names.addSame(views); !why.empty()) return fail(line.number, why);
        }
    }
    return names;
}

std::string ChannelNames::addSame(const std::vector<std::string_view>& names) {
    const std::u32string channel = base(fold(names.front()));
    for (std::string_view name : names) {
        std::u32string b = base(fold(name));
        // Appended: GCC 12 at -O3 takes "literal" + std::string for an
        // overlapping copy.
        std::string quoted = std::string("\"").append(name).append("\"");
        if (b.empty()) return quoted + " has nothing left of a name";
        auto [at, added] = same_.try_emplace(b, channel);
        if (!added) return quoted + " is already a name of \"" + utf8Of(at->second) + "\"";
    }
    return {};
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

std::u32string ChannelNames::withoutSuffixes(std::u32string s) const {
    for (bool again = true; again;) {
        again = false;
        for (const auto& suffix : suffixes_) {
            if (s.size() > suffix.size() && s.ends_with(suffix)) {
                s.resize(s.size() - suffix.size());
                again = true;
            }
        }
    }
    return s;
}

// "cctv" and a digit lead `whole`: the number's channel, or another one
// when a word of the table follows.
std::u32string ChannelNames::cctvNumber(const std::u32string& whole) const {
    std::size_t end = 4;
    while (end < whole.size() && isDigit(whole[end])) ++end;
    std::u32string channel = whole.substr(0, end);
    const std::u32string rest = withoutGaps(whole.substr(end));
    const std::u32string restCore = withoutSuffixes(rest);
    for (const Other& other : others_)
        for (const auto& form : other.forms)
            // One character ("+", "欧" of "（欧）") counts at either end only:
            // inside a descriptor it is part of another word.
            if (rest.starts_with(form) || restCore.ends_with(form) ||
                (form.size() > 1 && rest.find(form) != std::u32string::npos))
                return channel + other.canonical;
    return channel;
}

std::u32string ChannelNames::base(std::u32string f) const {
    std::u32string whole, core;  // bracketed words kept; descriptors dropped
    for (std::size_t i = 0; i < f.size(); ++i) {
        char32_t close = closing(f[i]);
        std::size_t end = close ? f.find(close, i + 1) : std::u32string::npos;
        if (end != std::u32string::npos) {
            std::u32string inner;
            for (std::size_t k = i + 1; k < end; ++k)
                if (!isBracket(f[k])) inner += f[k];
            i = end;
            // What a playlist says of a stream ("(1080p)", "[Geo-blocked]"),
            // not of the channel: gone even after a CCTV number.
            const std::u32string bare = withoutGaps(inner);
            if (isPictureSize(bare) ||
                std::find(statuses_.begin(), statuses_.end(), bare) != statuses_.end())
                continue;
            whole += inner;
            for (const auto& v : variants_)
                if (bare == v) core += inner;
            continue;
        }
        if (isBracket(f[i])) continue;
        whole += f[i];
        core += f[i];
    }
    if (whole.size() > 4 && whole.starts_with(U"cctv") && isDigit(whole[4]))
        return cctvNumber(whole);
    core = withoutGaps(std::move(core));
    for (const auto& brand : brands_) {
        if (core.size() <= brand.size() || !core.starts_with(brand) || isDigit(core[brand.size()]))
            continue;
        std::u32string rest = core.substr(brand.size());
        bool chinese = false;  // Latin letters alone are a code: "CCTV-E", "CCTV-NEWS"
        for (char32_t c : rest) chinese = chinese || isCjk(c);
        if (chinese) return base(std::move(rest));
    }
    return withoutSuffixes(std::move(core));
}

std::string ChannelNames::key(std::string_view utf8) const {
    std::u32string b = base(fold(utf8));
    auto it = same_.find(b);
    return utf8Of(it == same_.end() ? b : it->second);
}

bool ChannelNames::definite(std::string_view key) const {
    if (key.size() > 4 && key.starts_with("cctv") && key[4] >= '0' && key[4] <= '9') return true;
    std::u32string k = encoding::decodeUtf8(key);
    auto it = same_.find(k);
    return it != same_.end() && it->second == k;
}

}  // namespace epg
