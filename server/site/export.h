// Writing everything the server serves as static files, for any web server:
// every page and the banner, each with a ".gz" twin beside it (for servers
// that send precompressed files, like nginx's gzip_static), and epg.xml with
// epg.xml.gz.
#pragma once

#include <string>

#include "server/site/site.h"

namespace epg {

// Writes the site's current snapshot below dir (created when missing) and
// nowhere else. An error text naming the file, or empty; `written` counts
// the files.
std::string exportSite(const Site& site, const std::string& dir, std::size_t* written = nullptr);

}  // namespace epg
