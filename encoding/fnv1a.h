// FNV-1a (64 bits): a hash of bytes that comes out the same on every machine
// and in every run, for names that outlive the process: the files of the
// guide's page cache and of the server's last good copies, entity tags.
// Cheap and well spread, but anyone can make two inputs collide: never for
// anything an adversary chooses to defeat.
#pragma once

#include <cstdint>
#include <string_view>

namespace encoding {

inline constexpr std::uint64_t kFnv1aOffsetBasis = 0xcbf29ce484222325ull;

// `basis` is FNV's own but where values already stored were made with another.
constexpr std::uint64_t fnv1a(std::string_view bytes, std::uint64_t basis = kFnv1aOffsetBasis) {
    std::uint64_t h = basis;
    for (unsigned char c : bytes) h = (h ^ c) * 0x100000001b3ull;
    return h;
}

}  // namespace encoding
