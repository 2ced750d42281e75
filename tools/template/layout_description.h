// The readable layout description of a window template (see the format notes
// at the top of app/window/main_window.layout) and what the build makes of it: the
// template records, the handler list and the names the code gives to windows
// and units.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/values/value.h"
#include "runtime/window/template/window_template.h"

namespace tools {

// A window or unit as the program's code names it (the `code` statement).
struct CodeName {
    std::string name;                   // camelCase, unique in the layout
    std::uint32_t window = 0;           // the window's id
    std::optional<std::uint32_t> unit;  // nothing: the window itself
    std::string designName;             // the unit's name in the layout, UTF-8
};

struct Layout {
    rt::WindowTemplate tpl;
    std::vector<std::string> handlers;  // index = the handler offset stored in the block
    std::vector<CodeName> codeNames;    // in layout order
};

struct LayoutResult {
    std::optional<Layout> value;
    std::string error;  // "line N: ..." on failure
};

// Supplies the bytes of a file the description names (the icon); nothing when
// there is no such file.
using FileLoader = std::function<std::optional<rt::Bytes>(std::string_view name)>;

// Parses the description. The result is also checked by writing it and
// reading it back, so a layout that parses always makes a readable block.
LayoutResult parseLayout(std::string_view text, const FileLoader& files);

}  // namespace tools
