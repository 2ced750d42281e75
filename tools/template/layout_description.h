// The readable layout description of a window template (see the format notes
// at the top of runtime/window/template/main_window.layout) and what the
// build makes of it: the template records and the handler list.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/values/value.h"
#include "runtime/window/template/window_template.h"

namespace tools {

struct Layout {
    rt::WindowTemplate tpl;
    std::vector<std::string> handlers;  // index = the handler offset stored in the block
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

// A C++ header declaring rt::HandlerId (handler names in PascalCase, values in
// list order) and rt::kHandlerCount.
std::string handlerIdsHeader(const std::vector<std::string>& handlers);

}  // namespace tools
