#include "server/sources/last_good_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "base/shown_url.h"
#include "encoding/fnv1a.h"
#include "server/util/text_trim.h"
#include "server/util/unique_fd.h"

namespace epg {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kHeadBytes = 4096;
constexpr std::string_view kMagic = "tvguide-epgd last good copy 2";
// The first format named the whole URL in the head, secrets and all; such a
// copy is still read, and its head written again without them.
constexpr std::string_view kMagicWholeUrl = "tvguide-epgd last good copy 1";
constexpr std::size_t kMaxValidator = 1024;
constexpr std::size_t kMaxUrl = 2000;
// Not FNV's own basis, so that this hash and the one in the name differ.
constexpr std::uint64_t kKeyBasis = 0x6c62272e07bb0142ull;

std::string errnoText() {
    return std::strerror(errno);
}

std::string hex(std::uint64_t n) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(n));
    return text;
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
    head += base::shownUrl(url).substr(0, kMaxUrl);
    head += "\nkey " + hex(encoding::fnv1a(url, kKeyBasis));
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
    // Bodies may come from feeds that want a key: no one else's to read.
    if (fs::create_directories(dir_, ec)) fs::permissions(dir_, fs::perms::owner_all, ec);
    if (ec) return dir_.string() + ": cannot create: " + ec.message();
    if (!fs::is_directory(dir_, ec)) return dir_.string() + ": not a directory";
    ready_ = true;
    removeDrafts(Drafts::Abandoned);  // what an earlier run left half written
    return {};
}

namespace {

// "NAME-0123456789abcdef.copy.part-PID-XXXXXX", as begin() names a draft:
// its process, or nothing for any other name.
std::optional<long> draftProcess(std::string_view name) {
    constexpr std::string_view kPart = ".copy.part-";
    const std::size_t part = name.find(kPart);
    if (part == std::string_view::npos || part < 17 || name[part - 17] != '-') return std::nullopt;
    for (char c : name.substr(part - 16, 16))
        if (!std::isxdigit(static_cast<unsigned char>(c)) ||
            std::isupper(static_cast<unsigned char>(c)))
            return std::nullopt;
    std::string_view tail = name.substr(part + kPart.size());  // PID-XXXXXX
    const std::size_t dash = tail.find('-');
    if (dash == 0 || dash == std::string_view::npos || tail.size() - dash - 1 != 6)
        return std::nullopt;
    long pid = 0;
    for (char c : tail.substr(0, dash)) {
        if (!std::isdigit(static_cast<unsigned char>(c)) || pid > 1'000'000'000)
            return std::nullopt;
        pid = pid * 10 + (c - '0');
    }
    for (char c : tail.substr(dash + 1))
        if (!std::isalnum(static_cast<unsigned char>(c))) return std::nullopt;
    return pid;
}

// A draft no process is writing: its writer is gone, or it has not grown
// for longer than any fetch may stall.
bool abandoned(const fs::directory_entry& e, long pid) {
    if (pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return true;
    std::error_code ec;
    const auto modified = fs::last_write_time(e.path(), ec);
    return !ec && fs::file_time_type::clock::now() - modified > std::chrono::minutes(15);
}

}  // namespace

void LastGoodStore::removeDrafts(Drafts which) const {
    if (!ready_) return;
    std::error_code ec;
    // Only our own drafts, by name and kind: the directory may be shared with
    // another server (the guide's and tvguide-epgd), or hold the operator's
    // own files.
    for (const auto& e : fs::directory_iterator(dir_, ec)) {
        const auto pid = draftProcess(e.path().filename().string());
        if (!pid || !e.is_regular_file(ec) || e.is_symlink(ec)) continue;
        if ((which == Drafts::Ours && *pid == ::getpid()) || abandoned(e, *pid))
            fs::remove(e.path(), ec);
    }
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
    return (name.empty() ? std::string("source") : name) + "-" + hex(encoding::fnv1a(url)) +
           ".copy";
}

LastGoodStore::Lookup LastGoodStore::find(std::string_view url) const {
    if (!ready_) return {};
    const fs::path file = dir_ / fileNameFor(url);
    const std::string named = "its last good copy " + file.string();
    auto problem = [&named](std::string what) { return Lookup{std::nullopt, named + what}; };
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
    if (fd.get() < 0) {
        if (errno == ENOENT) return {};
        if (errno == ELOOP) return problem(" is a symbolic link, which is never followed");
        return problem(" cannot be read: " + errnoText());
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return problem(" cannot be read: " + errnoText());
    if (!S_ISREG(st.st_mode)) return problem(" is not a regular file");
    std::string head(kHeadBytes, '\0');
    const ssize_t got = ::pread(fd.get(), head.data(), head.size(), 0);
    if (got < 0) return problem(" cannot be read: " + errnoText());
    const bool whole = head.starts_with(kMagicWholeUrl);
    if (got != static_cast<ssize_t>(head.size()) || !(head.starts_with(kMagic) || whole))
        return problem(" is damaged: it does not begin with the head of a last good copy");
    Copy copy;
    copy.file = file;
    std::string_view rest(head);
    std::string storedUrl, storedKey;
    while (!rest.empty()) {
        std::string_view line = takeLine(rest);
        auto field = [&line](std::string_view key) -> std::optional<std::string> {
            if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == ' ')
                return std::string(line.substr(key.size() + 1));
            return std::nullopt;
        };
        if (auto v = field("url")) storedUrl = *v;
        if (auto v = field("key")) storedKey = *v;
        if (auto v = field("etag")) copy.validators.etag = *v;
        if (auto v = field("last-modified")) copy.validators.lastModified = *v;
    }
    // Two URLs with one hash would be a copy of another source.
    const bool same = whole ? storedUrl == url.substr(0, kMaxUrl)
                            : storedKey == hex(encoding::fnv1a(url, kKeyBasis)) &&
                                  storedUrl == base::shownUrl(url).substr(0, kMaxUrl);
    if (!same) return problem(" belongs to another URL");
    if (whole) {
        // Written again in place, without the URL's secrets; the time it was
        // fetched kept.
        std::string fresh = headText(url, copy.validators);
        int rw = ::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
        if (rw >= 0) {
            if (::pwrite(rw, fresh.data(), fresh.size(), 0) == static_cast<ssize_t>(fresh.size()))
                ::fsync(rw);
            const struct timespec times[2] = {st.st_atim, st.st_mtim};
            ::futimens(rw, times);
            ::close(rw);
        }
    }
    copy.saved = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(st.st_mtim.tv_sec) +
            std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
    return {std::move(copy), {}};
}

FileRead LastGoodStore::read(const Copy& copy, const ReadOptions& options,
                             const std::function<bool(std::string_view)>& sink) const {
    ReadOptions o = options;
    o.offset = kHeadBytes;
    o.gunzip = true;
    o.noFollow = true;
    return streamSourceFile(copy.file.string(), o, sink);
}

void LastGoodStore::touch(const Copy& copy) const {
    ::utimensat(AT_FDCWD, copy.file.c_str(), nullptr, 0);
}

LastGoodStore::Draft LastGoodStore::begin(std::string_view url, std::string* error) const {
    Draft d;
    if (!ready_) return d;
    fs::path final = dir_ / fileNameFor(url);
    std::string pattern = final.string() + ".part-" + std::to_string(::getpid()) + "-XXXXXX";
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
