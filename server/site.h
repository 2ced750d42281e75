// Everything the server answers, apart from the networking: which targets
// exist, the pages behind them (rendered once and kept until the week, or for
// the banner the minute, changes) and the checks every request target passes.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/listings.h"

namespace epg {

using Clock = std::function<Seconds()>;
Clock systemClock();
Clock fixedClock(Seconds t);

inline constexpr std::string_view kBannerPath = "soft/down/a1.html";

// The path a request target names, without its leading "/", percent-escapes
// decoded and any query dropped; nothing for a target that is empty, not
// origin-form (absolute-form, "*"), badly escaped, or holds "..", a
// backslash, a NUL or another control character.
std::optional<std::string> cleanTargetPath(std::string_view target);

struct Reply {
    int status = 404;
    std::shared_ptr<const std::string> body;  // never null
    bool html = true;                         // text/html; charset=GBK, else text/plain
};

class Site {
  public:
    Site(std::shared_ptr<const Listings> listings, Clock clock);

    // The answer to GET or HEAD of a request target.
    Reply get(std::string_view target) const;
    // Swaps in new listings; pages rendered from the old ones are dropped.
    void replaceListings(std::shared_ptr<const Listings> listings);
    // Every path the server has a page for (day pages, then the banner).
    std::vector<std::string> pagePaths() const;
    // The page behind a path from pagePaths() (or nullptr).
    std::shared_ptr<const std::string> page(std::string_view path) const;

  private:
    struct Cache;
    std::shared_ptr<const std::string> dayPage(std::size_t channel, int weekday) const;
    std::shared_ptr<const std::string> banner() const;

    Clock clock_;
    mutable std::mutex mutex_;
    std::shared_ptr<const Listings> listings_;
    mutable std::shared_ptr<Cache> cache_;
    mutable Seconds bannerMinute_ = -1;
    mutable std::shared_ptr<const std::string> banner_;
};

// The whole request handling: method and target in, reply out. A bad target
// is refused (400) before anything else; then only GET and HEAD are served
// (405 otherwise).
Reply handleRequest(const Site& site, std::string_view method, std::string_view target);

}  // namespace epg
