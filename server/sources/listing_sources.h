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

#include "server/channels/channel_map.h"
#include "server/channels/xmltv_listings.h"
#include "server/model/listings.h"
#include "server/sources/last_good_store.h"
#include "server/sources/source_fetch.h"
#include "server/sources/source_health.h"
#include "server/sources/source_option.h"
#include "server/xmltv/source_reader.h"

namespace epg {

struct SourcesConfig {
    std::vector<std::string> sources;  // file paths or http(s) URLs, each maybe with "#tz=ZONE"
    std::optional<std::string> mapFile;
    std::filesystem::path stateDir;  // empty: keep no copies
    FetchLimits limits;              // limits.cap bounds files too
    XmltvLimits documentLimits;
    Zone zone;  // the pages': each day of a row comes from one channel
    // An XMLTV file of the days before today that earlier listings held,
    // read as the last source (missing: none yet), so that a day a feed no
    // longer carries is still served; the service writes it. Empty: none.
    std::filesystem::path pastDays;
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
    // or parsed fails it: the user named it), and, unless they are to be
    // read later (attempts in Mode::LastCopy, after the server listens, as
    // a copy may be large or damaged), the last good copy of every URL.
    enum class Copies { Now, Later };
    Start startLocal(Copies copies = Copies::Now);
    // startLocal(), then every URL fetched once, side by side: for a run
    // that does not serve (--print-map, --export).
    Start start();

    enum class Mode {
        IfChanged,   // the periodic refresh: files by their identity, URLs by a conditional GET
        Everything,  // a reload: read and fetched unconditionally
        LastCopy,    // a URL's last good copy on disk, before its first fetch
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
        LastGoodStore::Draft draft;                   // the fetched body, put in place once adopted
        std::string error;                            // empty for a LastCopy that found none
        std::chrono::system_clock::time_point saved;  // LastCopy: when it was fetched
    };
    std::size_t size() const;
    bool isUrl(std::size_t source) const;
    // Read in Mode::LastCopy after a start with Copies::Later: URLs' last
    // good copies and the days kept.
    bool readAfterStart(std::size_t source) const;
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
    // Whether every source serves something or has had its first read or
    // fetch end (read, failed or timed out): until then a source's channels
    // are empty for want of time, not of listings.
    bool settled() const;
    // Documents parsed so far (a source unchanged costs none).
    std::size_t parses() const { return parses_.load(); }
    void removeDrafts() const { store_.removeDrafts(); }

  private:
    struct Slot;
    Attempt readFile(std::size_t i, Mode mode);
    Attempt fetchUrl(std::size_t i, Mode mode);
    Attempt readCopy(std::size_t i, const LastGoodStore::Copy& copy);
    Attempt readLastCopy(std::size_t i);
    Attempt readPastDays(std::size_t i, Mode mode);
    void noteCopy(std::size_t i, const Attempt& copy);
    std::vector<Attempt> runAttempts(const std::vector<std::size_t>& which, Mode mode);
    void adopt(std::size_t i, Attempt& attempt, std::chrono::system_clock::time_point servedFrom);
    // The steps of integrate().
    std::string verbOf(const std::vector<Attempt>& done, std::optional<Mode> mapMode) const;
    std::optional<ChannelMap> changedMap(std::optional<Mode> mapMode, const std::string& verb);
    std::vector<Attempt*> takeOutcomes(std::vector<Attempt>& done, const std::string& verb);
    SourceDocuments documentsWith(const std::vector<Attempt*>& updated) const;
    bool refuseEmptied(std::vector<Attempt*>& updated, const CatalogueMatch& match, bool mapChanged,
                       const std::string& verb);
    std::string adoptUpdated(const std::vector<Attempt*>& updated);
    std::optional<FileIdentity> mapIdentity() const;
    Start combined(std::chrono::steady_clock::time_point started);
    void noteFailure(std::size_t i, const std::string& verb, const std::string& error);
    template <typename Change>
    void changeHealth(std::size_t i, Change change);

    SourcesConfig config_;
    Log log_;
    LastGoodStore store_;
    // A source's state, its health included, is written by integrate() (and
    // the start) and read by attempts and health(): under mutex_.
    mutable std::mutex mutex_;
    std::vector<Slot> slots_;
    ChannelMap map_;
    CatalogueMatch match_;  // of the listings last handed out
    std::optional<FileIdentity> mapFile_;
    std::size_t served_ = 0;               // programmes in the listings last handed out
    std::atomic<bool> copyWarned_{false};  // that copies cannot be written, said once
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> parses_{0};
};

// Gives the memory freed after a parse or a swap of listings back to the
// system: parse trees are many small blocks among the listings' own, which
// the allocator would otherwise keep for good.
void returnFreedMemory();

}  // namespace epg
