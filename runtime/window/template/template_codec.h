// The window template's binary block: reading it (untrusted: every count,
// length and offset is checked before use) and writing it (the exact inverse,
// readTemplate(writeTemplate(t)) == t for any template the reader accepts).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "runtime/values/value.h"
#include "runtime/window/template/window_template.h"

namespace rt {

struct TemplateReadResult {
    std::optional<WindowTemplate> value;
    std::string error;  // what was wrong and at which byte offset; empty on success
};

// Besides the byte layout the reader checks what the runtime relies on later:
// unique window and unit ids, a window unit first in each window, parents and
// children naming units of the same window without a cycle, handler indexes of
// -1 or more, and type data that decodes for each known unit type.
TemplateReadResult readTemplate(std::span<const std::uint8_t> block);

// Texts are written up to their first NUL. Reserved words are written as 0.
Bytes writeTemplate(const WindowTemplate& tpl);

}  // namespace rt
