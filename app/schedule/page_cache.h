// Offline copies of the day pages: every page fetched whole with a 2xx answer
// is kept on disk, keyed by its URL, so a later failed fetch can show it.
//
//   app::PageCache cache(dir);       // creates the directory when missing
//   cache.prune(now);                // once at start-up
//   cache.keep(url, body, now);      // after a good fetch
//   if (auto copy = cache.recall(url)) show(copy->body, copy->fetched);
//
// Each copy is one file "page-<hash of the URL>.cache" holding the URL, the
// local time it was fetched, the body and its CRC-32; it is written to a
// temporary file and renamed into place, so a reader never sees half a copy.
// A file that does not read back exactly (cut, altered, another format) is
// no copy and is removed where it is found: by prune for a wrong head or
// size, by recall for altered bytes. Only files named like copies (or their
// temporaries) are ever removed, so any directory may be given. A directory
// the cache cannot write in is said once (the copies in it are still
// recalled). Nothing here throws for a disk fault; a body too large to hold
// in memory throws rt::AllocationFailure.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/values/value.h"

namespace app {

struct KeptPage {
    rt::Bytes body;
    rt::DateTime fetched;  // local time, by the guide's clock
};

struct PageCacheLimits {
    double maxAgeDays = 14;
    std::uintmax_t maxBytes = 50u << 20;
};

// The bytes of a copy file, as keep() writes them and recall() reads them.
std::string encodeKeptPage(const rt::Text& url, const rt::Bytes& body, rt::DateTime fetched);
struct DecodedCopy {
    rt::Text url;
    KeptPage page;
};
// Nothing unless `data` is exactly one copy: head, size and CRC-32 agree.
std::optional<DecodedCopy> decodeKeptPage(std::string_view data);

class PageCache {
  public:
    // Said (once in the cache's life) when copies cannot be written.
    using Complaint = std::function<void(const std::string& why)>;

    // The directory must exist or be creatable; otherwise `error` says why
    // and the cache keeps and recalls nothing. One that exists but cannot be
    // written in is complained about at once.
    explicit PageCache(std::filesystem::path directory, PageCacheLimits limits = {},
                       Complaint complain = {});

    bool usable() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::filesystem::path& directory() const { return directory_; }

    // False when the copy could not be written (the old copy then stays);
    // the first such failure is complained about.
    bool keep(const rt::Text& url, const rt::Bytes& body, rt::DateTime fetched);
    // A copy whose bytes were altered is removed on the way.
    std::optional<KeptPage> recall(const rt::Text& url) const;
    // Removes copies whose head or size is wrong, copies fetched more than
    // maxAgeDays before `now` or more than a day after it (written while the
    // clock was wrong, they would never age), then the oldest until the rest
    // fit maxBytes.
    void prune(rt::DateTime now);

    // The file a URL's copy lives in.
    std::filesystem::path pathFor(const rt::Text& url) const;

  private:
    void complainOnce(const std::string& why);

    std::filesystem::path directory_;
    PageCacheLimits limits_;
    Complaint complain_;
    std::string error_;
    bool complained_ = false;
};

// $XDG_CACHE_HOME/tvguide when that is an absolute path, else
// $HOME/.cache/tvguide; nothing when neither can be found.
std::optional<std::filesystem::path> defaultCacheDirectory();

}  // namespace app
