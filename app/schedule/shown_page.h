// Which day page is shown: the download, or this week's offline copy when
// it failed. Both the day list and the background schedule store choose so.
//
//   ShownPage page = choosePage(fetched, url, copies, now);
#pragma once

#include <functional>
#include <optional>

#include "app/schedule/page_cache.h"
#include "runtime/http/page_fetcher.h"
#include "runtime/values/value.h"

namespace app {

// Where the shown page came from, for the status bar.
enum class PageOrigin { Downloaded, Failed, OfflineCopy };

// Offline copies of day pages; either may be empty (no copies kept).
struct PageCopies {
    std::function<void(const rt::Text& url, const rt::Bytes& body)> keep;
    std::function<std::optional<KeptPage>(const rt::Text& url)> recall;
};

struct ShownPage {
    rt::Bytes body;
    PageOrigin origin = PageOrigin::Failed;
    rt::DateTime copyFetched;  // for OfflineCopy
};

// A whole download is shown and kept as the copy; otherwise the copy of
// `url` when it was fetched in the week (Monday to Sunday) of `now`, the
// guide's clock: last week's Wednesday is no stand-in for this one's.
// Otherwise what came.
ShownPage choosePage(rt::FetchResult fetched, const rt::Text& url, const PageCopies& copies,
                     rt::DateTime now);

}  // namespace app
