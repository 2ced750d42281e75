#include "runtime/http/page_refresh.h"

#include <algorithm>
#include <boost/regex.hpp>
#include <charconv>

namespace rt {

std::chrono::seconds reloadInterval(std::string_view page) {
    // A refresh belongs in the page's head; a tag ends at the next "<" at the
    // latest, so no page makes the search quadratic.
    page = page.substr(0, 64 * 1024);
    // Attribute values may be quoted either way or not at all, names in any case.
    static const boost::regex meta("<meta\\b[^<>]*>", boost::regex::icase);
    static const boost::regex refresh("\\bhttp-equiv\\s*=\\s*[\"']?\\s*refresh\\b",
                                      boost::regex::icase);
    static const boost::regex content("\\bcontent\\s*=\\s*[\"']?\\s*([0-9]+)", boost::regex::icase);
    for (boost::cregex_iterator it(page.data(), page.data() + page.size(), meta), end; it != end;
         ++it) {
        const char* tagBegin = (*it)[0].first;
        const char* tagEnd = (*it)[0].second;
        boost::cmatch seconds;
        if (!boost::regex_search(tagBegin, tagEnd, refresh) ||
            !boost::regex_search(tagBegin, tagEnd, seconds, content))
            continue;
        long long n = 0;
        const auto [stop, ec] = std::from_chars(seconds[1].first, seconds[1].second, n);
        if (ec == std::errc::result_out_of_range) return kLongestReload;
        if (ec != std::errc{} || stop != seconds[1].second) continue;
        return std::clamp(std::chrono::seconds(n), kShortestReload, kLongestReload);
    }
    return kReloadWithoutRefresh;
}

}  // namespace rt
