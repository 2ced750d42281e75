#include "server/sources/playlist_sources.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <utility>

#include "base/shown_url.h"
#include "server/util/durations.h"

namespace epg {
namespace {

using SysClock = std::chrono::system_clock;

Seconds epochSecondsOf(SysClock::time_point t) {
    return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

// The last segment of a file's or URL's path.
std::string_view lastSegment(std::string_view source) {
    if (base::isHttpUrl(source)) {
        source.remove_prefix(source.find("://") + 3);
        source = source.substr(0, source.find_first_of("?#"));
        const std::size_t slash = source.find('/');
        source = slash == std::string_view::npos ? std::string_view() : source.substr(slash);
    }
    const std::size_t slash = source.rfind('/');
    return slash == std::string_view::npos ? source : source.substr(slash + 1);
}

std::string entriesText(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " entry" : " entries");
}

}  // namespace

std::vector<std::string> playlistNames(const std::vector<std::string>& sources) {
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (const std::string& source : sources) {
        std::string_view base = lastSegment(source);
        for (std::string_view ext : {".gz", ".m3u8", ".m3u"})
            if (base.size() > ext.size() && base.ends_with(ext)) base.remove_suffix(ext.size());
        std::string name;
        for (char c : base) {
            const auto u = static_cast<unsigned char>(c);
            const bool kept = u >= 0x80 || std::isalnum(u) || c == '-' || c == '_';
            name += kept ? c : '-';
        }
        while (!name.empty() && name.front() == '-') name.erase(0, 1);
        while (!name.empty() && name.back() == '-') name.pop_back();
        if (name.empty()) name = "playlist";
        std::string unique = name;
        for (int n = 2; taken.contains(unique); ++n) unique = name + "-" + std::to_string(n);
        taken.insert(unique);
        names.push_back(std::move(unique));
    }
    return names;
}

PlaylistSources::PlaylistSources(PlaylistSourcesConfig config, Log log)
    : config_(std::move(config)), log_(std::move(log)), store_(config_.stateDir) {
    if (!log_) log_ = [](const std::string&) {};
    const std::vector<std::string> names = playlistNames(config_.sources);
    for (std::size_t i = 0; i < config_.sources.size(); ++i) {
        Slot slot;
        slot.source = config_.sources[i];
        slot.url = base::isHttpUrl(slot.source);
        slot.loaded.name = names[i];
        slot.loaded.source = base::shownUrl(slot.source);
        slots_.push_back(std::move(slot));
    }
}

PlaylistSources::~PlaylistSources() {
    stop();
}

std::vector<LoadedPlaylist> PlaylistSources::current() const {
    std::lock_guard lock(mutex_);
    std::vector<LoadedPlaylist> all;
    for (const Slot& s : slots_) all.push_back(s.loaded);
    return all;
}

void PlaylistSources::adopt(std::size_t i, Playlist playlist, Seconds when) {
    const std::size_t entries = playlist.entries.size();
    {
        std::lock_guard lock(mutex_);
        Slot& s = slots_[i];
        s.loaded.playlist = std::make_shared<const Playlist>(std::move(playlist));
        s.loaded.problem.clear();
        s.loaded.loadedAt = when;
    }
    log_("playlist " + slots_[i].loaded.source + ": " + entriesText(entries) +
         " served as /playlists/" + slots_[i].loaded.name + ".m3u");
}

void PlaylistSources::failed(std::size_t i, const std::string& why) {
    bool serving;
    {
        std::lock_guard lock(mutex_);
        Slot& s = slots_[i];
        serving = s.loaded.playlist != nullptr;
        if (!serving) s.loaded.problem = why;
    }
    log_("playlist " + slots_[i].loaded.source + ": " + why +
         (serving ? "; keeping what it gave before" : "; not served until it can be read"));
}

std::string PlaylistSources::startLocal() {
    bool anyUrl = false;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].url) {
            anyUrl = true;
            continue;
        }
        std::string error;
        if (!readFile(i, true, &error)) return error;
    }
    if (!anyUrl) return {};
    if (store_.dir().empty())
        log_("no state directory (give --state-dir): last good copies of playlists are not kept");
    else if (std::string err = store_.open(); !err.empty())
        log_(err + ": last good copies of playlists are not kept");
    for (std::size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].url) readCopy(i);
    return {};
}

void PlaylistSources::fetchAll() {
    for (std::size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].url) attempt(i, false);
}

bool PlaylistSources::attempt(std::size_t i, bool unconditional) {
    if (stop_) return false;
    return slots_[i].url ? fetchUrl(i, unconditional) : readFile(i, unconditional, nullptr);
}

bool PlaylistSources::readFile(std::size_t i, bool unconditional, std::string* error) {
    const std::string& path = slots_[i].source;
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        else
            failed(i, why);
        return false;
    };
    FileCheck check = checkRegularFile(path);
    if (!check.identity) return fail(check.error);
    {
        std::lock_guard lock(mutex_);
        if (!unconditional && slots_[i].loaded.playlist && *check.identity == slots_[i].file)
            return false;
    }
    ReadOptions o;
    o.cap = config_.limits.cap;
    o.stop = &stop_;
    FileBytes bytes = readSourceFile(path, o);
    if (!bytes.bytes) return fail(bytes.error);
    PlaylistParse parsed = parsePlaylist(*bytes.bytes, config_.playlistLimits);
    if (!parsed.playlist) return fail(path + ": " + parsed.error);
    {
        std::lock_guard lock(mutex_);
        slots_[i].file = bytes.identity;
    }
    adopt(i, std::move(*parsed.playlist), epochSecondsOf(SysClock::now()));
    return true;
}

