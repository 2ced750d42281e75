#include "server/util/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "server/util/body_decoder.h"
#include "server/util/size_text.h"
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

}  // namespace

FileCheck checkRegularFile(const std::string& fileName) {
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0)
        return {std::nullopt, fileName + ": cannot open: " + std::strerror(errno)};
    if (!S_ISREG(st.st_mode)) return {std::nullopt, notRegular(fileName, st.st_mode)};
    return {identityOf(st), {}};
}

FileRead streamSourceFile(const std::string& fileName, const ReadOptions& o,
                          const std::function<bool(std::string_view)>& sink) {
    auto failed = [](std::string why) { return FileRead{false, std::move(why), {}}; };
    // Refused by its kind before opening: opening some devices does things.
    struct stat st {};
    if ((o.noFollow ? ::lstat(fileName.c_str(), &st) : ::stat(fileName.c_str(), &st)) != 0)
        return failed(fileName + ": cannot open: " + std::strerror(errno));
    if (S_ISLNK(st.st_mode))
        return failed(fileName + ": is a symbolic link, which is not followed here");
    if (!S_ISREG(st.st_mode)) return failed(notRegular(fileName, st.st_mode));
    // O_NONBLOCK: should a FIFO be put in the file's place meanwhile, the
    // open does not wait for a writer; fstat then refuses it.
    UniqueFd fd(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY |
                                             (o.noFollow ? O_NOFOLLOW : 0)));
    if (fd.get() < 0) {
        if (errno == ELOOP)
            return failed(fileName + ": is a symbolic link, which is not followed here");
        return failed(fileName + ": cannot open: " + std::strerror(errno));
    }
    if (::fstat(fd.get(), &st) != 0)
        return failed(fileName + ": cannot read: " + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return failed(notRegular(fileName, st.st_mode));
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t body = size > o.offset ? size - o.offset : 0;
    // Compressed bytes are never more than the text they hold (beyond a few
    // bytes of framing), so a file bigger than the cap is refused unread.
    if (body > o.cap + o.cap / 1000 + 1024)
        return failed(fileName + ": " + sizeText(size) + ", larger than " + sizeText(o.cap) +
                      ", the most a source may hold");

    BodyDecoder decoder(o.cap, o.gunzip, sink);
    std::vector<char> buf(kChunk);
    off_t at = static_cast<off_t>(o.offset);
    for (;;) {
        if (o.stop && o.stop->load()) return failed(fileName + ": stopped");
        ssize_t n = ::pread(fd.get(), buf.data(), buf.size(), at);
        if (n < 0) {
            if (errno == EINTR) continue;
            return failed(fileName + ": cannot read: " + std::strerror(errno));
        }
        if (n == 0) break;
        at += n;
        if (!decoder.feed({buf.data(), static_cast<std::size_t>(n)}))
            return failed(decoder.error().empty() ? std::string()
                                                  : fileName + ": " + decoder.error());
    }
    if (!decoder.finish())
        return failed(decoder.error().empty() ? std::string() : fileName + ": " + decoder.error());
    return {true, {}, identityOf(st)};
}

FileBytes readSourceFile(const std::string& fileName, const ReadOptions& o) {
    std::string text;
    FileRead r = streamSourceFile(fileName, o, [&text](std::string_view piece) {
        text.append(piece);
        return true;
    });
    if (!r.ok) return {std::nullopt, std::move(r.error), {}};
    return {std::move(text), {}, r.identity};
}

FileBytes readWholeFile(const std::string& fileName, std::uint64_t cap) {
    ReadOptions o;
    o.cap = cap;
    o.gunzip = false;
    return readSourceFile(fileName, o);
}

}  // namespace epg
