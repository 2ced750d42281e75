// Where the served listings come from: XMLTV files and http(s) URLs, in
// priority order, through the channel map. Reads them at start-up, then again
// on request: only what changed (files by modification time and size, URLs by
// a conditional GET), or everything. Whatever fails keeps what that source
// gave before, logged in one line naming the source; the last good body of
// every URL is kept on disk for restarts without network.
//
// start() and refresh() run on one thread at a time; cancel() and health()
// may be called from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "server/listings.h"
#include "server/load.h"
#include "server/sources/last_good_store.h"
#include "server/sources/source_fetch.h"
#include "server/sources/source_health.h"

namespace epg {

struct SourcesConfig {
    std::vector<std::string> sources;  // file paths or http(s) URLs, each maybe with "#tz=ZONE"
    std::optional<std::string> mapFile;
    std::filesystem::path stateDir;  // empty: keep no copies
    FetchLimits limits;              // limits.cap bounds files too
    Zone zone;                       // the pages': each day of a row comes from one channel
};

bool isUrlSource(std::string_view source);

class ListingSources {
  public:
    using Log = std::function<void(const std::string&)>;
    ListingSources(SourcesConfig config, Log log);
    ~ListingSources();
    ListingSources(const ListingSources&) = delete;
    ListingSources& operator=(const ListingSources&) = delete;

    struct Start {
        std::shared_ptr<const Listings> listings;  // null when a file failed
        std::string error;                         // naming file and line
        std::string summary;                       // a line for the log
        std::vector<std::string> notes;            // more lines for the log
        CatalogueMatch match;                      // for --print-map
    };
    // The first load. A file that cannot be read or parsed fails it (the
    // user named it); a URL that cannot be fetched falls back to its last
    // good copy, else to no listings for now.
    Start start();

    enum class Mode {
        IfChanged,   // the periodic refresh
        Everything,  // a reload: every source and the map, unconditionally
    };
    // New listings when they changed; null when those served stay (nothing
    // changed, or what changed failed: logged).
    std::shared_ptr<const Listings> refresh(Mode mode);

    // Transfers and reads under way give up soon; later ones do not start.
    void cancel();
    std::vector<SourceHealth> health() const;
    // Documents parsed so far (a source unchanged costs none).
    std::size_t parses() const { return parses_.load(); }

  private:
    struct Slot;
    struct Attempt;
    Attempt readFile(const Slot& slot, Mode mode);
    Attempt fetchUrl(const Slot& slot, const Validators& ifChanged);
    Attempt readCopy(const Slot& slot);
    // A URL at start-up: fetched, else its last good copy, else nothing.
    void startUrl(std::size_t slot);
    void adopt(std::size_t slot, Attempt& attempt);
    ParsedSource parse(std::string&& text, const Slot& slot);
    std::optional<FileIdentity> mapIdentity() const;
    void setHealth(std::size_t slot, std::optional<std::chrono::system_clock::time_point> good,
                   std::string error);

    SourcesConfig config_;
    Log log_;
    LastGoodStore store_;
    std::vector<Slot> slots_;
    ChannelMap map_;
    CatalogueMatch match_;  // of the listings last handed out
    std::optional<FileIdentity> mapFile_;
    std::size_t served_ = 0;   // programmes in the listings last handed out
    bool copyWarned_ = false;  // that copies cannot be written, said once
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> parses_{0};
    mutable std::mutex healthMutex_;
    std::vector<SourceHealth> health_;
};

// Gives the memory freed after a parse or a swap of listings back to the
// system: parse trees are many small blocks among the listings' own, which
// the allocator would otherwise keep for good.
void returnFreedMemory();

// "45 s", "12 min", "3 h 5 min", "4 days": how long ago, for the log.
std::string ageText(std::chrono::system_clock::duration age);

}  // namespace epg
