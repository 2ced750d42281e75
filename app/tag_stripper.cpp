#include "app/tag_stripper.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace app {
namespace {

using Pos = std::int32_t;  // texts stay far below 2 GiB (the fetch keeps at most 32 MiB)

struct Tag {
    Pos open;   // the "<"
    Pos close;  // the first ">" after it
};

// Where a GBK-stepping scan from the start of the text can begin a character:
// after any byte below 0x80 the next byte starts one, and a run of bytes of
// 0x80 and above is taken in pairs. So a "<" starts a character exactly when
// the run of high bytes right before it has even length. Deleting an
// occurrence that starts on a character never changes that parity for the
// bytes after it (the run before the deleted "<" was even), so the property is
// fixed by X alone.
struct Scan {
    std::vector<Tag> tags;
    std::vector<bool> openStartsChar;  // per tag
    bool nested = false;               // some tag holds another "<"
};

Scan scanTags(std::string_view x) {
    Scan scan;
    Pos highRun = 0;
    Pos open = -1;
    bool openStarts = false;
    bool inner = false;
    for (Pos i = 0; i < static_cast<Pos>(x.size()); ++i) {
        const auto c = static_cast<unsigned char>(x[static_cast<size_t>(i)]);
        if (open < 0) {
            if (c == '<') {
                open = i;
                openStarts = highRun % 2 == 0;
                inner = false;
            }
        } else if (c == '>') {
            scan.tags.push_back({open, i});
            scan.openStartsChar.push_back(openStarts);
            scan.nested = scan.nested || inner;
            open = -1;
        } else if (c == '<') {
            inner = true;
        }
        highRun = c >= 0x80 ? highRun + 1 : 0;
    }
    return scan;
}

// Every "<" in X either opens a tag or follows the last ">" of X, so when no
// tag holds a second "<" the only occurrences of a tag text are whole tags:
// the result is X without the tags that start on a character.
rt::Text stripFlat(std::string_view x, const Scan& scan) {
    rt::Text out;
    out.reserve(x.size());
    size_t copied = 0;
    for (size_t k = 0; k < scan.tags.size(); ++k) {
        if (!scan.openStartsChar[k]) continue;
        const auto open = static_cast<size_t>(scan.tags[k].open);
        out.append(x.substr(copied, open - copied));
        copied = static_cast<size_t>(scan.tags[k].close) + 1;
    }
    out.append(x.substr(copied));
    return out;
}

// Polynomial hashing modulo the Mersenne prime 2^61 - 1. Hashes only pick
// candidates; every deletion is confirmed byte by byte.
constexpr std::uint64_t kMod = (std::uint64_t{1} << 61) - 1;
constexpr std::uint64_t kBase = 1'000'000'007ULL * 7919ULL % kMod;

std::uint64_t mulMod(std::uint64_t a, std::uint64_t b) {
    const unsigned __int128 r = static_cast<unsigned __int128>(a) * b;
    std::uint64_t v = static_cast<std::uint64_t>(r & kMod) + static_cast<std::uint64_t>(r >> 61);
    return v >= kMod ? v - kMod : v;
}
std::uint64_t addMod(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t v = a + b;
    return v >= kMod ? v - kMod : v;
}
std::uint64_t subMod(std::uint64_t a, std::uint64_t b) { return a >= b ? a - b : a + kMod - b; }
std::uint64_t powMod(std::uint64_t b, std::uint64_t e) {
    std::uint64_t r = 1;
    for (; e; e >>= 1, b = mulMod(b, b))
        if (e & 1) r = mulMod(r, b);
    return r;
}
std::uint64_t byteValue(char c) { return static_cast<unsigned char>(c) + 1u; }

// Hash of s: sum of s[i] * B^(|s|-1-i), so H(a + b) = H(a) * B^|b| + H(b).
struct Hashed {
    std::uint64_t h = 0;
    Pos len = 0;
};

std::uint64_t bucketKey(std::uint64_t h, Pos len) {
    return (h ^ (static_cast<std::uint64_t>(len) * 0x9E3779B97F4A7C15ULL)) + 1;
}

// A disjoint-set "next live index at or after i" over 0..size (size = none).
class NextLive {
public:
    explicit NextLive(Pos size) : parent_(static_cast<size_t>(size) + 1) {
        for (Pos i = 0; i <= size; ++i) parent_[static_cast<size_t>(i)] = i;
    }
    void kill(Pos i) { parent_[static_cast<size_t>(i)] = i + 1; }
    Pos find(Pos i) {
        while (parent_[static_cast<size_t>(i)] != i) {
            Pos& p = parent_[static_cast<size_t>(i)];
            p = parent_[static_cast<size_t>(p)];
            i = p;
        }
        return i;
    }
    bool live(Pos i) { return find(i) == i; }

private:
    std::vector<Pos> parent_;
};

// "Last live index at or before i" over -1..size-1 (-1 = none), stored shifted.
class PrevLive {
public:
    explicit PrevLive(Pos size) : parent_(static_cast<size_t>(size) + 1) {
        for (Pos i = 0; i <= size; ++i) parent_[static_cast<size_t>(i)] = i;
    }
    void kill(Pos i) { parent_[static_cast<size_t>(i) + 1] = i; }
    Pos find(Pos i) {
        Pos s = i + 1;
        while (parent_[static_cast<size_t>(s)] != s) {
            Pos& p = parent_[static_cast<size_t>(s)];
            p = parent_[static_cast<size_t>(p)];
            s = p;
        }
        return s - 1;
    }

private:
    std::vector<Pos> parent_;
};

// The general case, where tags hold further "<": the text is a sequence of
// groups, each ending at a live ">" and starting after the previous one. The
// occurrence of a tag text that starts at a "<" can only reach to the end of
// its group, so each "<" that starts a character has exactly one candidate
// text (from it to its group's end), kept hashed in buckets. A tag looks up
// its bucket, deletes the confirmed occurrences, and the cut groups join the
// group after them: only the "<"s before a cut change their candidate, and
// their new hashes follow from the old ones by arithmetic, never by rereading
// the bytes. Work is linear in X plus one step per "<" that precedes a cut in
// its group.
class GroupStripper {
public:
    GroupStripper(std::string_view x, const Scan& scan)
        : x_(x),
          n_(static_cast<Pos>(x.size())),
          bytes_(n_),
          invBase_(powMod(kBase, kMod - 2)) {
        Pos highRun = 0;
        for (Pos i = 0; i < n_; ++i) {
            const auto c = static_cast<unsigned char>(x_[static_cast<size_t>(i)]);
            if (c == '>') gts_.push_back(i);
            if (c == '<' && highRun % 2 == 0) lts_.push_back(i);
            highRun = c >= 0x80 ? highRun + 1 : 0;
        }
        const auto gtCount = static_cast<Pos>(gts_.size());
        const auto ltCount = static_cast<Pos>(lts_.size());
        gtNext_.emplace(gtCount);
        gtPrev_.emplace(gtCount);
        ltNext_.emplace(ltCount);
        seg_.resize(gts_.size());
        cand_.resize(lts_.size());
        matchedIn_.assign(lts_.size(), -1);
        indexInitialGroups();
        tags_ = &scan.tags;
    }

