// The text is a sequence of groups, each ending at a ">" still present and
// starting after the previous one. An occurrence of a tag text starting at a
// "<" reaches to the first ">" after it, so each "<" that starts a character
// has exactly one candidate text: from it to its group's end. Candidates sit
// hashed in buckets; a tag looks up its bucket and deletes the occurrences it
// confirms byte by byte. A cut group joins the next group, which changes the
// candidates of the "<"s before the cut. Only the ones whose new length is
// the length of some later tag can ever match again, so only those are
// hashed anew: per cut, at most min(those "<"s, distinct later lengths)
// lookups of about log time each. A candidate whose ">" is gone is stale.
#include "app/schedule/nested_tag_stripper.h"

#include <algorithm>
#include <map>
#include <optional>
#include <unordered_map>

namespace app::strip {
namespace {

// "Next live index at or after i" over 0..size (size = none).
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

std::uint64_t bucketKey(const Hashed& c) {
    return c.h ^ (static_cast<std::uint64_t>(c.len) * 0x9E3779B97F4A7C15ULL);
}

// Where a GBK-stepping scan can begin a character: a "<" does when the run of
// bytes >= 0x80 right before it has even length. Deleting an occurrence that
// starts on a character never changes this for the bytes after it.
std::vector<std::uint8_t> startsOfCharacterLt(std::string_view x) {
    std::vector<std::uint8_t> flags(x.size(), 0);
    Pos highRun = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const auto c = static_cast<unsigned char>(x[i]);
        if (c == '<' && highRun % 2 == 0) flags[i] = 1;
        highRun = c >= 0x80 ? highRun + 1 : 0;
    }
    return flags;
}

class NestedStripper {
  public:
    NestedStripper(std::string_view x, const std::vector<TagSpan>& tags)
        : x_(x),
          n_(static_cast<Pos>(x.size())),
          tags_(tags),
          lt_(startsOfCharacterLt(x)),
          text_(x, lt_),
          bytes_(n_) {
        for (Pos i = 0; i < n_; ++i) {
            if (x_[static_cast<size_t>(i)] == '>') gts_.push_back(i);
            if (lt_[static_cast<size_t>(i)]) lts_.push_back(i);
        }
        gtNext_.emplace(static_cast<Pos>(gts_.size()));
        gtPrev_.emplace(static_cast<Pos>(gts_.size()));
        ltNext_.emplace(static_cast<Pos>(lts_.size()));
        cand_.resize(x.size());
        candEnd_.assign(x.size(), -1);
        matchedIn_.assign(x.size(), -1);
        for (const TagSpan& t : tags_) ++laterLengths_[t.close - t.open + 1];
        indexAllGroups();
    }

    rt::Text run() {
        for (size_t k = 0; k < tags_.size(); ++k) applyTag(static_cast<Pos>(k));
        rt::Text out;
        out.reserve(x_.size());
        for (Pos p = 0; p < n_; ++p)
            if (text_.alive(p)) out += x_[static_cast<size_t>(p)];
        return out;
    }

  private:
    struct Match {
        Pos open, close;  // the occurrence
        Pos after;  // position of the next ">" left once the step's deletions are done (-1: none)
    };

    Pos ltOrdinal(Pos pos) const {
        return static_cast<Pos>(std::lower_bound(lts_.begin(), lts_.end(), pos) - lts_.begin());
    }
    Pos gtOrdinal(Pos pos) const {
        return static_cast<Pos>(std::lower_bound(gts_.begin(), gts_.end(), pos) - gts_.begin());
    }
    // The first ">" left at or after pos, or -1.
    Pos nextGt(Pos pos) {
        const Pos g = gtNext_->find(gtOrdinal(pos));
        return g < static_cast<Pos>(gts_.size()) ? gts_[static_cast<size_t>(g)] : -1;
    }
    // The last ">" left before pos, or -1.
    Pos prevGt(Pos pos) {
        const Pos g = gtPrev_->find(gtOrdinal(pos) - 1);
        return g < 0 ? -1 : gts_[static_cast<size_t>(g)];
    }

    void setCandidate(Pos lt, const Hashed& c, Pos end) {
        cand_[static_cast<size_t>(lt)] = c;
        candEnd_[static_cast<size_t>(lt)] = end;
        buckets_[bucketKey(c)].push_back(lt);
    }

    // Only candidates as long as some tag can match, so a long run of "<"
    // before one ">" costs one bucket, not one per "<".
    void indexAllGroups() {
        Pos lo = -1;
        for (const Pos e : gts_) {
            Hashed suffix;
            for (Pos p = e; p > lo; --p) {
                suffix = concat(hashOf(x_.substr(static_cast<size_t>(p), 1)), suffix);
                if (lt_[static_cast<size_t>(p)] && laterLengths_.count(suffix.len))
                    setCandidate(p, suffix, e);
            }
            lo = e;
        }
    }

