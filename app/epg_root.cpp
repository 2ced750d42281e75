#include "app/epg_root.h"

#include <cstdlib>

namespace app {

rt::Text epgRootFromEnvironment() {
    const char* env = std::getenv("TVGUIDE_EPG_ROOT");
    if (env == nullptr || *env == '\0') return kBuiltInEpgRoot;
    rt::Text root = env;
    // Catalogue paths are appended directly, so the root must end in "/".
    if (root.back() != '/') root += '/';
    return root;
}

}  // namespace app
