// Where the guide finds its EPG server.
#pragma once

#include "runtime/values/value.h"

namespace app {

// The built-in root, scheme and host up to and including the "/" after it.
inline constexpr const char* kBuiltInEpgRoot = "http://127.0.0.1:8610/";

// TVGUIDE_EPG_ROOT when set and not empty (a missing final "/" is added),
// else the built-in root. Read once by the caller and kept.
rt::Text epgRootFromEnvironment();

}  // namespace app
