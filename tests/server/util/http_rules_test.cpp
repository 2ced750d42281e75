// Content negotiation, entity-tag lists and HTTP dates, as clients and caches
// really send them.
#include <gtest/gtest.h>

#include "server/util/http_rules.h"

namespace epg {
namespace {

TEST(HttpRulesTest, GzipOnlyWhenAcceptEncodingAllowsIt) {
    struct Case {
        const char* field;
        bool gzip;
    } cases[] = {
        {"", false},  // absent or empty: identity only
        {"gzip", true},
        {"GZIP", true},
        {"x-gzip", true},
        {"gzip, deflate, br", true},
        {"br;q=1.0, gzip;q=0.8, *;q=0.1", true},
        {"deflate, br", false},
        {"gzip;q=0", false},
        {"gzip; q=0.000", false},
        {"gzip;Q=0.001", true},
        {"gzip;q=1", true},
        {"gzip;q=1.000", true},
        {"*", true},
        {"*;q=0", false},
        {"*, gzip;q=0", false},  // named beats the wildcard
        {"gzip;q=0, *", false},
        {"identity", false},
        {" gzip ;q=0.5 ", true},
        {"gzip;q=2", false},  // unreadable q-values are not a yes
        {"gzip;q=abc", false},
        {"gzip;q=0.5000", false},
        {"gzipped", false},
        {",,gzip,,", true},
        {"gzip;q", false},
        // A last coding without parameters has none, whatever the one before had.
        {"*;q=0, gzip", true},
        {"deflate;q=0,gzip", true},
    };
    for (const auto& c : cases) EXPECT_EQ(acceptsGzip(c.field), c.gzip) << '"' << c.field << '"';
}

TEST(HttpRulesTest, IfNoneMatchListsAreComparedWeakly) {
    const std::string tag = "\"0123456789abcdef-1a2b\"";
    struct Case {
        std::string field;
        bool hit;
    } cases[] = {
        {tag, true},
        {"W/" + tag, true},
        {"*", true},
        {" * ", true},
        {"\"other\", " + tag, true},
        {"\"other\",W/" + tag + ",\"more\"", true},
        {"\"other\"", false},
        {"\"0123456789abcdef-1a2\"", false},     // a prefix is not the tag
        {tag.substr(1, tag.size() - 2), false},  // unquoted
        {"junk, " + tag, true},
        {"\"unclosed, " + tag, false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(noneMatchHits(c.field, tag), c.hit) << c.field;
}

TEST(HttpRulesTest, HttpDatesInAllThreeFormsAndNothingElse) {
    const Seconds t = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
    EXPECT_EQ(httpDate(t), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(httpDate(1796817600), "Wed, 09 Dec 2026 12:00:00 GMT");
    struct Case {
        const char* text;
        std::optional<Seconds> value;
    } cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", t},
        {"Sunday, 06-Nov-94 08:49:37 GMT", t},
        {"Sun Nov  6 08:49:37 1994", t},
        {"Thu, 01 Jan 1970 00:00:00 GMT", 0},
        {"Wed, 09 Dec 2026 12:00:00 GMT", 1796817600},
        {"Wednesday, 09-Dec-26 12:00:00 GMT", 1796817600},
        {"Tuesday, 01-Jan-69 00:00:00 GMT", 3124224000},  // two digits: 1970 to 2069
        {"Thursday, 31-Dec-70 00:00:00 GMT", 31449600},
        {"Sun, 06 Nov 1994 08:49:37 UTC", std::nullopt},
        {"Sun, 6 Nov 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 31 Nov 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Nox 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 24:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 08:49 GMT", std::nullopt},
        {"\"0123\"", std::nullopt},
        {"", std::nullopt},
        {"1994-11-06T08:49:37Z", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parseHttpDate(c.text), c.value) << c.text;
    for (Seconds s : {Seconds{0}, Seconds{951782400}, Seconds{1796817599}, Seconds{4102444800}})
        EXPECT_EQ(parseHttpDate(httpDate(s)), s) << s;
}

}  // namespace
}  // namespace epg
