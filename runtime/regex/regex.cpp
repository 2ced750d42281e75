#include "runtime/regex/regex.h"

#include <boost/regex.hpp>

#include <climits>
#include <cstdint>
#include <exception>
#include <string_view>

namespace rt {

struct regex::Compiled {
    boost::regex pattern;
};

namespace {

// A text ends at its first NUL; offsets must stay representable as int.
std::string_view bytesOf(const Text& text) {
    std::string_view view(text);
    view = view.substr(0, view.find('\0'));
    if (view.size() > static_cast<std::size_t>(INT_MAX)) view = view.substr(0, INT_MAX);
    return view;
}

using Iter = std::string_view::const_iterator;

// One search over [first, last), which the engine takes as a whole text of its
// own (no match_prev_avail). Offsets are stored from `origin`. Returns an empty
// result when nothing matched; engine errors propagate to the caller.
SearchResult searchOnce(const boost::regex& re, Iter origin, Iter first, Iter last,
                        boost::regex_constants::match_flag_type flags) {
    SearchResult result;
    boost::match_results<Iter> m;
    if (!boost::regex_search(first, last, m, re, flags)) return result;
    result.entries.reserve(m.size());
    for (std::size_t k = 0; k < m.size(); ++k) {
        MatchEntry entry;
        if (m[k].matched) {
            entry.start = static_cast<int>(m[k].first - origin);
            entry.length = static_cast<int>(m[k].second - m[k].first);
            entry.matched = true;
        }
        result.entries.push_back(entry);
    }
    return result;
}

Text entryText(const SearchResult& result, const Text& text, int n, int* outStart) {
    if (n < 0 || static_cast<std::size_t>(n) >= result.entries.size()) return {};
    const MatchEntry& entry = result.entries[static_cast<std::size_t>(n)];
    if (!entry.matched) return {};
    if (outStart) *outStart = entry.start;
    // A result applied to another, shorter text yields only what lies inside it.
    std::string_view bytes = bytesOf(text);
    if (entry.start < 0 || entry.length <= 0 ||
        static_cast<std::size_t>(entry.start) >= bytes.size())
        return {};
    return Text(bytes.substr(static_cast<std::size_t>(entry.start),
                             static_cast<std::size_t>(entry.length)));
}

}  // namespace

regex::regex() = default;
regex::~regex() = default;
regex::regex(const regex&) = default;
regex& regex::operator=(const regex&) = default;

bool regex::Create(const Text& pattern, bool caseSensitive) {
    std::string_view bytes(pattern);
    bytes = bytes.substr(0, bytes.find('\0'));
    boost::regex::flag_type options = boost::regex_constants::perl;
    if (!caseSensitive) options |= boost::regex_constants::icase;
    try {
        auto compiled = std::make_shared<Compiled>();
        compiled->pattern.assign(bytes.begin(), bytes.end(), options);
        compiled_ = std::move(compiled);
        return true;
    } catch (const std::exception&) {  // regex_error, or out of memory while compiling
        return false;
    }
}

namespace {
boost::regex_constants::match_flag_type matchFlags(bool multiLine) {
    return multiLine ? boost::regex_constants::match_default
                     : boost::regex_constants::match_single_line;
}
}  // namespace

SearchResult regex::Search(const Text& text, int start, std::optional<int> length) const {
    std::string_view bytes = bytesOf(text);
    const std::int64_t n = static_cast<std::int64_t>(bytes.size());
    const std::int64_t s = start;
    const std::int64_t l = length ? *length : n - s + 1;
    if (!compiled_ || l <= 0 || s < 1 || s > n || s + l > n + 1) return {};
    try {
        Iter first = bytes.begin() + (s - 1);
        return searchOnce(compiled_->pattern, bytes.begin(), first, first + l,
                          matchFlags(multiLine_));
    } catch (const std::exception&) {  // complexity or memory limits of the engine
        return {};
    }
}

std::vector<SearchResult> regex::SearchAll(const Text& text) const {
    std::vector<SearchResult> results;
    std::string_view bytes = bytesOf(text);
    if (!compiled_ || bytes.empty()) return results;
    Iter pos = bytes.begin();
    try {
        for (;;) {
            SearchResult found = searchOnce(compiled_->pattern, bytes.begin(), pos, bytes.end(),
                                            matchFlags(multiLine_));
            if (found.empty()) break;
            const MatchEntry whole = found.entries[0];
            results.push_back(std::move(found));
            if (whole.length == 0) break;
            pos = bytes.begin() + whole.start + whole.length;
        }
    } catch (const std::exception&) {
        // Keep the matches found before the engine gave up.
    }
    return results;
}

Text GetMatchText(const SearchResult& result, const Text& text, int* outStart) {
    return entryText(result, text, 0, outStart);
}

Text GetSubMatchText(const SearchResult& result, const Text& text, int n, int* outStart) {
    return entryText(result, text, n, outStart);
}

}  // namespace rt
