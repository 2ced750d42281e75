#include "app/schedule/page_cache.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <string_view>
#include <system_error>
#include <vector>

#include "encoding/fnv1a.h"
#include "runtime/values/allocation_failure.h"
#include "runtime/values/date_time.h"

namespace app {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "tvguide-page 1";
constexpr std::string_view kPrefix = "page-";
constexpr std::string_view kSuffix = ".cache";
constexpr std::string_view kTempPrefix = ".page-";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr std::size_t kMaxHead = 8192;               // magic, URL, time, size line
constexpr std::uintmax_t kMaxFileBytes = 64u << 20;  // far above the fetch's body cap
constexpr auto kStaleTemporary = std::chrono::hours(1);

std::string hashName(std::string_view url) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx",
                  static_cast<unsigned long long>(encoding::fnv1a(url)));
    return hex;
}

std::string timeText(rt::DateTime t) {
    const rt::CivilTime c = rt::toCivil(t);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", c.year, c.month, c.day,
                  c.hour, c.minute, c.second);
    return text;
}

template <class T>
std::optional<T> number(std::string_view text, int base = 10) {
    T value{};
    if (text.empty()) return std::nullopt;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<rt::DateTime> parseTime(std::string_view t) {
    if (t.size() != 19 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' ||
        t[16] != ':')
        return std::nullopt;
    const auto y = number<int>(t.substr(0, 4)), mo = number<int>(t.substr(5, 2)),
               d = number<int>(t.substr(8, 2)), h = number<int>(t.substr(11, 2)),
               mi = number<int>(t.substr(14, 2)), s = number<int>(t.substr(17, 2));
    if (!y || !mo || !d || !h || !mi || !s) return std::nullopt;
    return rt::fromCivil({*y, *mo, *d, *h, *mi, *s});
}

struct Head {
    std::string url;
    rt::DateTime fetched;
    std::uint64_t bodyBytes = 0;
    std::uint32_t crc = 0;
    std::size_t length = 0;  // bytes before the body
};

// The four header lines at the start of `data`; nothing when they are not
// exactly in the form keep() writes.
std::optional<Head> parseHead(std::string_view data) {
    std::string_view lines[4];
    std::size_t at = 0;
    for (auto& line : lines) {
        const std::size_t end = data.find('\n', at);
        if (end == std::string_view::npos) return std::nullopt;
        line = data.substr(at, end - at);
        at = end + 1;
    }
    if (lines[0] != kMagic || lines[1].empty()) return std::nullopt;
    Head head;
    head.url = std::string(lines[1]);
    const auto fetched = parseTime(lines[2]);
    const std::size_t blank = lines[3].find(' ');
    if (!fetched || blank == std::string_view::npos) return std::nullopt;
    const auto size = number<std::uint64_t>(lines[3].substr(0, blank));
    const auto crc = number<std::uint32_t>(lines[3].substr(blank + 1), 16);
    if (!size || !crc || lines[3].size() - blank - 1 != 8) return std::nullopt;
    head.fetched = *fetched;
    head.bodyBytes = *size;
    head.crc = *crc;
    head.length = at;
    return head;
}

std::uint32_t crcOf(const std::uint8_t* data, std::size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {  // zlib takes at most a uInt at a time
        const uInt piece = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = crc32(crc, data, piece);
        data += piece;
        size -= piece;
    }
    return static_cast<std::uint32_t>(crc);
}

bool isCopyName(const std::string& name) {
    if (name.size() != kPrefix.size() + 16 + kSuffix.size() || !name.starts_with(kPrefix) ||
        !name.ends_with(kSuffix))
        return false;
    return std::all_of(name.begin() + kPrefix.size(), name.begin() + kPrefix.size() + 16,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

bool isTemporaryName(const std::string& name) {
    return name.starts_with(kTempPrefix) && name.ends_with(kTempSuffix);
}

std::optional<Head> readHead(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string data(kMaxHead, '\0');
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    data.resize(static_cast<std::size_t>(in.gcount()));
    return parseHead(data);
}

// A temporary file in `directory` named `prefix`XXXXXX.tmp, open for writing.
struct Temporary {
    int fd = -1;
    std::string path;
    int error = 0;  // errno when it could not be made
};

Temporary makeTemporary(const fs::path& directory, const std::string& prefix) {
    Temporary t;
    t.path = (directory / (prefix + "-XXXXXX" + std::string(kTempSuffix))).string();
    t.fd = ::mkostemps(t.path.data(), static_cast<int>(kTempSuffix.size()), O_CLOEXEC);
    if (t.fd < 0) t.error = errno;
    return t;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

namespace {

// The four lines before the body.
std::string copyHead(const rt::Text& url, const rt::Bytes& body, rt::DateTime fetched) {
    char sizeLine[48];
    std::snprintf(sizeLine, sizeof sizeLine, "%llu %08x\n",
                  static_cast<unsigned long long>(body.size()), crcOf(body.data(), body.size()));
    return std::string(kMagic) + "\n" + url + "\n" + timeText(fetched) + "\n" + sizeLine;
}

std::string_view asChars(const rt::Bytes& body) {
    return std::string_view(reinterpret_cast<const char*>(body.data()), body.size());
}

}  // namespace

std::string encodeKeptPage(const rt::Text& url, const rt::Bytes& body, rt::DateTime fetched) {
    return copyHead(url, body, fetched).append(asChars(body));
}

std::optional<DecodedCopy> decodeKeptPage(std::string_view data) {
    const auto head = parseHead(data.substr(0, kMaxHead));
    if (!head || head->bodyBytes != data.size() - head->length) return std::nullopt;
    const auto* body = reinterpret_cast<const std::uint8_t*>(data.data()) + head->length;
    if (crcOf(body, head->bodyBytes) != head->crc) return std::nullopt;
    return DecodedCopy{head->url, KeptPage{rt::Bytes(body, body + head->bodyBytes), head->fetched}};
}

PageCache::PageCache(fs::path directory, PageCacheLimits limits, Complaint complain)
    : directory_(std::move(directory)), limits_(limits), complain_(std::move(complain)) {
    std::error_code ec;
    fs::create_directories(directory_, ec);
    if (ec) {
        error_ = "cannot create " + directory_.string() + ": " + ec.message();
        return;
    }
    if (!fs::is_directory(directory_, ec)) {
        error_ = directory_.string() + " is not a directory";
        return;
    }
    // Permission bits do not tell (root passes them; a read-only mount does
    // not): a file is made and removed.
    const Temporary probe = makeTemporary(directory_, std::string(kTempPrefix) + "probe");
    if (probe.fd < 0) {
        complainOnce("cannot write in " + directory_.string() + ": " + std::strerror(probe.error));
        return;
    }
    ::close(probe.fd);
    fs::remove(probe.path, ec);
}

void PageCache::complainOnce(const std::string& why) {
    if (complained_) return;
    complained_ = true;
    if (complain_) complain_(why);
}

fs::path PageCache::pathFor(const rt::Text& url) const {
    return directory_ / (std::string(kPrefix) + hashName(url) + std::string(kSuffix));
}

bool PageCache::keep(const rt::Text& url, const rt::Bytes& body, rt::DateTime fetched) {
    if (!usable() || url.empty() || url.find_first_of("\r\n") != rt::Text::npos) return false;
    const Temporary temp = makeTemporary(directory_, std::string(kTempPrefix) + hashName(url));
    if (temp.fd < 0) {
        complainOnce("cannot write in " + directory_.string() + ": " + std::strerror(temp.error));
        return false;
    }
    errno = 0;
    const bool written = writeAll(temp.fd, copyHead(url, body, fetched)) &&
                         writeAll(temp.fd, asChars(body)) && ::fsync(temp.fd) == 0;
    const int writeError = errno;
    const bool closed = ::close(temp.fd) == 0;
    std::error_code ec;
    if (written && closed) fs::rename(temp.path, pathFor(url), ec);
    if (!written || !closed || ec) {
        const std::string why =
            ec ? ec.message() : std::strerror(writeError != 0 ? writeError : EIO);
        fs::remove(temp.path, ec);
        complainOnce("cannot write in " + directory_.string() + ": " + why);
        return false;
    }
    return true;
}

std::optional<KeptPage> PageCache::recall(const rt::Text& url) const {
    if (!usable()) return std::nullopt;
    const fs::path path = pathFor(url);
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > kMaxFileBytes) return std::nullopt;
    std::string data;
    try {
        data.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        throw rt::AllocationFailure(static_cast<std::size_t>(size));
    }
    std::ifstream in(path, std::ios::binary);
    if (!in.read(data.data(), static_cast<std::streamsize>(data.size()))) return std::nullopt;
    auto copy = decodeKeptPage(data);
    if (!copy) {
        // Cut or altered: it can never be shown, so it takes no room either.
        fs::remove(path, ec);
        return std::nullopt;
    }
    if (copy->url != url) return std::nullopt;  // another URL's, of the same hash
    return std::move(copy->page);
}

void PageCache::prune(rt::DateTime now) {
    if (!usable()) return;
    struct Copy {
        fs::path path;
        double fetched;
        std::uintmax_t bytes;
    };
    std::vector<Copy> copies;
    std::error_code ec;
    const auto staleBefore = fs::file_time_type::clock::now() - kStaleTemporary;
    for (fs::directory_iterator it(directory_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code entryError;
        if (isTemporaryName(name)) {
            // A temporary another run is still writing is younger than this.
            const auto written = fs::last_write_time(it->path(), entryError);
            if (!entryError && written < staleBefore) fs::remove(it->path(), entryError);
            continue;
        }
        if (!isCopyName(name) || !it->is_regular_file(entryError)) continue;
        const std::uintmax_t bytes = fs::file_size(it->path(), entryError);
        const auto head = entryError ? std::nullopt : readHead(it->path());
        if (!head || head->length + head->bodyBytes != bytes ||
            now.days - head->fetched.days > limits_.maxAgeDays ||
            head->fetched.days - now.days > 1) {
            fs::remove(it->path(), entryError);
            continue;
        }
        copies.push_back({it->path(), head->fetched.days, bytes});
    }
    std::sort(copies.begin(), copies.end(),
              [](const Copy& a, const Copy& b) { return a.fetched > b.fetched; });
    std::uintmax_t total = 0;
    for (const Copy& c : copies) {
        total += c.bytes;
        if (total > limits_.maxBytes) fs::remove(c.path, ec);
    }
}

std::optional<fs::path> defaultCacheDirectory() {
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        return fs::path(xdg) / "tvguide";
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".cache" / "tvguide";
    return std::nullopt;
}

}  // namespace app