    rt::Text run() {
        for (size_t k = 0; k < tags_->size(); ++k) applyTag(static_cast<Pos>(k));
        rt::Text out;
        out.reserve(x_.size());
        for (Pos p = bytes_.find(0); p < n_; p = bytes_.find(p + 1)) out += x_[static_cast<size_t>(p)];
        return out;
    }

private:
    struct Match {
        Pos lt;     // ordinal of the "<" that starts the occurrence
        Pos gt;     // ordinal of its group's ">"
        Pos after;  // ordinal of the next live ">" once the step's deletions are done
        Hashed rem; // the group's bytes before the occurrence
        size_t remLtsBegin, remLtsEnd;  // into remLts_
    };
    struct RemLt {
        Pos lt;
        Hashed suffix;  // from this "<" to the start of the occurrence
    };

    Pos ltOrdinal(Pos pos) const {
        return static_cast<Pos>(std::lower_bound(lts_.begin(), lts_.end(), pos) - lts_.begin());
    }
    Pos gtOrdinal(Pos pos) const {
        return static_cast<Pos>(std::lower_bound(gts_.begin(), gts_.end(), pos) - gts_.begin());
    }
    Pos pos(Pos ordinal, const std::vector<Pos>& v) const {
        return ordinal < static_cast<Pos>(v.size()) ? v[static_cast<size_t>(ordinal)] : n_;
    }

