// Where the served listings come from: XMLTV files and http(s) URLs, in
// priority order, through the channel map. At start-up everything that needs
// no network is read (the map, every file, the last good copy of every URL),
// so that the server can serve at once; URLs are fetched after. From then on
// each source is read on its own (attempt(), any number side by side), and
// what the attempts bring is folded into the listings on one thread
// (integrate()). Whatever fails keeps what that source gave before, logged in
// one line naming the source; the last good body of every URL is kept on
// disk for restarts without network.
//
// startLocal(), start() and integrate() run on one thread at a time;
// attempt() on any thread, one at a time per source; cancel(), health() and
// removeDrafts() from any thread.
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
#include "server/sources/source_name.h"

namespace epg {

struct SourcesConfig {
    std::vector<std::string> sources;  // file paths or http(s) URLs, each maybe with "#tz=ZONE"
    std::optional<std::string> mapFile;
    std::filesystem::path stateDir;  // empty: keep no copies
    FetchLimits limits;              // limits.cap bounds files too
    XmltvLimits documentLimits;
    Zone zone;  // the pages': each day of a row comes from one channel
};

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
    // What needs no network: the map and every file (one that cannot be read
    // or parsed fails it: the user named it), and the last good copy of
    // every URL.
    Start startLocal();
    // startLocal(), then every URL fetched once, side by side: for a run
    // that does not serve (--print-map, --export).
    Start start();

    enum class Mode {
        IfChanged,   // the periodic refresh: files by their identity, URLs by a conditional GET
        Everything,  // a reload: read and fetched unconditionally
    };
    // One source read or fetched, and parsed as it arrives.
    struct Attempt {
        enum class Outcome { Unchanged, Updated, Failed };
        std::size_t source = 0;
        Mode mode = Mode::IfChanged;
        Outcome outcome = Outcome::Failed;
        std::shared_ptr<const XmltvDocument> doc;
        FileIdentity file;
        Validators validators;
        LastGoodStore::Draft draft;  // the fetched body, put in place once adopted
        std::string error;
    };
    std::size_t size() const;
    bool isUrl(std::size_t source) const;
    Attempt attempt(std::size_t source, Mode mode);
    // Every source read once, a few side by side, then folded in (the map
    // read again for Everything, or when it changed): new listings, or null
    // when those served stay. What the reload worker does over time, at once.
    std::shared_ptr<const Listings> refresh(Mode mode);
    // Folds ended attempts into the listings: new listings, or null when
    // those served stay (nothing changed, or what changed was refused:
    // logged). `map`: read the map again (Everything), or when it changed.
    std::shared_ptr<const Listings> integrate(std::vector<Attempt> done, std::optional<Mode> map);

    // Transfers and reads under way give up soon; later ones do not start.
    void cancel();
    bool cancelled() const { return stop_.load(); }
    std::vector<SourceHealth> health() const;
    // Documents parsed so far (a source unchanged costs none).
    std::size_t parses() const { return parses_.load(); }
    void removeDrafts() const { store_.removeDrafts(); }

  private:
    struct Slot;
    Attempt readFile(std::size_t i, Mode mode);
    Attempt fetchUrl(std::size_t i, Mode mode);
    Attempt readCopy(std::size_t i, const LastGoodStore::Copy& copy);
    std::vector<Attempt> runAttempts(const std::vector<std::size_t>& which, Mode mode);
    void adopt(std::size_t i, Attempt& attempt);
    std::optional<FileIdentity> mapIdentity() const;
    Start combined(std::chrono::steady_clock::time_point started);
    void noteFailure(std::size_t i, const std::string& verb, const std::string& error);
    template <typename Change>
    void changeHealth(std::size_t i, Change change);

    SourcesConfig config_;
    Log log_;
    LastGoodStore store_;
    // Each slot's fields are written by integrate() (and the start) and read
    // by attempts: under slotsMutex_.
    mutable std::mutex slotsMutex_;
    std::vector<Slot> slots_;
    ChannelMap map_;
    CatalogueMatch match_;  // of the listings last handed out
    std::optional<FileIdentity> mapFile_;
    std::size_t served_ = 0;               // programmes in the listings last handed out
    std::atomic<bool> copyWarned_{false};  // that copies cannot be written, said once
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
