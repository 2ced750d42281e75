// Reading input files with a size cap: the XMLTV files (plain or gzip) and
// the channel map. Only regular files are read: a FIFO, a device or a
// directory is refused at once, without blocking and without reading.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace epg {

// The most a listings source may hold, decompressed; bigger ones are refused.
inline constexpr std::uint64_t kMaxListingsBytes = 1ull << 30;  // 1 GiB
// The channel map is a few hundred lines.
inline constexpr std::uint64_t kMaxMapBytes = 16ull << 20;  // 16 MiB

// What a file was when read; a change in any part means it changed.
struct FileIdentity {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modifiedNs = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct FileBytes {
    std::optional<std::string> bytes;
    std::string error;  // "FILE: why", when bytes is empty
    FileIdentity identity;
};

struct ReadOptions {
    std::uint64_t cap = kMaxListingsBytes;
    bool gunzip = true;                       // gzip content is inflated
    std::uint64_t offset = 0;                 // bytes skipped at the start
    const std::atomic<bool>* stop = nullptr;  // set: give up between chunks
    bool noFollow = false;                    // a symbolic link is refused, not followed
};

struct FileRead {
    bool ok = false;
    std::string error;  // "FILE: why"; empty when the sink refused the text
    FileIdentity identity;
};

// The file's text (decompressed when gzip) handed to `sink` a chunk at a time,
// refused beyond the cap: by its size before reading, and while reading,
// since a file may grow.
FileRead streamSourceFile(const std::string& fileName, const ReadOptions& options,
                          const std::function<bool(std::string_view)>& sink);
// The same text in one string.
FileBytes readSourceFile(const std::string& fileName, const ReadOptions& options);
// Plain bytes, nothing inflated.
FileBytes readWholeFile(const std::string& fileName, std::uint64_t cap = kMaxListingsBytes);

// The identity of a regular file, or an error text naming it.
struct FileCheck {
    std::optional<FileIdentity> identity;
    std::string error;
};
FileCheck checkRegularFile(const std::string& fileName);

}  // namespace epg
