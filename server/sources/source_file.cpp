#include "server/sources/source_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "server/sources/body_decoder.h"
#include "server/util/unique_fd.h"

namespace epg {
namespace {

constexpr std::size_t kChunk = 1 << 20;

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

FileIdentity identityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

std::string notRegular(const std::string& name, mode_t mode) {
    return name + ": is " + kindOf(mode) + ", not a regular file; only files are read";
}

// Decompressed size of a gzip file from its trailer (modulo 4 GiB), as a hint.
std::uint64_t gzipSizeHint(int fd, std::uint64_t fileSize, std::uint64_t offset) {
    unsigned char magic[2], tail[4];
    if (fileSize < offset + 18 || ::pread(fd, magic, 2, static_cast<off_t>(offset)) != 2 ||
        magic[0] != 0x1f || magic[1] != 0x8b ||
        ::pread(fd, tail, 4, static_cast<off_t>(fileSize - 4)) != 4)
        return 0;
    return std::uint64_t{tail[0]} | std::uint64_t{tail[1]} << 8 | std::uint64_t{tail[2]} << 16 |
           std::uint64_t{tail[3]} << 24;
}

}  // namespace

FileCheck checkRegularFile(const std::string& fileName) {
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0)
        return {std::nullopt, fileName + ": cannot open: " + std::strerror(errno)};
    if (!S_ISREG(st.st_mode)) return {std::nullopt, notRegular(fileName, st.st_mode)};
    return {identityOf(st), {}};
}

FileBytes readSourceFile(const std::string& fileName, const ReadOptions& o) {
    // Refused by its kind before opening: opening some devices does things.
    FileCheck check = checkRegularFile(fileName);
    if (!check.identity) return {std::nullopt, check.error, {}};
    // O_NONBLOCK: should a FIFO be put in the file's place meanwhile, the
    // open does not wait for a writer; fstat then refuses it.
    UniqueFd fd(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        return {std::nullopt, fileName + ": cannot open: " + std::strerror(errno), {}};
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return {std::nullopt, fileName + ": cannot read: " + std::strerror(errno), {}};
    if (!S_ISREG(st.st_mode)) return {std::nullopt, notRegular(fileName, st.st_mode), {}};
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t body = size > o.offset ? size - o.offset : 0;
    // Compressed bytes are never more than the text they hold (beyond a few
    // bytes of framing), so a file bigger than the cap is refused unread.
    if (body > o.cap + o.cap / 1000 + 1024)
        return {std::nullopt,
                fileName + ": " + sizeText(size) + ", larger than " + sizeText(o.cap) +
                    ", the most a source may hold",
                {}};

    BodyDecoder decoder(o.cap, o.gunzip);
    std::uint64_t hint = o.gunzip ? gzipSizeHint(fd.get(), size, o.offset) : 0;
    decoder.expect(hint ? hint : body);
    std::vector<char> buf(kChunk);
    off_t at = static_cast<off_t>(o.offset);
    for (;;) {
        if (o.stop && o.stop->load()) return {std::nullopt, fileName + ": stopped", {}};
        ssize_t n = ::pread(fd.get(), buf.data(), buf.size(), at);
        if (n < 0) {
            if (errno == EINTR) continue;
            return {std::nullopt, fileName + ": cannot read: " + std::strerror(errno), {}};
        }
        if (n == 0) break;
        at += n;
        if (!decoder.feed({buf.data(), static_cast<std::size_t>(n)}))
            return {std::nullopt, fileName + ": " + decoder.error(), {}};
    }
    if (!decoder.finish()) return {std::nullopt, fileName + ": " + decoder.error(), {}};
    return {decoder.take(), {}, identityOf(st)};
}

FileBytes readWholeFile(const std::string& fileName, std::uint64_t cap) {
    ReadOptions o;
    o.cap = cap;
    o.gunzip = false;
    return readSourceFile(fileName, o);
}

}  // namespace epg
