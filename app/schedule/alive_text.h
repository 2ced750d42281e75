// A text from which bytes are deleted one by one, answering in about log time
// how many bytes are left in a range, how many of them are marked, the hash
// of what is left in a range, and where the k-th byte left before a position
// is. Helper of the tag stripper's general path.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace app::strip {

using Pos = std::int32_t;  // texts stay far below 2 GiB (the fetch keeps at most 32 MiB)

// Polynomial hash modulo 2^61 - 1: H(s) = sum of (s[i] + 1) * B^(|s|-1-i).
// `pw` is B^len, so H(a + b) = H(a) * b.pw + H(b) needs no power table.
struct Hashed {
    std::uint64_t h = 0;
    std::uint64_t pw = 1;
    Pos len = 0;
    Pos marked = 0;
};
Hashed hashOf(std::string_view s);
Hashed concat(const Hashed& a, const Hashed& b);
inline bool sameText(const Hashed& a, const Hashed& b) {
    return a.h == b.h && a.len == b.len;
}

class AliveText {
  public:
    // `marked[i]` flags the bytes countMarked counts.
    AliveText(std::string_view x, std::vector<std::uint8_t> marked);

    bool alive(Pos p) const { return alive_[static_cast<size_t>(p)] != 0; }
    // Deletions take effect in the queries after the next flush().
    void kill(Pos p);
    void flush();

    // Of the bytes left in [l, r] (empty when l > r): hash, count, marked count.
    Hashed range(Pos l, Pos r) const;
    // The k-th byte left counting back from `end` (k = 1: the last one at or
    // before it); -1 when there are fewer.
    Pos kthBack(Pos end, Pos k) const;

  private:
    static constexpr Pos kBlock = 32;
    Hashed byteNode(Pos p) const;
    Hashed walk(Pos l, Pos r) const;  // inside one block
    Hashed blockNode(Pos b) const { return walk(b * kBlock, std::min(n_, (b + 1) * kBlock) - 1); }

    std::string_view x_;
    Pos n_;
    std::vector<std::uint8_t> marked_, alive_;
    Pos blocks_, size_;         // blocks, leaves of the tree (a power of two)
    std::vector<Hashed> tree_;  // 1-based heap order over the blocks
    std::vector<Pos> dirty_;
};

}  // namespace app::strip
