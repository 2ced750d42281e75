#include "runtime/values/text_commands.h"

#include <cstring>

namespace rt {
namespace {

// A text ends at its first NUL.
std::string_view asText(std::string_view s) {
    const auto nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

bool isLead(unsigned char c) {
    return c >= 0x80;
}

unsigned char foldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

bool matchesAt(std::string_view text, std::size_t at, std::string_view search, bool ignoreCase) {
    if (!ignoreCase) return std::memcmp(text.data() + at, search.data(), search.size()) == 0;
    // Only ASCII letters fold: a double-byte character, whose trail byte may
    // look like a letter, must match exactly.
    for (std::size_t i = 0; i < search.size(); ++i) {
        const auto s = static_cast<unsigned char>(search[i]);
        const auto t = static_cast<unsigned char>(text[at + i]);
        if (isLead(s)) {
            if (t != s) return false;
            if (++i < search.size() && text[at + i] != search[i]) return false;
            continue;
        }
        if (foldAscii(t) != foldAscii(s)) return false;
    }
    return true;
}

// Width of the character starting at `at`: 1, 2, or 0 for a lead byte that
// the end of the text cuts off.
std::size_t charWidth(std::string_view text, std::size_t at) {
    if (!isLead(static_cast<unsigned char>(text[at]))) return 1;
    return at + 1 < text.size() ? 2 : 0;
}

std::size_t startOffset(std::optional<int> start) {
    return start && *start > 1 ? static_cast<std::size_t>(*start) - 1 : 0;
}

}  // namespace

Text joinTexts(std::initializer_list<std::string_view> parts) {
    std::size_t total = 0;
    for (auto p : parts) total += asText(p).size();
    Text out;
    out.reserve(total);
    for (auto p : parts) out.append(asText(p));
    return out;
}

int compareBytes(std::string_view a, std::string_view b) {
    a = asText(a);
    b = asText(b);
    const int r = std::memcmp(a.data(), b.data(), a.size() < b.size() ? a.size() : b.size());
    if (r != 0) return r < 0 ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int textLength(std::string_view text) {
    return static_cast<int>(asText(text).size());
}

Text leftPart(std::string_view text, int n) {
    text = asText(text);
    if (n <= 0) return {};
    return Text(text.substr(0, static_cast<std::size_t>(n)));
}

int findText(std::string_view text, std::string_view search, std::optional<int> start,
             bool ignoreCase) {
    text = asText(text);
    search = asText(search);
    std::size_t at = startOffset(start);
    if (at >= text.size()) return -1;
    if (search.empty()) return 1;
    while (text.size() - at >= search.size()) {
        if (matchesAt(text, at, search, ignoreCase)) return static_cast<int>(at) + 1;
        const std::size_t w = charWidth(text, at);
        if (w == 0) return -1;
        at += w;
    }
    return -1;
}

Text replaceText(std::string_view text, std::string_view search,
                 std::optional<std::string_view> replacement, std::optional<int> start,
                 std::optional<int> count, std::optional<bool> caseSensitive) {
    text = asText(text);
    search = asText(search);
    if (text.empty() || search.empty()) return Text(text);
    const std::string_view with = replacement ? asText(*replacement) : std::string_view{};
    const bool ignoreCase = !caseSensitive.value_or(false);
    int left = count ? *count : -1;  // -1: no limit
    if (count && *count < 0) left = 0;

    std::size_t at = startOffset(start);
    if (at >= text.size()) return Text(text);
    Text out(text.substr(0, at));
    while (left != 0 && text.size() - at >= search.size()) {
        if (matchesAt(text, at, search, ignoreCase)) {
            out.append(with);
            at += search.size();
            if (left > 0) --left;
            continue;
        }
        const std::size_t w = charWidth(text, at);
        if (w == 0) break;  // a cut-off lead byte: copied below with the rest
        out.append(text.substr(at, w));
        at += w;
    }
    out.append(text.substr(at));
    return out;
}

Text repeatText(int n, std::string_view text) {
    text = asText(text);
    Text out;
    if (n <= 0 || text.empty()) return out;
    out.reserve(text.size() * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) out.append(text);
    return out;
}

int compareTexts(std::string_view a, std::string_view b, bool caseSensitive) {
    a = asText(a);
    b = asText(b);
    std::size_t i = 0;
    std::size_t j = 0;
    // One character at a time, as a 16-bit unit for a double-byte one.
    auto next = [caseSensitive](std::string_view s, std::size_t& at) {
        const auto c = static_cast<unsigned char>(s[at++]);
        if (!isLead(c)) return unsigned{caseSensitive ? c : foldAscii(c)};
        // A lead byte cut off by the end sorts before every character it leads.
        const unsigned trail = at < s.size() ? static_cast<unsigned char>(s[at++]) : 0;
        return (unsigned{c} << 8) | trail;
    };
    while (i < a.size() && j < b.size()) {
        const unsigned ca = next(a, i);
        const unsigned cb = next(b, j);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

}  // namespace rt
