// The tag stripper's general path, for texts where some tag holds another
// "<" (so tag texts can occur inside one another). Internal to the stripper.
#pragma once

#include <string_view>
#include <vector>

#include "app/schedule/alive_text.h"
#include "runtime/values/value.h"

namespace app::strip {

struct TagSpan {
    Pos open;   // the "<"
    Pos close;  // the first ">" after it
};

// X after deleting, tag by tag in order, every occurrence of the tag's text
// that starts on a character; `tags` are the tags of X in order.
rt::Text stripNestedTags(std::string_view x, const std::vector<TagSpan>& tags);

}  // namespace app::strip
