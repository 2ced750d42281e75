// A readable, deterministic text of a window template block: one line per
// window, per unit and per property of a unit and of its type data, texts in
// UTF-8. Tests compare it with a checked-in copy; template_dump prints it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "runtime/window/template/window_template.h"

namespace tools {

std::string dumpTemplate(const rt::WindowTemplate& tpl);

// The dump of the block, or one line naming why the block cannot be read.
std::string dumpTemplateBlock(std::span<const std::uint8_t> block);

}  // namespace tools
