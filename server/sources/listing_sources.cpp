#include "server/sources/listing_sources.h"

#include <malloc.h>

#include <cstdio>
#include <utility>

namespace epg {

using SysClock = std::chrono::system_clock;

struct ListingSources::Slot {
    std::string name;               // the file or URL
    std::optional<Zone> wallClock;  // "#tz=": the zone its times are wall times of
    bool url = false;
    std::shared_ptr<const XmltvDocument> doc;  // the last good one
    FileIdentity file;                         // files: what doc was read from
    Validators validators;                     // URLs: of doc's body
};

struct ListingSources::Attempt {
    enum class Outcome { Unchanged, Updated, Failed };
    Outcome outcome = Outcome::Failed;
    std::shared_ptr<const XmltvDocument> doc;
    FileIdentity file;
    Validators validators;
    LastGoodStore::Draft draft;  // the fetched body, put in place once adopted
    std::string error;

    static Attempt failed(std::string why) {
        Attempt a;
        a.error = std::move(why);
        return a;
    }
    static Attempt unchanged() {
        Attempt a;
        a.outcome = Outcome::Unchanged;
        return a;
    }
    static Attempt updated(std::shared_ptr<const XmltvDocument> doc) {
        Attempt a;
        a.outcome = Outcome::Updated;
        a.doc = std::move(doc);
        return a;
    }
};

bool isUrlSource(std::string_view s) {
    auto starts = [s](std::string_view p) {
        if (s.size() < p.size()) return false;
        for (std::size_t i = 0; i < p.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(s[i])) != p[i]) return false;
        return true;
    };
    return starts("http://") || starts("https://");
}

std::string ageText(SysClock::duration age) {
    auto s = std::chrono::duration_cast<std::chrono::seconds>(age).count();
    if (s < 0) s = 0;
    if (s < 60) return std::to_string(s) + " s";
    if (s < 3600) return std::to_string(s / 60) + " min";
    if (s < 86400) return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
    auto days = s / 86400;
    return std::to_string(days) + (days == 1 ? " day" : " days");
}

void returnFreedMemory() {
    malloc_trim(0);
}

ListingSources::ListingSources(SourcesConfig config, Log log)
    : config_(std::move(config)), log_(std::move(log)), store_(config_.stateDir) {
    for (const auto& s : config_.sources) {
        Slot slot;
        SourceOption source = parseSourceOption(s);
        slot.name = source.error.empty() ? source.location : s;
        slot.wallClock = source.zone;
        slot.url = isUrlSource(slot.name);
        slots_.push_back(std::move(slot));
        health_.push_back({s, std::nullopt, {}});
    }
}

ListingSources::~ListingSources() = default;

void ListingSources::cancel() {
    stop_ = true;
}

std::vector<SourceHealth> ListingSources::health() const {
    std::lock_guard lock(healthMutex_);
    return health_;
}

void ListingSources::setHealth(std::size_t slot, std::optional<SysClock::time_point> good,
                               std::string error) {
    std::lock_guard lock(healthMutex_);
    if (good)
        health_[slot].lastGood =
            std::chrono::duration_cast<std::chrono::seconds>(good->time_since_epoch()).count();
    health_[slot].lastError = std::move(error);
}

std::optional<FileIdentity> ListingSources::mapIdentity() const {
    if (!config_.mapFile) return std::nullopt;
    return checkRegularFile(*config_.mapFile).identity;
}

ParsedSource ListingSources::parse(std::string&& text, const Slot& slot) {
    ++parses_;
    return parseSource(std::move(text), slot.name, slot.wallClock);
}

ListingSources::Attempt ListingSources::readFile(const Slot& slot, Mode mode) {
    FileCheck check = checkRegularFile(slot.name);
    if (!check.identity) return Attempt::failed(check.error);
    if (mode == Mode::IfChanged && slot.doc && *check.identity == slot.file)
        return Attempt::unchanged();
    ReadOptions o;
    o.cap = config_.limits.cap;
    o.stop = &stop_;
    FileBytes f = readSourceFile(slot.name, o);
    if (!f.bytes) return Attempt::failed(f.error);
    ParsedSource p = parse(std::move(*f.bytes), slot);
    if (!p.document) return Attempt::failed(p.error);
    Attempt a = Attempt::updated(std::move(p.document));
    a.file = f.identity;
    return a;
}

