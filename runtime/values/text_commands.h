// The text commands and the two value operations on texts. Lengths and
// positions count bytes; positions are 1-based and -1 means "not found".
//
// GBK stepping: a byte >= 0x80 starts a double-byte character, so a search
// never matches from the middle of one, and a lead byte at the very end of a
// text ends the scan. A text ends at its first NUL, should a caller pass one.
#pragma once

#include <initializer_list>
#include <optional>
#include <string_view>

#include "runtime/values/value.h"

namespace rt {

// The parts one after the other.
Text joinTexts(std::initializer_list<std::string_view> parts);

// Byte-wise, unsigned, case-sensitive: -1, 0 or 1.
int compareBytes(std::string_view a, std::string_view b);

int textLength(std::string_view text);

// The first min(n, length) bytes; n <= 0 gives the empty text. May cut a
// double-byte character in half.
Text leftPart(std::string_view text, int n);

// Position of the first occurrence of `search` at or after `start` (omitted or
// <= 1: from the beginning; past the end: -1). An empty `search` gives 1 when
// the searched part is non-empty, else -1. `ignoreCase` folds ASCII letters.
int findText(std::string_view text, std::string_view search,
             std::optional<int> start = std::nullopt, bool ignoreCase = false);

// Every occurrence of `search` at or after `start` (omitted: 1) replaced by
// `replacement` (omitted: deleted), at most `count` times (omitted: all).
// ASCII case is IGNORED unless `caseSensitive` is true. An empty text or
// an empty `search` gives the text unchanged.
Text replaceText(std::string_view text, std::string_view search,
                 std::optional<std::string_view> replacement = std::nullopt,
                 std::optional<int> start = std::nullopt, std::optional<int> count = std::nullopt,
                 std::optional<bool> caseSensitive = std::nullopt);

// The text n times over (n < 0 counts as 0).
Text repeatText(int n, std::string_view text);

// Character by character (a double-byte character is one unit whose trail
// byte is never case-folded): -1, 0 or 1. Without `caseSensitive`, ASCII
// letters compare as lower case.
int compareTexts(std::string_view a, std::string_view b, bool caseSensitive);

}  // namespace rt
