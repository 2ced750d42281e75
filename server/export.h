// Writing every page the server has as static files, for any web server.
#pragma once

#include <string>

#include "server/site.h"

namespace epg {

// Writes each path of site.pagePaths() below dir (created when missing) and
// nowhere else. An error text naming the file, or empty.
std::string exportSite(const Site& site, const std::string& dir, std::size_t* written = nullptr);

}  // namespace epg
