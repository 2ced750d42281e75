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
// A file that does not read back exactly (cut, altered, another URL, another
// format) is no copy: recall ignores it and prune removes it. Only files
// named like copies (or their temporaries) are ever removed, so any directory
// may be given. Nothing here throws for a disk fault; a body too large to
// hold in memory throws rt::AllocationFailure.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

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

class PageCache {
  public:
    // The directory must exist or be creatable; otherwise `error` says why
    // and the cache keeps and recalls nothing.
    explicit PageCache(std::filesystem::path directory, PageCacheLimits limits = {});

    bool usable() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::filesystem::path& directory() const { return directory_; }

    // False when the copy could not be written (the old copy then stays).
    bool keep(const rt::Text& url, const rt::Bytes& body, rt::DateTime fetched);
    std::optional<KeptPage> recall(const rt::Text& url) const;
    // Removes damaged copies, copies fetched more than maxAgeDays before
    // `now`, then the oldest until the rest fit maxBytes.
    void prune(rt::DateTime now);

    // The file a URL's copy lives in.
    std::filesystem::path pathFor(const rt::Text& url) const;

  private:
    std::filesystem::path directory_;
    PageCacheLimits limits_;
    std::string error_;
};

// $XDG_CACHE_HOME/tvguide when that is an absolute path, else
// $HOME/.cache/tvguide; nothing when neither can be found.
std::optional<std::filesystem::path> defaultCacheDirectory();

}  // namespace app
