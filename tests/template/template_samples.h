// Small hand-made templates for the format tests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/values/value.h"
#include "runtime/window/template/window_template.h"

namespace test {

inline constexpr std::uint32_t kWindow = 0x52010001, kOwnUnit = 0x06010000;

// One window kWindow with its own unit (icon-less, titled) and two
// controls: a GroupBox holding a Label with a bound event. Names and comments
// are empty so record fields sit at fixed offsets (see recordBody()).
rt::WindowTemplate smallTemplate();

// Every field set to something other than its default, two windows, a menu
// item, texts, tags, links: for round trips.
rt::WindowTemplate busyTemplate();

// Offset of the first byte after the length word of unit `index`'s record in
// a block written from a template whose first window has empty texts.
std::size_t recordBody(const rt::Bytes& block, std::size_t index);

// Offsets inside a record body with empty name and comment.
namespace field {
inline constexpr std::size_t kType = 0, kParent = 50, kChildCount = 54, kChildren = 58;
}  // namespace field

std::uint32_t readU32(const rt::Bytes& b, std::size_t at);
void writeU32(rt::Bytes& b, std::size_t at, std::uint32_t v);

}  // namespace test
