// Sizes as messages give them.
#pragma once

#include <cstdint>
#include <string>

namespace epg {

// "1 GiB", "16 MiB", "4 KiB", "1000 bytes": a bound, exactly.
std::string sizeText(std::uint64_t bytes);
// "37 bytes", "12.5 KiB", "1.0 GiB": about how much came.
std::string amountText(std::uint64_t bytes);

}  // namespace epg