ListingSources::Attempt ListingSources::fetchUrl(const Slot& slot, const Validators& ifChanged) {
    std::string draftError;
    LastGoodStore::Draft draft = store_.begin(slot.name, &draftError);
    if (!draftError.empty() && !std::exchange(copyWarned_, true))
        log_("last good copies are not kept: " + draftError);
    FetchRequest request;
    request.url = slot.name;
    request.ifChanged = ifChanged;
    request.limits = config_.limits;
    request.stop = &stop_;
    if (draft.active()) request.onRawBytes = [&draft](std::string_view b) { draft.write(b); };
    FetchResult r = fetchSource(request);
    if (r.kind == FetchResult::Kind::NotModified) return Attempt::unchanged();
    if (r.kind == FetchResult::Kind::Failed) return Attempt::failed(r.error);
    ParsedSource p = parse(std::move(r.body), slot);
    if (!p.document) return Attempt::failed(p.error);
    Attempt a = Attempt::updated(std::move(p.document));
    a.validators = std::move(r.validators);
    a.draft = std::move(draft);
    return a;
}

ListingSources::Attempt ListingSources::readCopy(const Slot& slot) {
    auto copy = store_.find(slot.name);
    if (!copy) return Attempt::failed("no last good copy");
    ReadOptions o;
    o.cap = config_.limits.cap;
    o.stop = &stop_;
    FileBytes f = store_.read(*copy, o);
    if (!f.bytes) return Attempt::failed(f.error);
    ParsedSource p = parse(std::move(*f.bytes), slot);
    if (!p.document) return Attempt::failed("its last good copy " + p.error);
    Attempt a = Attempt::updated(std::move(p.document));
    a.validators = copy->validators;
    return a;
}

void ListingSources::adopt(std::size_t i, Attempt& a) {
    slots_[i].doc = std::move(a.doc);
    slots_[i].file = a.file;
    slots_[i].validators = std::move(a.validators);
}

void ListingSources::startUrl(std::size_t i) {
    const Slot& slot = slots_[i];
    auto copy = store_.find(slot.name);
    Attempt a = fetchUrl(slot, copy ? copy->validators : Validators{});
    if (a.outcome == Attempt::Outcome::Unchanged) {  // 304: the copy is current
        Attempt c = readCopy(slot);
        if (c.outcome == Attempt::Outcome::Updated) {
            store_.touch(*copy);
            adopt(i, c);
            setHealth(i, SysClock::now(), {});
            return;
        }
        log_(slot.name + ": " + c.error + "; fetching it whole");
        a = fetchUrl(slot, {});
    }
    if (a.outcome == Attempt::Outcome::Updated) {
        if (std::string err = a.draft.commit(a.validators); !err.empty())
            log_(slot.name + ": no copy of it is kept: " + err);
        adopt(i, a);
        setHealth(i, SysClock::now(), {});
        return;
    }
    Attempt c = copy ? readCopy(slot) : Attempt::failed("no last good copy");
    if (c.outcome == Attempt::Outcome::Updated) {
        log_(slot.name + ": cannot fetch (" + a.error + "); serving its last good copy, fetched " +
             ageText(SysClock::now() - copy->saved) + " ago");
        adopt(i, c);
        setHealth(i, copy->saved, a.error);
    } else {
        log_(slot.name + ": cannot fetch (" + a.error + "); " + c.error +
             ": its channels stay empty until a refresh brings them");
        setHealth(i, std::nullopt, a.error);
    }
}

ListingSources::Start ListingSources::start() {
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
        if (slots_[i].url) {
            startUrl(i);
            continue;
        }
        Attempt a = readFile(slots_[i], Mode::Everything);
        if (a.outcome != Attempt::Outcome::Updated) return {nullptr, a.error, {}, {}, {}};
        adopt(i, a);
        setHealth(i, SysClock::now(), {});
    }

    SourceDocuments docs;
    std::size_t present = 0;
    for (const Slot& slot : slots_) {
        docs.push_back(slot.doc);
        present += slot.doc != nullptr;
    }
    XmltvListings combined = combineSources(docs, map_, config_.zone);
    docs.clear();
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    char text[200];
    std::snprintf(text, sizeof text,
                  "%zu programmes read from %zu of %zu XMLTV source(s) in %.0f ms; ",
                  combined.programmes, present, slots_.size(), ms);
    served_ = combined.listings->programmeCount();
    match_ = combined.match;
    returnFreedMemory();
    return {std::move(combined.listings),
            {},
            text + combined.summary,
            std::move(combined.notes),
            std::move(combined.match)};
}

