#include "app/config/settings_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

#include "app/config/settings_file.h"
#include "base/text.h"

namespace app {
namespace fs = std::filesystem;

namespace {

std::string lineFor(const std::string& key, const std::string& value) {
    const bool quote =
        !value.empty() && (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
                           value.back() == '\t' || value.front() == '"');
    if (!quote) return key + "=" + value;
    std::string out = key + "=\"";
    for (char c : value) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

const std::pair<std::string, std::string>* find(const SettingValues& values, std::string_view key) {
    for (const auto& kv : values)
        if (kv.first == key) return &kv;
    return nullptr;
}

// The file `path` names, its symbolic links followed (a relative link from
// the link's own folder), so that a settings file the viewer keeps elsewhere
// and links to stays there and the link stays a link. A dangling link names
// the file it would point to.
fs::path linkTarget(const fs::path& path, std::string& error) {
    fs::path at = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(at, ec))) return at;
        const fs::path to = fs::read_symlink(at, ec);
        if (ec) {
            error = "cannot follow the link " + at.string() + ": " + ec.message();
            return {};
        }
        at = to.is_absolute() ? to : at.parent_path() / to;
    }
    error = path.string() + " is a loop of symbolic links";
    return {};
}

// A file with no write permission is one the viewer made read-only: it is
// not replaced behind their back. The rename would succeed regardless (it
// needs only the folder), and root passes access() whatever the mode, so the
// mode's write bits are asked as well.
bool writableByUs(const fs::path& file, const struct stat& st) {
    return ::access(file.c_str(), W_OK) == 0 && (st.st_mode & 0222) != 0;
}

// 0, or the error number of the write that failed.
int writeWhole(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

}  // namespace

std::string withSettings(std::string_view text, const SettingValues& values) {
    std::vector<std::string> lines;
    std::set<std::string> written;
    std::size_t firstOtherSection = std::string::npos;
    bool general = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::string_view line = base::trim(raw);
        if (!line.empty() && line.front() == '[') {
            const std::size_t close = line.find(']');
            general = close != std::string_view::npos && line.substr(1, close - 1) == "General";
            if (!general && firstOtherSection == std::string::npos)
                firstOtherSection = lines.size();
        } else if (general && !line.empty() && line.front() != ';' && line.front() != '#') {
            const std::size_t equals = line.find('=');
            if (equals != std::string_view::npos) {
                const std::string key(base::trim(line.substr(0, equals)));
                if (const auto* kv = find(values, key)) {
                    if (written.insert(key).second) lines.push_back(lineFor(key, kv->second));
                    continue;  // a repeat would override the line just written
                }
            }
        }
        lines.emplace_back(raw);
    }
    std::vector<std::string> added;
    for (const auto& [key, value] : values)
        if (!written.count(key)) added.push_back(lineFor(key, value));
    const std::size_t at =
        firstOtherSection == std::string::npos ? lines.size() : firstOtherSection;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

std::string writeSettings(const fs::path& path, const SettingValues& values) {
    std::string error;
    const fs::path target = linkTarget(path, error);
    if (!error.empty()) return error;
    const SettingsFile current = readSettingsFile(target);
    if (!current.problems.empty()) return path.string() + " " + current.problems.front();
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !writableByUs(target, st))
        return path.string() + " is read-only; the guide leaves it as it is";
    std::string text;
    if (std::ifstream in{target, std::ios::binary}) {
        std::ostringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    text = withSettings(text, values);
    if (text.size() > kMaxSettingsBytes)
        return path.string() + " would pass 1 MiB, more than the guide reads back";
    std::error_code ec;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
    if (ec) return "cannot make " + target.parent_path().string() + ": " + ec.message();
    std::string temporary = target.string() + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return "cannot write beside " + target.string() + ": " + std::strerror(errno);
    // mkostemp makes the file 0600 whatever the umask: new settings may hold
    // a password in a source URL. An existing file keeps its mode and, where
    // we may set them, its owner and group.
    int failed = 0;
    if (exists && ::fchmod(fd, st.st_mode & 0777) != 0) failed = errno;
    if (!failed && exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()))
        (void)!::fchown(fd, st.st_uid, st.st_gid);
    if (!failed) failed = writeWhole(fd, text);
    if (!failed && ::fsync(fd) != 0) failed = errno;
    if (::close(fd) != 0 && !failed) failed = errno;
    if (failed) {
        ::unlink(temporary.c_str());
        return "cannot write " + temporary + ": " + std::strerror(failed);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int why = errno;
        ::unlink(temporary.c_str());
        return "cannot replace " + target.string() + ": " + std::strerror(why);
    }
    return {};
}

}  // namespace app
