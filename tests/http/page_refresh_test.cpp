// How often a viewer fetches its page again: as the page's refresh asks,
// within 10 s .. 1 h, and every 5 minutes when it asks nothing readable.
#include "runtime/http/page_refresh.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using std::chrono::seconds;

TEST(PageRefresh, AsThePageAsksWithinTenSecondsAndAnHour) {
    struct Case {
        std::string page;
        seconds every;
    };
    const Case cases[] = {
        {"<meta http-equiv='refresh' content='60'>", seconds(60)},
        {"<HEAD><META HTTP-EQUIV=\"Refresh\" CONTENT=\"120; url=/soft/down/a1.html\"></HEAD>",
         seconds(120)},
        {"<meta content=90 http-equiv=refresh />", seconds(90)},
        {"<meta http-equiv='refresh' content=' 45'>", seconds(45)},
        {"<meta http-equiv='refresh' content='0'>", seconds(10)},  // not faster than 10 s
        {"<meta http-equiv='refresh' content='86400'>", seconds(3600)},
        {"<meta http-equiv='refresh' content='99999999999999999999999'>", seconds(3600)},
        {"<meta charset='gbk'><meta http-equiv='refresh' content='30'>", seconds(30)},
        {"<p>no refresh</p>", seconds(300)},
        {"<meta http-equiv='refresh' content='soon'>", seconds(300)},
        {"<meta http-equiv='content-type' content='20'>", seconds(300)},  // not a refresh
        {"<meta http-equiv='refresh' <b>content='20'>", seconds(300)},    // another tag's
        {std::string(70'000, ' ') + "<meta http-equiv='refresh' content='20'>", seconds(300)},
        {"", seconds(300)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rt::reloadInterval(c.page), c.every) << c.page.substr(0, 80);
}

}  // namespace
