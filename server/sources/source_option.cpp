#include "server/sources/source_option.h"

#include "base/shown_url.h"

namespace epg {

SourceOption parseSourceOption(std::string_view value) {
    constexpr std::string_view kZone = "#tz=";
    auto at = value.rfind(kZone);
    if (at == std::string_view::npos) return {std::string(value), std::nullopt, {}};
    std::string_view name = value.substr(at + kZone.size());
    auto zone = Zone::named(name);
    if (!zone) {
        // The source as it may be shown: a URL's password and query stay out,
        // and so does a "zone" that may be the end of a password holding "#".
        const bool zoneLike = name.size() <= 64 && name.find_first_not_of(
                                                       "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopq"
                                                       "rstuvwxyz0123456789/_+-") == name.npos;
        const std::string shownZone = zoneLike ? std::string(name) : "…";
        return {{},
                std::nullopt,
                "unknown time zone \"" + shownZone + "\" after #tz= in \"" +
                    base::shownUrl(value.substr(0, at)) + "#tz=" + shownZone +
                    "\" (an IANA name, such as Asia/Shanghai)"};
    }
    return {std::string(value.substr(0, at)), zone, {}};
}

std::string sourceOptionError(std::string_view value, std::string_view from) {
    const std::string label(from);
    SourceOption parsed = parseSourceOption(value);
    if (!parsed.error.empty()) return label + ": " + parsed.error;
    const std::string& v = parsed.location;
    if (v.empty()) return label + ": no file or URL before #tz=";
    auto scheme = v.find("://");
    if (scheme != std::string::npos && scheme > 0 && !base::isHttpUrl(v) && v.find('/') > scheme)
        // Only the scheme is shown: the rest may hold a password.
        return label + " takes a file or an http or https URL, not a \"" + v.substr(0, scheme) +
               "://\" URL";
    if (base::isHttpUrl(v))
        for (unsigned char c : v)
            if (c <= ' ' || c == 0x7f)
                return label + ": a URL holds no blank or control character: \"" +
                       base::shownUrl(v) + "\"";
    return {};
}

}  // namespace epg
