#include "server/sources/listing_sources.h"

#include <malloc.h>

#include <cstdio>
#include <thread>
#include <utility>

#include "base/shown_url.h"
#include "server/util/body_decoder.h"
#include "server/util/durations.h"

namespace epg {

using SysClock = std::chrono::system_clock;

namespace {

// At most this many sources are fetched at once when a run does not serve.
constexpr std::size_t kParallelFetches = 4;

Seconds secondsOf(SysClock::time_point t) {
    return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

ListingSources::Attempt failedAttempt(std::string why) {
    ListingSources::Attempt a;
    a.error = std::move(why);
    return a;
}

ListingSources::Attempt unchangedAttempt() {
    ListingSources::Attempt a;
    a.outcome = ListingSources::Attempt::Outcome::Unchanged;
    return a;
}

ListingSources::Attempt updatedAttempt(std::shared_ptr<const XmltvDocument> doc) {
    ListingSources::Attempt a;
    a.outcome = ListingSources::Attempt::Outcome::Updated;
    a.doc = std::move(doc);
    return a;
}

}  // namespace

struct ListingSources::Slot {
    std::string source;             // as given: the whole URL only ever goes to the fetch
    std::string name;               // as shown
    std::optional<Zone> wallClock;  // "#tz=": the zone its times are wall times of
    bool url = false;
    bool attempted = false;                          // its first read or fetch has been folded in
    std::shared_ptr<const XmltvDocument> doc;        // the last good one
    FileIdentity file;                               // files: what doc was read from
    Validators validators;                           // URLs: of doc's body
    std::optional<SysClock::time_point> servedFrom;  // when doc was fetched or read
    SourceHealth health;                             // what /healthz says of it
    // The days kept from earlier listings (SourcesConfig::pastDays): the
    // last source, read like a file, never a failure when missing, and
    // not one /healthz or the start waits for.
    bool pastDays = false;
};

const char* stateName(SourceHealth::State state) {
    switch (state) {
        case SourceHealth::State::Starting: return "starting";
        case SourceHealth::State::Ok: return "ok";
        case SourceHealth::State::Stale: return "stale";
        case SourceHealth::State::Failing: return "failing";
    }
    return "?";
}

void returnFreedMemory() {
    malloc_trim(0);
}

ListingSources::ListingSources(SourcesConfig config, Log log)
    : config_(std::move(config)), log_(std::move(log)), store_(config_.stateDir) {
    for (const auto& s : config_.sources) {
        Slot slot;
        SourceOption option = parseSourceOption(s);
        slot.source = option.error.empty() ? option.location : s;
        slot.wallClock = option.zone;
        slot.name = base::shownUrl(slot.source);
        slot.url = base::isHttpUrl(slot.source);
        slot.health = {slot.name, SourceHealth::State::Starting, {}, {}, {}, {}};
        slots_.push_back(std::move(slot));
    }
    if (!config_.pastDays.empty()) {
        Slot slot;
        slot.source = config_.pastDays.string();
        slot.name = "the days kept (" + slot.source + ")";
        slot.pastDays = true;
        slots_.push_back(std::move(slot));
    }
}

ListingSources::~ListingSources() = default;

std::size_t ListingSources::size() const {
    return slots_.size();
}

bool ListingSources::isUrl(std::size_t i) const {
    return slots_[i].url;
}

bool ListingSources::readAfterStart(std::size_t i) const {
    return slots_[i].url || slots_[i].pastDays;
}

void ListingSources::cancel() {
    stop_ = true;
}

bool ListingSources::settled() const {
    std::lock_guard lock(mutex_);
    for (const Slot& slot : slots_)
        if (!slot.pastDays && !slot.doc && !slot.attempted) return false;
    return true;
}

std::vector<SourceHealth> ListingSources::health() const {
    std::lock_guard lock(mutex_);
    std::vector<SourceHealth> all;
    for (const Slot& slot : slots_)
        if (!slot.pastDays) all.push_back(slot.health);
    return all;
}

template <typename Change>
void ListingSources::changeHealth(std::size_t i, Change change) {
    std::lock_guard lock(mutex_);
    change(slots_[i].health);
}

std::optional<FileIdentity> ListingSources::mapIdentity() const {
    if (!config_.mapFile) return std::nullopt;
    return checkRegularFile(*config_.mapFile).identity;
}

ListingSources::Attempt ListingSources::attempt(std::size_t i, Mode mode) {
    Attempt a;
    if (stop_) {
        a = failedAttempt("stopped");
    } else {
        changeHealth(i, [](SourceHealth& h) { h.fetchingSince = secondsOf(SysClock::now()); });
        a = slots_[i].pastDays       ? readPastDays(i, mode)
            : !slots_[i].url         ? readFile(i, mode)
            : mode == Mode::LastCopy ? readLastCopy(i)
                                     : fetchUrl(i, mode);
        changeHealth(i, [](SourceHealth& h) { h.fetchingSince.reset(); });
    }
    a.source = i;
    a.mode = mode;
    return a;
}

ListingSources::Attempt ListingSources::readFile(std::size_t i, Mode mode) {
    std::string path;
    FileIdentity known;
    bool have = false;
    {
        std::lock_guard lock(mutex_);
        path = slots_[i].source;
        known = slots_[i].file;
        have = slots_[i].doc != nullptr;
    }
    FileCheck check = checkRegularFile(path);
    if (!check.identity) return failedAttempt(check.error);
    if (mode == Mode::IfChanged && have && *check.identity == known) return unchangedAttempt();
    ReadOptions o;
    o.cap = config_.limits.cap;
    o.stop = &stop_;
    SourceReader reader(path, config_.documentLimits, slots_[i].wallClock);
    FileRead r =
        streamSourceFile(path, o, [&reader](std::string_view t) { return reader.feed(t); });
    ++parses_;
    if (!r.ok) return failedAttempt(r.error.empty() ? reader.error() : r.error);
    ParsedSource p = reader.finish();
    if (!p.document) return failedAttempt(p.error);
    Attempt a = updatedAttempt(std::move(p.document));
    a.file = r.identity;
    return a;
}

ListingSources::Attempt ListingSources::fetchUrl(std::size_t i, Mode mode) {
    FetchRequest request;
    std::string name;
    {
        std::lock_guard lock(mutex_);
        request.url = slots_[i].source;
        name = slots_[i].name;
        if (mode == Mode::IfChanged && slots_[i].doc) request.ifChanged = slots_[i].validators;
    }
    std::string draftError;
    LastGoodStore::Draft draft = store_.begin(request.url, &draftError);
    if (!draftError.empty() && !copyWarned_.exchange(true))
        log_("last good copies are not kept: " + draftError);
    SourceReader reader(name, config_.documentLimits, slots_[i].wallClock);
    request.limits = config_.limits;
    request.stop = &stop_;
    if (draft.active()) request.onRawBytes = [&draft](std::string_view b) { draft.write(b); };
    request.onText = [&reader](std::string_view t) { return reader.feed(t); };
    FetchResult r = fetchSource(request);
    switch (r.kind) {
        case FetchResult::Kind::NotModified:
            if (auto found = store_.find(request.url); found.copy) store_.touch(*found.copy);
            return unchangedAttempt();
        case FetchResult::Kind::Failed: return failedAttempt(r.error);
        case FetchResult::Kind::Refused: ++parses_; return failedAttempt(reader.error());
        case FetchResult::Kind::Fetched: break;
    }
    ++parses_;
    ParsedSource p = reader.finish();
    if (!p.document) return failedAttempt(p.error);
    Attempt a = updatedAttempt(std::move(p.document));
    a.validators = std::move(r.validators);
    a.draft = std::move(draft);
    return a;
}

ListingSources::Attempt ListingSources::readCopy(std::size_t i, const LastGoodStore::Copy& copy) {
    ReadOptions o;
    o.cap = config_.limits.cap;
    o.stop = &stop_;
    SourceReader reader(slots_[i].name, config_.documentLimits, slots_[i].wallClock);
    FileRead r = store_.read(copy, o, [&reader](std::string_view t) { return reader.feed(t); });
    std::optional<ParsedSource> p;
    if (r.ok) p = reader.finish();
    if (!r.ok || !p->document) {
        std::string why = !r.ok ? (r.error.empty() ? reader.error() : r.error) : p->error;
        const std::string file = copy.file.string() + ": ";
        if (why.starts_with(file)) why.erase(0, file.size());
        return failedAttempt("its last good copy " + copy.file.string() + " is damaged: " + why);
    }
    Attempt a = updatedAttempt(std::move(p->document));
    a.validators = copy.validators;
    return a;
}

// Missing until the first listings were kept; damaged, it is said once and
// written anew at the next publish.
ListingSources::Attempt ListingSources::readPastDays(std::size_t i, Mode mode) {
    std::error_code ec;
    if (!std::filesystem::exists(slots_[i].source, ec)) return failedAttempt({});
    Attempt a = readFile(i, mode == Mode::LastCopy ? Mode::Everything : mode);
    if (a.outcome == Attempt::Outcome::Failed) a.error = slots_[i].name + ": " + a.error;
    return a;
}

ListingSources::Attempt ListingSources::readLastCopy(std::size_t i) {
    LastGoodStore::Lookup found = store_.find(slots_[i].source);
    if (!found.copy) {
        if (found.problem.empty()) return failedAttempt({});
        return failedAttempt(found.problem);
    }
    Attempt a = readCopy(i, *found.copy);
    a.saved = found.copy->saved;
    return a;
}

// A last good copy read, or why it could not be: never a failure of the
// source, whose fetch comes next.
void ListingSources::noteCopy(std::size_t i, const Attempt& copy) {
    const Slot& slot = slots_[i];
    if (copy.outcome == Attempt::Outcome::Updated && slot.pastDays) {
        log_("serving " + slot.name);
    } else if (copy.outcome == Attempt::Outcome::Updated) {
        log_(slot.name + ": serving its last good copy, fetched " +
             ageText(SysClock::now() - copy.saved) + " ago, until it is fetched again");
        changeHealth(i, [&copy](SourceHealth& h) {
            h.state = SourceHealth::State::Stale;
            h.lastGood = h.servingSince = secondsOf(copy.saved);
        });
    } else if (slot.pastDays) {
        if (!copy.error.empty()) log_(copy.error + "; written anew with the next listings");
    } else if (!copy.error.empty()) {
        log_(slot.name + ": " + copy.error + "; the next good fetch replaces it");
        changeHealth(i, [&copy](SourceHealth& h) { h.lastError = copy.error; });
    }
}

void ListingSources::adopt(std::size_t i, Attempt& a, SysClock::time_point servedFrom) {
    std::lock_guard lock(mutex_);
    slots_[i].doc = std::move(a.doc);
    slots_[i].file = a.file;
    slots_[i].validators = std::move(a.validators);
    slots_[i].servedFrom = servedFrom;
}

ListingSources::Start ListingSources::combined(std::chrono::steady_clock::time_point started) {
    SourceDocuments docs;
    std::size_t present = 0;
    std::size_t given = 0;  // the sources named, not the days kept
    for (const Slot& slot : slots_) {
        docs.push_back(slot.doc);
        present += slot.doc != nullptr && !slot.pastDays;
        given += !slot.pastDays;
    }
    XmltvListings combined = listingsFromXmltv(docs, &map_, config_.zone);
    docs.clear();
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    char text[200];
    std::snprintf(text, sizeof text,
                  "%zu programmes read from %zu of %zu XMLTV source(s) in %.0f ms; ",
                  combined.programmes, present, given, ms);
    served_ = combined.listings->programmeCount();
    match_ = combined.match;
    returnFreedMemory();
    return {std::move(combined.listings),
            {},
            text + combined.summary,
            std::move(combined.notes),
            std::move(combined.match)};
}

ListingSources::Start ListingSources::startLocal(Copies copies) {
    const auto started = std::chrono::steady_clock::now();
    MapResult m = loadChannelMap(config_.mapFile);
    if (!m.map) return {nullptr, m.error, {}, {}, {}};
    map_ = std::move(*m.map);
    mapFile_ = mapIdentity();

    bool anyUrl = false;
    for (const Slot& s : slots_) anyUrl = anyUrl || s.url;
    if (anyUrl) {
        if (store_.dir().empty())
            log_("no state directory (give --state-dir): last good copies of URLs are not kept");
        else if (std::string err = store_.open(); !err.empty())
            log_(err + ": last good copies of URLs are not kept");
    }

    for (std::size_t i = 0; i < slots_.size(); ++i) {
        Slot& slot = slots_[i];
        if (slot.pastDays) {
            if (copies == Copies::Later) continue;
            Attempt a = readPastDays(i, Mode::Everything);
            if (a.outcome == Attempt::Outcome::Updated)
                adopt(i, a, SysClock::now());
            else if (!a.error.empty())
                log_(a.error);
            continue;
        }
        if (!slot.url) {
            Attempt a = readFile(i, Mode::Everything);
            if (a.outcome != Attempt::Outcome::Updated) return {nullptr, a.error, {}, {}, {}};
            adopt(i, a, SysClock::now());
            slot.attempted = true;
            changeHealth(i, [](SourceHealth& h) {
                h.state = SourceHealth::State::Ok;
                h.lastGood = h.servingSince = secondsOf(SysClock::now());
            });
            continue;
        }
        if (copies == Copies::Later) continue;
        Attempt c = readLastCopy(i);
        noteCopy(i, c);
        if (c.outcome == Attempt::Outcome::Updated) adopt(i, c, c.saved);
    }
    return combined(started);
}

std::vector<ListingSources::Attempt> ListingSources::runAttempts(
    const std::vector<std::size_t>& which, Mode mode) {
    // A few at a time, each thread taking the next source when it is done:
    // one slow source holds up one thread, not the others.
    std::vector<Attempt> done(which.size());
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < std::min(kParallelFetches, which.size()); ++t)
        threads.emplace_back([&] {
            for (std::size_t k; (k = next++) < which.size();) done[k] = attempt(which[k], mode);
        });
    for (auto& t : threads) t.join();
    return done;
}

ListingSources::Start ListingSources::start() {
    const auto started = std::chrono::steady_clock::now();
    Start local = startLocal();
    if (!local.listings) return local;
    std::vector<std::size_t> urls;
    for (std::size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].url) urls.push_back(i);
    if (urls.empty()) return local;
    integrate(runAttempts(urls, Mode::IfChanged), std::nullopt);
    return combined(started);
}

