// The C++ header the build writes beside a window template block, so that the
// program names its handlers, windows and units without typing an id twice.
#pragma once

#include <string>
#include <string_view>

#include "tools/template/layout_description.h"

namespace tools {

// Declares, in namespace `nameSpace`:
//  - enum class HandlerId (handler names in PascalCase, values in list order)
//    and kHandlerCount;
//  - for a window with code name `mainWindow`: std::uint32_t kMainWindowId;
//  - for a unit with code name `channelList`: rt::ControlRef kChannelList,
//    its window's id and its own.
std::string idsHeader(const Layout& layout, std::string_view nameSpace);

}  // namespace tools
