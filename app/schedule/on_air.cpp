#include "app/schedule/on_air.h"

#include <cctype>

namespace app {

namespace {

bool digit(std::string_view t, std::size_t i) {
    return i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]));
}

}  // namespace

std::optional<int> minutesOfAirTime(std::string_view text) {
    for (std::size_t colon = text.find(':'); colon != std::string_view::npos;
         colon = text.find(':', colon + 1)) {
        if (colon == 0 || !digit(text, colon - 1) || !digit(text, colon + 1) ||
            !digit(text, colon + 2) || digit(text, colon + 3))
            continue;
        const bool twoDigitHour = colon >= 2 && digit(text, colon - 2);
        if (twoDigitHour && colon >= 3 && digit(text, colon - 3)) continue;  // "123:45"
        const int hour = twoDigitHour ? (text[colon - 2] - '0') * 10 + (text[colon - 1] - '0')
                                      : text[colon - 1] - '0';
        const int minute = (text[colon + 1] - '0') * 10 + (text[colon + 2] - '0');
        if (hour > 29 || minute > 59) continue;
        return hour * 60 + minute;
    }
    return std::nullopt;
}

int rowOnAir(const std::vector<rt::Text>& airTimes, int minuteOfDay) {
    int onAir = -1;
    int dayOffset = 0;
    std::optional<int> previous;
    for (std::size_t i = 0; i < airTimes.size(); ++i) {
        const auto minutes = minutesOfAirTime(airTimes[i]);
        if (!minutes) continue;  // a row without a time neither starts nor ends anything
        int start = *minutes + dayOffset;
        if (previous && start < *previous) {
            dayOffset += 24 * 60;
            start += 24 * 60;
        }
        previous = start;
        if (start > minuteOfDay) break;
        onAir = static_cast<int>(i);
    }
    return onAir;
}

}  // namespace app
