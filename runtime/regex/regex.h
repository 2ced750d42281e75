// Regular expressions for programs: a compiled Perl-syntax pattern (`regex`)
// and the positions of one match and its groups (`SearchResult`).
//
// Texts are GBK bytes and end at their first NUL; the engine sees single bytes,
// so a double-byte character is two characters to it. Positions handed to
// Search are 1-based; offsets stored in a result are 0-based and always count
// from the beginning of the searched text. Every search treats the start of its
// own range as the start of the text: "^", "\b" and look-behind see nothing to
// its left. "." matches any byte, line breaks included.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "runtime/values/value.h"

namespace rt {

struct MatchEntry {
    int start = 0;         // byte offset from the beginning of the searched text
    int length = 0;        // in bytes
    bool matched = false;  // false for a group that took no part in the match
};

// Entry 0 is the whole match, entry k capture group k; no entries = no match.
struct SearchResult {
    std::vector<MatchEntry> entries;
    bool empty() const { return entries.empty(); }
};

class regex {
  public:
    regex();
    ~regex();
    regex(const regex&);
    regex& operator=(const regex&);

    // Compiles `pattern` (up to its first NUL). False for a bad pattern, in
    // which case the previously compiled pattern stays in force.
    bool Create(const Text& pattern, bool caseSensitive = true);

    // First match inside bytes [start - 1, start - 1 + length) of `text`;
    // length defaults to the rest of the text. An empty result when there is
    // no pattern, start < 1, start > length of text, the range overruns the
    // text, length <= 0, nothing matches or the engine gives up.
    SearchResult Search(const Text& text, int start, std::optional<int> length = {}) const;

    // Every successive match: each search starts where the previous match
    // ended, as a fresh start of text; an empty match ends the list. When the
    // engine gives up, the matches found before are kept.
    std::vector<SearchResult> SearchAll(const Text& text) const;

    bool hasPattern() const { return compiled_ != nullptr; }
    bool multiLine() const { return multiLine_; }

  private:
    struct Compiled;
    std::shared_ptr<const Compiled> compiled_;  // immutable once built: copies share it
    bool multiLine_ = true;                     // "^"/"$" also match at line breaks
};

// The text of entry 0 (GetMatchText) or entry n (GetSubMatchText) cut out of
// `text`, which must be the text that was searched. The empty text when the
// result is empty, n is out of range or the group did not take part; then
// *outStart is left alone, otherwise it receives the entry's 0-based offset.
Text GetMatchText(const SearchResult& result, const Text& text, int* outStart = nullptr);
Text GetSubMatchText(const SearchResult& result, const Text& text, int n, int* outStart = nullptr);

}  // namespace rt
