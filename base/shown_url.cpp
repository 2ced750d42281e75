#include "base/shown_url.h"

#include <cctype>

#include "base/text.h"

namespace base {

namespace {

// Where the authority of a URL begins (after "scheme://"); 0 for a text that
// names no scheme. A scheme is a letter, then letters, digits, "+", "-", ".".
std::size_t authorityAt(std::string_view text) {
    const std::size_t separator = text.find("://");
    if (separator == std::string_view::npos || separator == 0 ||
        !std::isalpha(static_cast<unsigned char>(text[0])))
        return 0;
    for (char c : text.substr(0, separator))
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return 0;
    return separator + 3;
}

}  // namespace

bool isHttpUrl(std::string_view text) {
    return startsWithNoCase(text, "http://") || startsWithNoCase(text, "https://");
}

constexpr std::string_view kElided = "…";

std::string shownUrl(std::string_view source) {
    const std::size_t authority = authorityAt(source);
    if (authority == 0) return std::string(source);
    std::size_t pathAt = source.find_first_of("/?#", authority);
    if (pathAt == std::string_view::npos) pathAt = source.size();
    // An "@" past the authority: a password holding an unencoded "/", "?" or
    // "#", or an "@" in the path or query. The two cannot be told apart, so
    // nothing before it is shown.
    if (auto at = source.rfind('@'); at != std::string_view::npos && at >= pathAt) {
        std::string rest =
            shownUrl(std::string(source.substr(0, authority)) + std::string(source.substr(at + 1)));
        return rest.insert(authority, std::string(kElided) + "@");
    }
    std::string_view host = source.substr(authority, pathAt - authority);
    if (auto at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
    std::string out(source.substr(0, authority));
    // "user:pa" of a password cut short by its own "/", "?" or "#" looks like
    // a host with a port that is no number.
    const std::size_t colon = host.rfind(':');
    const bool port = colon == std::string_view::npos ||
                      host.find(']', colon) != std::string_view::npos ||
                      host.find_first_not_of("0123456789", colon + 1) == std::string_view::npos;
    out += port ? std::string(host) : std::string(kElided);
    // The fragment never leaves the client, but may hold a secret as well.
    std::string_view rest = source.substr(pathAt);
    rest = rest.substr(0, rest.find('#'));
    const std::size_t q = rest.find('?');
    out += rest.substr(0, q);
    if (q == std::string_view::npos) return out;
    out += '?';
    std::string_view query = rest.substr(q + 1);
    bool first = true;
    while (!query.empty() || first) {
        const std::size_t amp = query.find('&');
        std::string_view item = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (!first) out += '&';
        first = false;
        // A bare item (?s3cret) may be the secret itself.
        const std::size_t eq = item.find('=');
        if (eq != std::string_view::npos) out += item.substr(0, eq + 1);
        if (!item.empty()) out += kElided;
        if (amp == std::string_view::npos) break;
    }
    return out;
}

}  // namespace base
