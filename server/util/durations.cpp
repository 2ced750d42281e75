#include "server/util/durations.h"

#include <charconv>

namespace epg {

std::optional<std::chrono::seconds> parseDuration(std::string_view t) {
    if (t == "0") return std::chrono::seconds(0);
    if (t.size() < 2) return std::nullopt;
    std::string_view digits = t.substr(0, t.size() - 1);
    long long n = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || end != digits.data() + digits.size() || n < 1) return std::nullopt;
    long long unit = 0;
    switch (t.back()) {
        case 's': unit = 1; break;
        case 'm': unit = 60; break;
        case 'h': unit = 3600; break;
        case 'd': unit = 86400; break;
        default: return std::nullopt;
    }
    if (n > 366 * 86400 / unit) return std::nullopt;  // a year at most
    return std::chrono::seconds(n * unit);
}

std::string durationText(std::chrono::seconds d) {
    auto s = d.count();
    if (s < 0) s = 0;
    if (s < 60) return std::to_string(s) + " s";
    if (s < 3600) return std::to_string(s / 60) + " min";
    if (s < 86400) return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
    auto days = s / 86400;
    return std::to_string(days) + (days == 1 ? " day" : " days");
}

std::string ageText(std::chrono::system_clock::duration age) {
    return durationText(std::chrono::duration_cast<std::chrono::seconds>(age));
}

}  // namespace epg
