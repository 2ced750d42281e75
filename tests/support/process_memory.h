// The address space this process has mapped, for tests that set a limit a
// little above it.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <fstream>

namespace test_support {

inline std::size_t mappedBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace test_support
