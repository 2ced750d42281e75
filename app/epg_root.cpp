#include "app/epg_root.h"

#include <cstdlib>

namespace app {

rt::Text chooseEpgRoot(const std::optional<std::string>& commandLine,
                       const std::optional<std::string>& settingsFile) {
    rt::Text root;
    if (commandLine && !commandLine->empty()) {
        root = *commandLine;
    } else if (const char* env = std::getenv("TVGUIDE_EPG_ROOT"); env && *env) {
        root = env;
    } else if (settingsFile && !settingsFile->empty()) {
        root = *settingsFile;
    } else {
        return kBuiltInEpgRoot;
    }
    // Catalogue paths are appended directly, so the root must end in "/".
    if (root.back() != '/') root += '/';
    return root;
}

}  // namespace app
