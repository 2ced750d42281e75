#include "server/util/size_text.h"

#include <cstdio>
#include <iterator>

namespace epg {

std::string sizeText(std::uint64_t bytes) {
    const char* units[] = {"GiB", "MiB", "KiB"};
    for (int shift = 30, u = 0; shift >= 10; shift -= 10, ++u) {
        const std::uint64_t unit = std::uint64_t{1} << shift;
        if (bytes >= unit && bytes % unit == 0)
            return std::to_string(bytes / unit) + " " + units[u];
    }
    return std::to_string(bytes) + " bytes";
}

std::string amountText(std::uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const char* units[] = {"KiB", "MiB", "GiB", "TiB"};
    double n = static_cast<double>(bytes) / 1024;
    std::size_t u = 0;
    while (n >= 1024 && u + 1 < std::size(units)) {
        n /= 1024;
        ++u;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", n, units[u]);
    return text;
}

}  // namespace epg
