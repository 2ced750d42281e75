#include "server/site/export.h"

#include <filesystem>
#include <fstream>

namespace epg {
namespace {

namespace fs = std::filesystem;

std::string writeFile(const fs::path& file, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec) return file.parent_path().string() + ": cannot create: " + ec.message();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) return file.string() + ": cannot write";
    return {};
}

}  // namespace

std::string exportSite(const Site& site, const std::string& dir, std::size_t* written) {
    std::error_code ec;
    fs::path root = fs::path(dir);
    fs::create_directories(root, ec);
    if (ec) return dir + ": cannot create: " + ec.message();
    auto snap = site.snapshot();
    if (!snap) return "nothing rendered to export";
    std::size_t count = 0;
    auto put = [&](const std::string& path, const Resource& r) -> std::string {
        // Paths are built from the catalogue, but check anyway: nothing may
        // land outside dir.
        fs::path rel(path);
        if (rel.is_absolute() || path.find("..") != std::string::npos)
            return path + ": not a relative page path";
        if (std::string err = writeFile(root / rel, r.identity.body); !err.empty()) return err;
        ++count;
        if (!r.gzip) return {};
        if (std::string err = writeFile(root / (path + ".gz"), r.gzip->body); !err.empty())
            return err;
        ++count;
        return {};
    };
    const auto& days = snap->week->days;
    auto paths = site.pagePaths();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const Resource& r = i < days.size() ? days[i] : *snap->banner;
        if (std::string err = put(paths[i], r); !err.empty()) return err;
    }
    // epg.xml's twin is epg.xml.gz itself: a static server can send it for
    // either name.
    if (std::string err = put("epg.xml", snap->week->xmltv); !err.empty()) return err;
    if (written) *written = count;
    return {};
}

}  // namespace epg