    void setCandidate(Pos lt, Hashed c) {
        cand_[static_cast<size_t>(lt)] = c;
        if (c.len > 0) buckets_[bucketKey(c.h, c.len)].push_back(lt);
    }

    void indexInitialGroups() {
        Pos lo = -1;
        for (size_t g = 0; g < gts_.size(); ++g) {
            const Pos e = gts_[g];
            std::uint64_t h = 0, pw = 1;
            Pos firstLt = ltOrdinal(lo + 1);
            Pos lastLt = ltOrdinal(e) - 1;  // lts in (lo, e)
            Pos lt = lastLt;
            for (Pos p = e; p > lo; --p) {
                h = addMod(mulMod(byteValue(x_[static_cast<size_t>(p)]), pw), h);
                pw = mulMod(pw, kBase);
                if (lt >= firstLt && lts_[static_cast<size_t>(lt)] == p) {
                    setCandidate(lt, {h, e - p + 1});
                    --lt;
                }
            }
            seg_[g] = {h, e - lo};
            lo = e;
        }
    }

    void applyTag(Pos k) {
        const Tag& tag = (*tags_)[static_cast<size_t>(k)];
        const std::string_view t = x_.substr(static_cast<size_t>(tag.open),
                                             static_cast<size_t>(tag.close - tag.open + 1));
        Hashed th;
        for (char c : t) th.h = addMod(mulMod(th.h, kBase), byteValue(c));
        th.len = static_cast<Pos>(t.size());

        auto it = buckets_.find(bucketKey(th.h, th.len));
        if (it == buckets_.end()) return;
        matches_.clear();
        std::vector<Pos>& bucket = it->second;
        size_t kept = 0;
        for (Pos lt : bucket) {
            const Hashed& c = cand_[static_cast<size_t>(lt)];
            if (!ltNext_->live(lt) || c.len != th.len || c.h != th.h || matchedIn_[static_cast<size_t>(lt)] == k)
                continue;  // gone or stale
            Pos last = -1;
            if (confirm(lts_[static_cast<size_t>(lt)], t, last)) {
                matchedIn_[static_cast<size_t>(lt)] = k;
                matches_.push_back({lt, gtOrdinal(last), 0, {}, 0, 0});
            } else {
                bucket[kept++] = lt;  // a hash collision: keep it
            }
        }
        bucket.resize(kept);
        if (bucket.empty()) buckets_.erase(it);
        if (matches_.empty()) return;
        std::sort(matches_.begin(), matches_.end(),
                  [](const Match& a, const Match& b) { return a.lt < b.lt; });

        // Before deleting: what stays of each cut group, and its "<"s.
        const std::uint64_t unshift = powMod(invBase_, static_cast<std::uint64_t>(th.len));
        remLts_.clear();
        for (Match& m : matches_) {
            const Hashed seg = seg_[static_cast<size_t>(m.gt)];
            m.rem = {mulMod(subMod(seg.h, th.h), unshift), seg.len - th.len};
            const Pos lo = gtPrev_->find(gtOrdinal(lts_[static_cast<size_t>(m.lt)]) - 1);
            const Pos loPos = lo < 0 ? -1 : gts_[static_cast<size_t>(lo)];
            m.remLtsBegin = remLts_.size();
            for (Pos q = ltNext_->find(ltOrdinal(loPos + 1)); q < m.lt; q = ltNext_->find(q + 1)) {
                const Hashed c = cand_[static_cast<size_t>(q)];
                remLts_.push_back({q, {mulMod(subMod(c.h, th.h), unshift), c.len - th.len}});
            }
            m.remLtsEnd = remLts_.size();
        }
        for (const Match& m : matches_) erase(lts_[static_cast<size_t>(m.lt)], gts_[static_cast<size_t>(m.gt)]);
        for (Match& m : matches_) m.after = gtNext_->find(m.gt + 1);

        // Each run of cut groups with the same next live ">" joins that group.
        for (size_t j = matches_.size(); j-- > 0;) {
            const Pos after = matches_[j].after;
            size_t i = j;
            while (i > 0 && matches_[i - 1].after == after) --i;
            const bool joined = after < static_cast<Pos>(gts_.size());
            Hashed acc = joined ? seg_[static_cast<size_t>(after)] : Hashed{};
            for (size_t m = j + 1; m-- > i;) {
                const Match& cut = matches_[m];
                const std::uint64_t shift = powMod(kBase, static_cast<std::uint64_t>(acc.len));
                for (size_t r = cut.remLtsBegin; r < cut.remLtsEnd; ++r) {
                    const RemLt& q = remLts_[r];
                    if (joined)
                        setCandidate(q.lt, {addMod(mulMod(q.suffix.h, shift), acc.h), q.suffix.len + acc.len});
                    else
                        setCandidate(q.lt, {});  // no ">" follows: no candidate any more
                }
                acc = {addMod(mulMod(cut.rem.h, shift), acc.h), cut.rem.len + acc.len};
            }
            if (joined) seg_[static_cast<size_t>(after)] = acc;
            j = i;
            if (j == 0) break;
        }
    }

