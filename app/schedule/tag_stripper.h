// Removing HTML tags from a captured air time or title.
//
// The guide's tag stripper finds the tags of X (each "<" with the first ">"
// after it, searching on after that ">"), then, tag by tag in page order,
// deletes from the running result every occurrence of that tag's text. The
// deletion steps over GBK characters, so an occurrence whose "<" falls on the
// trail byte of a double-byte character stays. Deleting whole texts, not
// spans, has consequences: a tag text that also ends a longer tag (X =
// "<b>x<i<b>") is deleted there too, and a deletion can join two pieces into a
// new occurrence that a later tag of the same text deletes again.
//
// stripTags gives exactly that result in time close to linear in X.
#pragma once

#include <string_view>

#include "runtime/values/value.h"

namespace app {

rt::Text stripTags(std::string_view x);

}  // namespace app
