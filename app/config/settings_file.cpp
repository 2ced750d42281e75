#include "app/config/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/text.h"

namespace app {
namespace fs = std::filesystem;

namespace {

// The value as written: inside its quotes when it begins with one.
std::string valueOf(std::string_view raw) {
    if (raw.empty() || raw.front() != '"') return std::string(raw);
    std::string out;
    for (std::size_t i = 1; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') break;
        if (c == '\\' && i + 1 < raw.size() && (raw[i + 1] == '"' || raw[i + 1] == '\\')) {
            out += raw[++i];
            continue;
        }
        out += c;
    }
    return out;
}

// Reads at most `limit` bytes of a regular file; a FIFO is never waited on.
struct Read {
    std::string text;
    bool missing = false;
    bool cut = false;  // the file holds more than `limit`
    std::string problem;
};

Read readAtMost(const fs::path& path, std::size_t limit) {
    Read r;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT)
            r.missing = true;
        else
            r.problem = std::string("cannot be read: ") + std::strerror(errno);
        return r;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        r.problem = "is not a regular file; it is not read";
        ::close(fd);
        return r;
    }
    r.text.resize(limit + 1);
    std::size_t got = 0;
    while (got < r.text.size()) {
        const ssize_t n = ::read(fd, r.text.data() + got, r.text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            r.problem = std::string("cannot be read: ") + std::strerror(errno);
            break;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    r.cut = got > limit;
    r.text.resize(std::min(got, limit));
    if (r.cut) {
        // The last line may be cut in two: it is not read either.
        const std::size_t lastLine = r.text.rfind('\n');
        r.text.resize(lastLine == std::string::npos ? 0 : lastLine + 1);
    }
    return r;
}

}  // namespace

std::optional<std::string> SettingsFile::value(const std::string& key) const {
    const auto it = values.find(key);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

std::map<std::string, std::string> parseSettings(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::map<std::string, std::string> values;
    bool general = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = base::trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            general = close != std::string_view::npos && line.substr(1, close - 1) == "General";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!general || equals == std::string_view::npos) continue;
        const std::string_view key = base::trim(line.substr(0, equals));
        std::string value = valueOf(base::trim(line.substr(equals + 1)));
        if (key.empty()) continue;
        if (value.empty())
            values.erase(std::string(key));
        else
            values[std::string(key)] = std::move(value);
    }
    return values;
}

std::optional<fs::path> settingsFilePath() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        return fs::path(xdg) / "tvguide" / "tvguide.conf";
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".config" / "tvguide" / "tvguide.conf";
    return std::nullopt;
}

SettingsFile readSettingsFile(const fs::path& path) {
    SettingsFile file;
    file.path = path;
    const Read read = readAtMost(path, kMaxSettingsBytes);
    if (!read.problem.empty()) file.problems.push_back(read.problem);
    if (read.cut) file.problems.push_back("is larger than 1 MiB; only its first 1 MiB is read");
    file.values = parseSettings(read.text);
    return file;
}

}  // namespace app