    // Whether the live bytes from `from` spell t; `last` gets the position of
    // the final byte. t ends at its only ">", so a match is a whole candidate.
    bool confirm(Pos from, std::string_view t, Pos& last) {
        Pos p = from;
        for (char c : t) {
            if (p >= n_ || x_[static_cast<size_t>(p)] != c) return false;
            last = p;
            p = bytes_.find(p + 1);
        }
        return true;
    }

    void erase(Pos from, Pos to) {
        for (Pos p = bytes_.find(from); p <= to; p = bytes_.find(p + 1)) {
            const char c = x_[static_cast<size_t>(p)];
            if (c == '>') {
                const Pos g = gtOrdinal(p);
                gtNext_->kill(g);
                gtPrev_->kill(g);
            } else if (c == '<') {
                const Pos l = ltOrdinal(p);
                if (l < static_cast<Pos>(lts_.size()) && lts_[static_cast<size_t>(l)] == p) ltNext_->kill(l);
            }
            bytes_.kill(p);
        }
    }

    std::string_view x_;
    Pos n_;
    NextLive bytes_;
    std::uint64_t invBase_;
    std::vector<Pos> gts_, lts_;  // positions of every ">" and of every "<" that starts a character
    std::optional<NextLive> gtNext_, ltNext_;
    std::optional<PrevLive> gtPrev_;
    std::vector<Hashed> seg_;   // per ">": its group's bytes
    std::vector<Hashed> cand_;  // per "<": its candidate text (len 0 = none)
    std::vector<Pos> matchedIn_;
    std::unordered_map<std::uint64_t, std::vector<Pos>> buckets_;
    const std::vector<Tag>* tags_ = nullptr;
    std::vector<Match> matches_;
    std::vector<RemLt> remLts_;
};

}  // namespace

rt::Text stripTags(std::string_view x) {
    const Scan scan = scanTags(x);
    if (scan.tags.empty()) return rt::Text(x);
    if (!scan.nested) return stripFlat(x, scan);
    return GroupStripper(x, scan).run();
}

}  // namespace app