std::shared_ptr<const Listings> ListingSources::refresh(Mode mode) {
    if (stop_) return nullptr;
    const auto started = std::chrono::steady_clock::now();
    const std::string verb = mode == Mode::Everything ? "reload" : "refresh";

    // The documents do not depend on the map: a changed one is only matched
    // again, no source read for it.
    std::optional<ChannelMap> newMap;
    if (auto id = mapIdentity(); mode == Mode::Everything || id != mapFile_) {
        MapResult m = loadChannelMap(config_.mapFile);
        if (!m.map) {
            log_(verb + " failed, keeping the listings I have: " + m.error);
            return nullptr;
        }
        mapFile_ = id;
        if (*m.map != map_) newMap = std::move(m.map);
    }
    const ChannelMap& map = newMap ? *newMap : map_;

    std::vector<Attempt> attempts;
    bool anyUpdated = false;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const Slot& slot = slots_[i];
        Attempt a;
        if (!slot.url) {
            a = readFile(slot, mode);
        } else {
            bool conditional = mode == Mode::IfChanged && slot.doc;
            a = fetchUrl(slot, conditional ? slot.validators : Validators{});
            if (a.outcome == Attempt::Outcome::Unchanged)
                if (auto copy = store_.find(slot.name)) store_.touch(*copy);
        }
        if (stop_) return nullptr;
        if (a.outcome == Attempt::Outcome::Failed) {
            log_(slot.name + ": " + verb + " failed, keeping its last good listings: " + a.error);
            setHealth(i, std::nullopt, a.error);
        } else if (a.outcome == Attempt::Outcome::Unchanged) {
            setHealth(i, SysClock::now(), {});
        }
        anyUpdated = anyUpdated || a.outcome == Attempt::Outcome::Updated;
        attempts.push_back(std::move(a));
    }
    if (!anyUpdated && !newMap) return nullptr;

    auto updated = [&](std::size_t i) { return attempts[i].outcome == Attempt::Outcome::Updated; };
    SourceDocuments docs;
    for (std::size_t i = 0; i < slots_.size(); ++i)
        docs.push_back(updated(i) ? attempts[i].doc : slots_[i].doc);
    XmltvListings combined = combineSources(docs, map, config_.zone);
    // A source whose rows now take none of its programmes, where its last
    // good document gave them some, is taken for broken (a generator that
    // wrote an empty guide, say) rather than believed.
    bool refused = false;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (!updated(i) || !slots_[i].doc || programmesTaken(*docs[i], combined.match) > 0)
            continue;
        // The old document counts under the rows it was served with too: an
        // empty new one also takes away the channels its names matched.
        if (programmesTaken(*slots_[i].doc, combined.match) == 0 &&
            (newMap || programmesTaken(*slots_[i].doc, match_) == 0))
            continue;
        const std::string why = "no programme of a mapped channel in it any more";
        log_(slots_[i].name + ": " + verb + " failed, keeping its last good listings: " + why);
        setHealth(i, std::nullopt, why);
        attempts[i] = Attempt::failed(why);
        docs[i] = slots_[i].doc;
        refused = true;
    }
    if (refused) {
        anyUpdated = false;
        for (std::size_t i = 0; i < slots_.size(); ++i) anyUpdated = anyUpdated || updated(i);
        combined = {};
        if (!anyUpdated && !newMap) return nullptr;
        combined = combineSources(docs, map, config_.zone);
    }
    docs.clear();
    const std::size_t programmes = combined.listings->programmeCount();
    if (programmes == 0 && served_ > 0) {
        log_(verb + " would leave no programme from any source; keeping the " +
             std::to_string(served_) + " programmes I have");
        return nullptr;
    }

    std::string changed;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        Attempt& a = attempts[i];
        if (a.outcome != Attempt::Outcome::Updated) continue;
        if (std::string err = a.draft.commit(a.validators); !err.empty())
            log_(slots_[i].name + ": no copy of it is kept: " + err);
        adopt(i, a);
        setHealth(i, SysClock::now(), {});
        changed += (changed.empty() ? "" : ", ") + slots_[i].name;
    }
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
    // How many rows take days from several channels, again when asked or
    // when the match changed.
    if (mode == Mode::Everything || matchChanged)
        for (const std::string& note : combined.notes) log_(note);
    return std::move(combined.listings);
}

}  // namespace epg
