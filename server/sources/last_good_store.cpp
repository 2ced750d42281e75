#include "server/sources/last_good_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "encoding/fnv1a.h"
#include "server/util/text_trim.h"

namespace epg {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kHeadBytes = 4096;
constexpr std::string_view kMagic = "tvguide-epgd last good copy 1";
constexpr std::size_t kMaxValidator = 1024;

std::string errnoText() {
    return std::strerror(errno);
}

// A validator worth keeping fits on its line of the head.
std::string keepable(const std::string& v) {
    if (v.size() > kMaxValidator) return {};
    for (char c : v)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return {};
    return v;
}

std::string headText(std::string_view url, const Validators& v) {
    std::string head(kMagic);
    head += "\nurl ";
    head += url.substr(0, 2000);
    head += "\netag " + keepable(v.etag) + "\nlast-modified " + keepable(v.lastModified) + "\n";
    head.resize(kHeadBytes, '\n');
    return head;
}

bool syncDirectory(const fs::path& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

fs::path defaultStateDir(const char* xdgStateHome, const char* home) {
    if (xdgStateHome && *xdgStateHome == '/') return fs::path(xdgStateHome) / "tvguide-epgd";
    if (home && *home) return fs::path(home) / ".local/state/tvguide-epgd";
    return {};
}

LastGoodStore::LastGoodStore(fs::path dir) : dir_(std::move(dir)) {}

std::string LastGoodStore::open() {
    ready_ = false;
    if (dir_.empty()) return {};
    std::error_code ec;
    fs::create_directories(dir_, ec);
    if (ec) return dir_.string() + ": cannot create: " + ec.message();
    if (!fs::is_directory(dir_, ec)) return dir_.string() + ": not a directory";
    // What an earlier run left half written.
    for (const auto& e : fs::directory_iterator(dir_, ec))
        if (e.path().filename().string().find(".part-") != std::string::npos)
            fs::remove(e.path(), ec);
    ready_ = true;
    return {};
}

std::string LastGoodStore::fileNameFor(std::string_view url) {
    std::string_view host = url;
    if (auto scheme = host.find("://"); scheme != std::string_view::npos)
        host.remove_prefix(scheme + 3);
    host = host.substr(0, host.find_first_of("/?#"));
    if (auto at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
    std::string name;
    for (char c : host.substr(0, 64)) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        name += (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-') ? c : '_';
    }
    while (!name.empty() && name.front() == '.') name.erase(0, 1);
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(encoding::fnv1a(url)));
    return (name.empty() ? std::string("source") : name) + "-" + hash + ".copy";
}

std::optional<LastGoodStore::Copy> LastGoodStore::find(std::string_view url) const {
    if (!ready_) return std::nullopt;
    fs::path file = dir_ / fileNameFor(url);
    int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::string head(kHeadBytes, '\0');
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              ::pread(fd, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size());
    ::close(fd);
    if (!ok || !head.starts_with(kMagic)) return std::nullopt;
    Copy copy;
    copy.file = file;
    std::string_view rest(head);
    std::string storedUrl;
    while (!rest.empty()) {
        std::string_view line = takeLine(rest);
        auto field = [&line](std::string_view key) -> std::optional<std::string> {
            if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == ' ')
                return std::string(line.substr(key.size() + 1));
            return std::nullopt;
        };
        if (auto v = field("url")) storedUrl = *v;
        if (auto v = field("etag")) copy.validators.etag = *v;
        if (auto v = field("last-modified")) copy.validators.lastModified = *v;
    }
    // Two URLs with one hash would be a copy of another source.
    if (storedUrl != url.substr(0, 2000)) return std::nullopt;
    copy.saved = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(st.st_mtim.tv_sec) +
            std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
    return copy;
}

FileBytes LastGoodStore::read(const Copy& copy, const ReadOptions& options) const {
    ReadOptions o = options;
    o.offset = kHeadBytes;
    o.gunzip = true;
    return readSourceFile(copy.file.string(), o);
}

void LastGoodStore::touch(const Copy& copy) const {
    ::utimensat(AT_FDCWD, copy.file.c_str(), nullptr, 0);
}

LastGoodStore::Draft LastGoodStore::begin(std::string_view url, std::string* error) const {
    Draft d;
    if (!ready_) return d;
    fs::path final = dir_ / fileNameFor(url);
    std::string pattern = final.string() + ".part-XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        if (error) *error = dir_.string() + ": cannot write: " + errnoText();
        return d;
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    d.fd_ = fd;
    d.temp_ = pattern;
    d.final_ = std::move(final);
    d.url_ = std::string(url);
    d.write(std::string(kHeadBytes, '\n'));  // the head is filled in at commit
    return d;
}

LastGoodStore::Draft::~Draft() {
    drop();
}

LastGoodStore::Draft::Draft(Draft&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      failed_(other.failed_),
      error_(std::move(other.error_)),
      temp_(std::move(other.temp_)),
      final_(std::move(other.final_)),
      url_(std::move(other.url_)) {}

LastGoodStore::Draft& LastGoodStore::Draft::operator=(Draft&& other) noexcept {
    if (this != &other) {
        drop();
        fd_ = std::exchange(other.fd_, -1);
        failed_ = other.failed_;
        error_ = std::move(other.error_);
        temp_ = std::move(other.temp_);
        final_ = std::move(other.final_);
        url_ = std::move(other.url_);
    }
    return *this;
}

void LastGoodStore::Draft::drop() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(temp_.c_str());
    fd_ = -1;
}

void LastGoodStore::Draft::write(std::string_view bytes) {
    while (fd_ >= 0 && !failed_ && !bytes.empty()) {
        ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            error_ = temp_.string() + ": cannot write: " + errnoText();
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string LastGoodStore::Draft::commit(const Validators& validators) {
    if (fd_ < 0) return {};
    std::string error = error_;
    if (!failed_) {
        std::string head = headText(url_, validators);
        if (::pwrite(fd_, head.data(), head.size(), 0) != static_cast<ssize_t>(head.size()) ||
            ::fsync(fd_) != 0)
            error = temp_.string() + ": cannot write: " + errnoText();
    }
    if (error.empty()) {
        ::close(fd_);
        fd_ = -1;
        if (::rename(temp_.c_str(), final_.c_str()) != 0) {
            error = final_.string() + ": cannot put in place: " + errnoText();
            ::unlink(temp_.c_str());
        } else if (!syncDirectory(final_.parent_path())) {
            error = final_.parent_path().string() + ": cannot sync: " + errnoText();
        }
        return error;
    }
    drop();
    return error;
}

}  // namespace epg
