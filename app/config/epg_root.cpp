#include "app/config/epg_root.h"

#include <curl/curl.h>

#include <cstdlib>
#include <memory>

#include "base/shown_url.h"

namespace app {

EpgRootChoice chooseEpgRoot(const std::optional<std::string>& commandLine,
                            const std::optional<std::string>& settingsFile) {
    EpgRootChoice choice;
    if (commandLine && !commandLine->empty()) {
        choice = {*commandLine, *commandLine, RootSource::CommandLine};
    } else if (const char* env = std::getenv("TVGUIDE_EPG_ROOT"); env && *env) {
        choice = {env, env, RootSource::Environment};
    } else if (settingsFile && !settingsFile->empty()) {
        choice = {*settingsFile, *settingsFile, RootSource::SettingsFile};
    } else {
        return {kBuiltInEpgRoot, kBuiltInEpgRoot, RootSource::BuiltIn};
    }
    // Catalogue paths are appended directly, so the root must end in "/".
    if (choice.root.back() != '/') choice.root += '/';
    return choice;
}

bool isHttpUrlWithHost(std::string_view url) {
    if (!base::isHttpUrl(url) || url.find('\0') != std::string_view::npos) return false;
    const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parts(curl_url(), &curl_url_cleanup);
    if (!parts) return false;
    const std::string text(url);
    // Blanks are allowed: the fetch sends them as %20.
    if (curl_url_set(parts.get(), CURLUPART_URL, text.c_str(), CURLU_ALLOW_SPACE) != CURLUE_OK)
        return false;
    char* host = nullptr;
    if (curl_url_get(parts.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK || !host) return false;
    const bool named = *host != '\0';
    curl_free(host);
    return named;
}

}  // namespace app
