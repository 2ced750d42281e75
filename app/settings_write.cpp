#include "app/settings_write.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

#include "app/settings_file.h"

namespace app {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

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
        const std::string_view line = trimmed(raw);
        if (!line.empty() && line.front() == '[') {
            const std::size_t close = line.find(']');
            general = close != std::string_view::npos && line.substr(1, close - 1) == "General";
            if (!general && firstOtherSection == std::string::npos)
                firstOtherSection = lines.size();
        } else if (general && !line.empty() && line.front() != ';' && line.front() != '#') {
            const std::size_t equals = line.find('=');
            if (equals != std::string_view::npos) {
                const std::string key(trimmed(line.substr(0, equals)));
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

std::string writeSettings(const std::filesystem::path& path, const SettingValues& values) {
    const SettingsFile current = readSettingsFile(path);
    if (!current.problems.empty()) return current.problems.front();
    std::string text;
    if (std::ifstream in{path, std::ios::binary}) {
        std::ostringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) return "cannot make " + path.parent_path().string() + ": " + ec.message();
    const std::filesystem::path temporary =
        path.string() + ".tmp" + std::to_string(static_cast<long>(::getpid()));
    {
        std::ofstream out{temporary, std::ios::binary | std::ios::trunc};
        out << withSettings(text, values);
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, ec);
            return "cannot write " + temporary.string();
        }
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return "cannot replace " + path.string() + ": " + ec.message();
    }
    return {};
}

}  // namespace app
