// Bodies in fetch tests: bytes as a string for comparisons, and a long body
// whose every prefix differs from every other of the same length.
#pragma once

#include <cstddef>
#include <string>

#include "runtime/values/value.h"

namespace testsupport {

inline std::string str(const rt::Bytes& b) {
    return std::string(b.begin(), b.end());
}

inline std::string pattern(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
    return s;
}

}  // namespace testsupport
