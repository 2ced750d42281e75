#include "app/schedule/shown_page.h"

#include "runtime/values/date_time.h"

namespace app {

namespace {

bool inWeekOf(rt::DateTime fetched, rt::DateTime now) {
    const double monday = rt::datePart(now).days - (rt::weekdayOf(now) + 5) % 7;
    return fetched.days >= monday && fetched.days < monday + 7;
}

}  // namespace

ShownPage choosePage(rt::FetchResult fetched, const rt::Text& url, const PageCopies& copies,
                     rt::DateTime now) {
    if (fetched.complete()) {
        if (copies.keep) copies.keep(url, fetched.body);
        return {std::move(fetched.body), PageOrigin::Downloaded, {}};
    }
    if (auto copy = copies.recall ? copies.recall(url) : std::nullopt;
        copy && inWeekOf(copy->fetched, now))
        return {std::move(copy->body), PageOrigin::OfflineCopy, copy->fetched};
    return {std::move(fetched.body), PageOrigin::Failed, {}};
}

}  // namespace app