void PlaylistSources::readCopy(std::size_t i) {
    LastGoodStore::Lookup found = store_.find(slots_[i].source);
    if (!found.copy) {
        if (!found.problem.empty())
            log_("playlist " + slots_[i].loaded.source + ": " + found.problem +
                 "; the next good fetch replaces it");
        return;
    }
    ReadOptions o;
    o.cap = config_.limits.cap;
    o.stop = &stop_;
    std::string text;
    FileRead r = store_.read(*found.copy, o, [&text](std::string_view t) {
        text.append(t);
        return true;
    });
    PlaylistParse parsed;
    if (r.ok) parsed = parsePlaylist(text, config_.playlistLimits);
    if (!parsed.playlist) {
        log_("playlist " + slots_[i].loaded.source + ": its last good copy " +
             found.copy->file.string() + " is damaged: " + (r.ok ? parsed.error : r.error) +
             "; the next good fetch replaces it");
        return;
    }
    {
        std::lock_guard lock(mutex_);
        slots_[i].validators = found.copy->validators;
    }
    log_("playlist " + slots_[i].loaded.source + ": serving its last good copy, fetched " +
         ageText(SysClock::now() - found.copy->saved) + " ago, until it is fetched again");
    adopt(i, std::move(*parsed.playlist), epochSecondsOf(found.copy->saved));
}

bool PlaylistSources::fetchUrl(std::size_t i, bool unconditional) {
    FetchRequest request;
    request.url = slots_[i].source;
    {
        std::lock_guard lock(mutex_);
        if (!unconditional && slots_[i].loaded.playlist) request.ifChanged = slots_[i].validators;
    }
    LastGoodStore::Draft draft = store_.begin(request.url);
    std::string text;
    request.limits = config_.limits;
    request.stop = &stop_;
    if (draft.active()) request.onRawBytes = [&draft](std::string_view b) { draft.write(b); };
    request.onText = [&text](std::string_view t) {
        text.append(t);
        return true;
    };
    FetchResult r = fetchSource(request);
    switch (r.kind) {
        case FetchResult::Kind::NotModified:
            if (auto found = store_.find(request.url); found.copy) store_.touch(*found.copy);
            return false;
        case FetchResult::Kind::Failed:
        case FetchResult::Kind::Refused: failed(i, "cannot fetch (" + r.error + ")"); return false;
        case FetchResult::Kind::Fetched: break;
    }
    PlaylistParse parsed = parsePlaylist(text, config_.playlistLimits);
    if (!parsed.playlist) {
        failed(i, "fetched, but " + parsed.error);
        return false;
    }
    if (std::string err = draft.commit(r.validators); !err.empty())
        log_("playlist " + slots_[i].loaded.source + ": no copy of it is kept: " + err);
    {
        std::lock_guard lock(mutex_);
        slots_[i].validators = r.validators;
    }
    adopt(i, std::move(*parsed.playlist), epochSecondsOf(SysClock::now()));
    return true;
}

void PlaylistSources::start(Publish publish) {
    std::lock_guard lock(mutex_);
    if (thread_.joinable() || stopping_) return;
    publish_ = std::move(publish);
    // URLs at once (what start-up served was their last good copies).
    for (Slot& s : slots_) s.next = s.url ? SteadyClock::now() : SteadyClock::time_point::max();
    thread_ = std::thread([this] { run(); });
}

void PlaylistSources::reload() {
    {
        std::lock_guard lock(mutex_);
        reload_ = true;
    }
    wake_.notify_all();
}

void PlaylistSources::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_ = true;
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void PlaylistSources::run() {
    const bool periodic = config_.refresh.count() > 0;
    auto nextFileCheck = SteadyClock::now() + config_.fileCheck;
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const bool everything = std::exchange(reload_, false);
        const auto now = SteadyClock::now();
        const bool filesDue = everything || (periodic && now >= nextFileCheck);
        std::vector<std::size_t> due;
        for (std::size_t i = 0; i < slots_.size(); ++i)
            if (everything || (slots_[i].url ? now >= slots_[i].next : filesDue)) due.push_back(i);
        lock.unlock();
        bool changed = false;
        for (std::size_t i : due) {
            changed = attempt(i, everything) || changed;
            if (slots_[i].url && periodic) {
                std::lock_guard relock(mutex_);
                slots_[i].next = SteadyClock::now() + config_.refresh;
            }
        }
        if (filesDue) nextFileCheck = SteadyClock::now() + config_.fileCheck;
        if (changed && !stop_) publish_(current());
        lock.lock();
        for (std::size_t i : due)
            if (slots_[i].url && !periodic) slots_[i].next = SteadyClock::time_point::max();
        auto until = periodic ? nextFileCheck : SteadyClock::time_point::max();
        for (const Slot& s : slots_)
            if (s.url) until = std::min(until, s.next);
        auto woken = [this] { return stopping_ || reload_; };
        if (until == SteadyClock::time_point::max())
            wake_.wait(lock, woken);
        else
            wake_.wait_until(lock, until, woken);
    }
}

}  // namespace epg
