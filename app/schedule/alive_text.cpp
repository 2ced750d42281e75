#include "app/schedule/alive_text.h"

#include <algorithm>

namespace app::strip {
namespace {

constexpr std::uint64_t kMod = (std::uint64_t{1} << 61) - 1;
constexpr std::uint64_t kBase = 1'000'000'007ULL * 7919ULL % kMod;

// GCC's 128-bit integer keeps the product exact; the modulus is a Mersenne
// prime, so the reduction is two shifts and an add.
__extension__ typedef unsigned __int128 Uint128;

std::uint64_t mulMod(std::uint64_t a, std::uint64_t b) {
    const Uint128 r = static_cast<Uint128>(a) * b;
    const std::uint64_t v =
        static_cast<std::uint64_t>(r & kMod) + static_cast<std::uint64_t>(r >> 61);
    return v >= kMod ? v - kMod : v;
}
std::uint64_t addMod(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t v = a + b;
    return v >= kMod ? v - kMod : v;
}

}  // namespace

Hashed concat(const Hashed& a, const Hashed& b) {
    return {addMod(mulMod(a.h, b.pw), b.h), mulMod(a.pw, b.pw), a.len + b.len, a.marked + b.marked};
}

Hashed hashOf(std::string_view s) {
    Hashed out;
    for (char c : s) {
        out.h = addMod(mulMod(out.h, kBase), static_cast<unsigned char>(c) + 1u);
        out.pw = mulMod(out.pw, kBase);
        ++out.len;
    }
    return out;
}

AliveText::AliveText(std::string_view x, std::vector<std::uint8_t> marked)
    : x_(x),
      n_(static_cast<Pos>(x.size())),
      marked_(std::move(marked)),
      alive_(x.size(), 1),
      blocks_((n_ + kBlock - 1) / kBlock) {
    size_ = 1;
    while (size_ < std::max<Pos>(blocks_, 1)) size_ *= 2;
    tree_.assign(static_cast<size_t>(2 * size_), Hashed{});
    for (Pos b = 0; b < blocks_; ++b) tree_[static_cast<size_t>(size_ + b)] = blockNode(b);
    for (Pos i = size_ - 1; i >= 1; --i)
        tree_[static_cast<size_t>(i)] =
            concat(tree_[static_cast<size_t>(2 * i)], tree_[static_cast<size_t>(2 * i + 1)]);
}

Hashed AliveText::byteNode(Pos p) const {
    if (!alive(p)) return {};
    return {static_cast<unsigned char>(x_[static_cast<size_t>(p)]) + 1u, kBase, 1,
            marked_[static_cast<size_t>(p)]};
}

Hashed AliveText::walk(Pos l, Pos r) const {
    Hashed out;
    for (Pos p = l; p <= r; ++p) out = concat(out, byteNode(p));
    return out;
}

void AliveText::kill(Pos p) {
    if (!alive(p)) return;
    alive_[static_cast<size_t>(p)] = 0;
    dirty_.push_back(p / kBlock);
}

void AliveText::flush() {
    std::sort(dirty_.begin(), dirty_.end());
    dirty_.erase(std::unique(dirty_.begin(), dirty_.end()), dirty_.end());
    for (Pos b : dirty_) {
        Pos i = size_ + b;
        tree_[static_cast<size_t>(i)] = blockNode(b);
        for (i /= 2; i >= 1; i /= 2)
            tree_[static_cast<size_t>(i)] =
                concat(tree_[static_cast<size_t>(2 * i)], tree_[static_cast<size_t>(2 * i + 1)]);
    }
    dirty_.clear();
}

Hashed AliveText::range(Pos l, Pos r) const {
    l = std::max<Pos>(l, 0);
    r = std::min<Pos>(r, n_ - 1);
    if (l > r) return {};
    const Pos bl = l / kBlock, br = r / kBlock;
    if (bl == br) return walk(l, r);
    Hashed left = walk(l, (bl + 1) * kBlock - 1);
    const Hashed right = walk(br * kBlock, r);
    Hashed midLeft, midRight;
    for (Pos a = bl + 1 + size_, b = br + size_; a < b; a /= 2, b /= 2) {
        if (a & 1) midLeft = concat(midLeft, tree_[static_cast<size_t>(a++)]);
        if (b & 1) midRight = concat(tree_[static_cast<size_t>(--b)], midRight);
    }
    return concat(concat(left, concat(midLeft, midRight)), right);
}

Pos AliveText::kthBack(Pos end, Pos k) const {
    if (end < 0 || k < 1) return -1;
    Pos rank = range(0, end).len - k;  // 0-based among the bytes left
    if (rank < 0) return -1;
    Pos node = 1;
    while (node < size_) {
        const Pos leftCount = tree_[static_cast<size_t>(2 * node)].len;
        if (rank < leftCount) {
            node = 2 * node;
        } else {
            rank -= leftCount;
            node = 2 * node + 1;
        }
    }
    const Pos b = node - size_;
    for (Pos p = b * kBlock; p < std::min(n_, (b + 1) * kBlock); ++p)
        if (alive(p) && rank-- == 0) return p;
    return -1;
}

}  // namespace app::strip
