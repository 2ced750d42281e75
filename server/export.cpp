#include "server/export.h"

#include <filesystem>
#include <fstream>

namespace epg {

std::string exportSite(const Site& site, const std::string& dir, std::size_t* written) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path root = fs::path(dir);
    fs::create_directories(root, ec);
    if (ec) return dir + ": cannot create: " + ec.message();
    std::size_t count = 0;
    for (const auto& path : site.pagePaths()) {
        // Page paths are built from the catalogue, but check anyway: nothing
        // may land outside dir.
        fs::path rel(path);
        if (rel.is_absolute() || path.find("..") != std::string::npos)
            return path + ": not a relative page path";
        auto body = site.page(path);
        if (!body) continue;
        fs::path file = root / rel;
        fs::create_directories(file.parent_path(), ec);
        if (ec) return file.parent_path().string() + ": cannot create: " + ec.message();
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(body->data(), static_cast<std::streamsize>(body->size()));
        out.close();
        if (!out) return file.string() + ": cannot write";
        ++count;
    }
    if (written) *written = count;
    return {};
}

}  // namespace epg