std::shared_ptr<const Listings> ListingSources::refresh(Mode mode) {
    std::vector<std::size_t> all(slots_.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    return integrate(runAttempts(all, mode), mode);
}

void ListingSources::noteFailure(std::size_t i, const std::string& verb, const std::string& error) {
    Slot& slot = slots_[i];
    if (slot.pastDays) {  // none yet is no failure
        if (!error.empty()) log_(error + "; written anew with the next listings");
        return;
    }
    std::string line;
    if (!slot.attempted && slot.url) {
        line = slot.name + ": cannot fetch (" + error + "); ";
        line += slot.doc
                    ? "serving its last good copy, fetched " +
                          ageText(SysClock::now() - slot.servedFrom.value_or(SysClock::now())) +
                          " ago"
                    : "no last good copy: its channels stay empty until a refresh brings them";
    } else {
        line = slot.name + ": " + verb + " failed, " +
               (slot.doc ? "keeping its last good listings: " : "nothing of it is served: ") +
               error;
    }
    log_(line);
    const bool serving = slot.doc != nullptr;
    changeHealth(i, [&](SourceHealth& h) {
        h.state = serving ? SourceHealth::State::Stale : SourceHealth::State::Failing;
        h.lastError = error;
    });
}

std::string ListingSources::verbOf(const std::vector<Attempt>& done,
                                   std::optional<Mode> mapMode) const {
    bool reload = mapMode == Mode::Everything, first = false, copies = !done.empty();
    for (const Attempt& a : done) {
        reload = reload || a.mode == Mode::Everything;
        first = first || !slots_[a.source].attempted;
        copies = copies && a.mode == Mode::LastCopy;
    }
    return reload ? "reload" : copies ? "load" : first ? "fetch" : "refresh";
}

// The documents do not depend on the map: a changed one is only matched
// again, no source read for it.
std::optional<ChannelMap> ListingSources::changedMap(std::optional<Mode> mapMode,
                                                     const std::string& verb) {
    auto id = mapIdentity();
    if (!mapMode || (*mapMode != Mode::Everything && id == mapFile_)) return std::nullopt;
    MapResult m = loadChannelMap(config_.mapFile);
    if (!m.map) {
        log_(verb + ": the channel map stays as it was: " + m.error);
        return std::nullopt;
    }
    mapFile_ = id;
    if (*m.map == map_) return std::nullopt;
    return std::move(m.map);
}

std::vector<ListingSources::Attempt*> ListingSources::takeOutcomes(std::vector<Attempt>& done,
                                                                   const std::string& verb) {
    std::vector<Attempt*> updated;
    const Seconds now = secondsOf(SysClock::now());
    for (Attempt& a : done) {
        if (a.mode == Mode::LastCopy) {
            if (a.outcome == Attempt::Outcome::Updated)
                updated.push_back(&a);
            else
                noteCopy(a.source, a);
        } else if (a.outcome == Attempt::Outcome::Failed) {
            noteFailure(a.source, verb, a.error);
        } else if (a.outcome == Attempt::Outcome::Unchanged) {
            changeHealth(a.source, [now](SourceHealth& h) {
                h.state = SourceHealth::State::Ok;
                h.lastGood = now;
                h.lastError.clear();
            });
        } else {
            updated.push_back(&a);
        }
    }
    return updated;
}

SourceDocuments ListingSources::documentsWith(const std::vector<Attempt*>& updated) const {
    SourceDocuments docs;
    for (const Slot& slot : slots_) docs.push_back(slot.doc);
    for (const Attempt* a : updated) docs[a->source] = a->doc;
    return docs;
}

// A source whose rows now take none of its programmes, where its last good
// document gave them some, is taken for broken (a generator that wrote an
// empty guide, say) rather than believed: at a refresh as at start-up,
// where its last good copy is what it gave.
bool ListingSources::refuseEmptied(std::vector<Attempt*>& updated, const CatalogueMatch& match,
                                   bool mapChanged, const std::string& verb) {
    bool refused = false;
    for (auto it = updated.begin(); it != updated.end();) {
        const Slot& slot = slots_[(*it)->source];
        if (!slot.doc || programmesTaken(*(*it)->doc, match) > 0) {
            ++it;
            continue;
        }
        // The old document counts under the rows it was served with too: an
        // empty new one also takes away the channels its names matched.
        if (programmesTaken(*slot.doc, match) == 0 &&
            (mapChanged || programmesTaken(*slot.doc, match_) == 0)) {
            ++it;
            continue;
        }
        noteFailure((*it)->source, verb, "no programme of a mapped channel in it any more");
        it = updated.erase(it);
        refused = true;
    }
    return refused;
}

std::string ListingSources::adoptUpdated(const std::vector<Attempt*>& updated) {
    const Seconds now = secondsOf(SysClock::now());
    std::string changed;
    for (Attempt* a : updated) {
        const std::string& name = slots_[a->source].name;
        if (a->mode == Mode::LastCopy) {
            noteCopy(a->source, *a);
            adopt(a->source, *a, a->saved);
            continue;
        }
        if (std::string err = a->draft.commit(a->validators); !err.empty())
            log_(name + ": no copy of it is kept: " + err);
        adopt(a->source, *a, SysClock::now());
        changeHealth(a->source, [now](SourceHealth& h) {
            h.state = SourceHealth::State::Ok;
            h.lastGood = h.servingSince = now;
            h.lastError.clear();
        });
        changed += (changed.empty() ? "" : ", ") + name;
    }
    return changed;
}

std::shared_ptr<const Listings> ListingSources::integrate(std::vector<Attempt> done,
                                                          std::optional<Mode> mapMode) {
    if (stop_) return nullptr;
    const auto started = std::chrono::steady_clock::now();
    const std::string verb = verbOf(done, mapMode);
    std::optional<ChannelMap> newMap = changedMap(mapMode, verb);
    const ChannelMap& map = newMap ? *newMap : map_;
    std::vector<Attempt*> updated = takeOutcomes(done, verb);
    // A copy read is not the source's first fetch, which comes next.
    auto foldedIn = [&] {
        std::lock_guard lock(mutex_);
        for (const Attempt& a : done)
            if (a.mode != Mode::LastCopy) slots_[a.source].attempted = true;
    };
    if (updated.empty() && !newMap) {
        foldedIn();
        return nullptr;
    }

    XmltvListings combined = listingsFromXmltv(documentsWith(updated), &map, config_.zone);
    if (refuseEmptied(updated, combined.match, newMap.has_value(), verb)) {
        combined = {};
        if (updated.empty() && !newMap) {
            foldedIn();
            return nullptr;
        }
        combined = listingsFromXmltv(documentsWith(updated), &map, config_.zone);
    }
    const std::size_t programmes = combined.listings->programmeCount();
    if (programmes == 0 && served_ > 0) {
        log_(verb + " would leave no programme from any source; keeping the " +
             std::to_string(served_) + " programmes I have");
        for (const Attempt* a : updated)
            changeHealth(a->source, [this, a](SourceHealth& h) {
                h.state = slots_[a->source].doc ? SourceHealth::State::Stale
                                                : SourceHealth::State::Failing;
                h.lastError = "no programme of a mapped channel in it";
            });
        foldedIn();
        return nullptr;
    }

    const std::string changed = adoptUpdated(updated);
    foldedIn();
    if (newMap) map_ = std::move(*newMap);
    served_ = programmes;
    const bool matchChanged = combined.match != match_;
    match_ = std::move(combined.match);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started)
                        .count();
    log_(verb + "ed: " + std::to_string(served_) + " programmes in " + std::to_string(ms) + " ms" +
         (changed.empty() ? std::string() : ", new from " + changed) +
         (newMap ? "; the channel map changed" : "") + "; " + combined.summary);
    // Rows two channels fit equally, again when asked or when they changed.
    if (verb == "reload" || matchChanged)
        for (const std::string& note : combined.notes) log_(note);
    return std::move(combined.listings);
}

}  // namespace epg