    void applyTag(Pos k) {
        const TagSpan& tag = tags_[static_cast<size_t>(k)];
        const std::string_view t =
            x_.substr(static_cast<size_t>(tag.open), static_cast<size_t>(tag.close - tag.open + 1));
        const Hashed th = hashOf(t);
        if (--laterLengths_[th.len] == 0) laterLengths_.erase(th.len);

        auto it = buckets_.find(bucketKey(th));
        if (it == buckets_.end()) return;
        std::vector<Match> matches;
        std::vector<Pos>& bucket = it->second;
        size_t kept = 0;
        for (Pos q : bucket) {
            const Pos end = candEnd_[static_cast<size_t>(q)];
            if (!text_.alive(q) || end < 0 || !text_.alive(end) ||
                !sameText(cand_[static_cast<size_t>(q)], th) ||
                matchedIn_[static_cast<size_t>(q)] == k)
                continue;  // deleted, stale or already taken
            if (spells(q, t)) {
                matchedIn_[static_cast<size_t>(q)] = k;
                matches.push_back({q, end, -1});
            } else {
                bucket[kept++] = q;  // a hash collision: it stays a candidate
            }
        }
        bucket.resize(kept);
        if (bucket.empty()) buckets_.erase(it);
        if (matches.empty()) return;
        std::sort(matches.begin(), matches.end(),
                  [](const Match& a, const Match& b) { return a.open < b.open; });

        for (const Match& m : matches) erase(m.open, m.close);
        text_.flush();
        for (Match& m : matches) m.after = m.close + 1 < n_ ? nextGt(m.close + 1) : -1;

        // Runs of cut groups with the same next ">" join that group.
        for (size_t i = 0; i < matches.size();) {
            size_t j = i;
            while (j + 1 < matches.size() && matches[j + 1].after == matches[i].after) ++j;
            if (matches[i].after >= 0)
                reindexJoined(prevGt(matches[i].open), matches[j].close, matches[i].after);
            i = j + 1;
        }
    }

    // The "<"s left in (lo, cutEnd] now end their candidates at `after`.
    void reindexJoined(Pos lo, Pos cutEnd, Pos after) {
        const Hashed region = text_.range(lo + 1, cutEnd);
        if (region.marked == 0) return;
        const Pos minLen = text_.range(cutEnd + 1, after).len + 1;
        const Pos maxLen = minLen - 1 + region.len;
        auto first = laterLengths_.lower_bound(minLen);
        auto last = laterLengths_.upper_bound(maxLen);
        // Walk whichever is shorter: the later tag lengths that fit, or the "<"s.
        Pos lengths = 0;
        for (auto l = first; l != last && lengths <= region.marked; ++l) ++lengths;
        if (lengths <= region.marked) {
            for (auto l = first; l != last; ++l) {
                const Pos p = text_.kthBack(after, l->first);
                if (p > lo && lt_[static_cast<size_t>(p)])
                    setCandidate(p, text_.range(p, after), after);
            }
        } else {
            for (Pos o = ltNext_->find(ltOrdinal(lo + 1)); o < static_cast<Pos>(lts_.size());
                 o = ltNext_->find(o + 1)) {
                const Pos p = lts_[static_cast<size_t>(o)];
                if (p > cutEnd) break;
                const Hashed c = text_.range(p, after);
                if (laterLengths_.count(c.len)) setCandidate(p, c, after);
            }
        }
    }

    // Whether the bytes left from `from` spell t (which ends at its only ">").
    bool spells(Pos from, std::string_view t) {
        Pos p = from;
        for (char c : t) {
            if (p >= n_ || x_[static_cast<size_t>(p)] != c) return false;
            p = bytes_.find(p + 1);
        }
        return true;
    }

    void erase(Pos from, Pos to) {
        for (Pos p = bytes_.find(from); p <= to; p = bytes_.find(p + 1)) {
            if (x_[static_cast<size_t>(p)] == '>') {
                const Pos g = gtOrdinal(p);
                gtNext_->kill(g);
                gtPrev_->kill(g);
            } else if (lt_[static_cast<size_t>(p)]) {
                ltNext_->kill(ltOrdinal(p));
            }
            text_.kill(p);
            bytes_.kill(p);
        }
    }

    std::string_view x_;
    Pos n_;
    const std::vector<TagSpan>& tags_;
    std::vector<std::uint8_t> lt_;  // per byte: a "<" that starts a character
    AliveText text_;
    NextLive bytes_;
    std::vector<Pos> gts_, lts_;
    std::optional<NextLive> gtNext_, ltNext_;
    std::optional<PrevLive> gtPrev_;
    std::vector<Hashed> cand_;
    std::vector<Pos> candEnd_, matchedIn_;
    std::unordered_map<std::uint64_t, std::vector<Pos>> buckets_;
    std::map<Pos, Pos> laterLengths_;  // tag text length -> tags still to come with it
};

}  // namespace

rt::Text stripNestedTags(std::string_view x, const std::vector<TagSpan>& tags) {
    return NestedStripper(x, tags).run();
}

}  // namespace app::strip
