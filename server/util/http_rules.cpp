#include "server/util/http_rules.h"

#include <date/date.h>

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/rfc7230.hpp>
#include <chrono>
#include <locale>
#include <sstream>

#include "base/text.h"

namespace epg {
namespace {

// qvalue = ( "0" [ "." 0*3DIGIT ] ) / ( "1" [ "." 0*3("0") ] ); nothing when
// malformed. Only whether it is above zero matters here.
std::optional<bool> qAboveZero(std::string_view q) {
    if (q.empty() || (q[0] != '0' && q[0] != '1')) return std::nullopt;
    if (q.size() > 1 && (q[1] != '.' || q.size() > 5)) return std::nullopt;
    bool above = q[0] == '1';
    for (std::size_t i = 2; i < q.size(); ++i) {
        if (q[i] < '0' || q[i] > '9' || (q[0] == '1' && q[i] != '0')) return std::nullopt;
        above = above || q[i] != '0';
    }
    return above;
}

}  // namespace

bool acceptsGzip(std::string_view field) {
    namespace beast = boost::beast;
    std::optional<bool> gzip, any;
    for (const auto& [coding, params] :
         beast::http::ext_list(beast::string_view(field.data(), field.size()))) {
        std::optional<bool> wanted = true;
        for (const auto& [name, value] : params) {
            // Boost 1.74 hands the last coding of a list, when it has no
            // parameters, those of the coding before it: they lie before it.
            if (name.data() < coding.data()) break;
            if (beast::iequals(name, "q"))
                wanted = qAboveZero(std::string_view(value.data(), value.size()));
        }
        bool ok = wanted.value_or(false);  // a q-value we cannot read: not wanted
        if (beast::iequals(coding, "gzip") || beast::iequals(coding, "x-gzip"))
            gzip = gzip.value_or(false) || ok;
        else if (coding == "*")
            any = ok;
    }
    return gzip ? *gzip : any.value_or(false);
}

bool noneMatchHits(std::string_view field, std::string_view entityTag) {
    field = base::trim(field);
    if (field == "*") return true;
    while (!field.empty()) {
        while (!field.empty() &&
               (field.front() == ' ' || field.front() == '\t' || field.front() == ','))
            field.remove_prefix(1);
        if (field.starts_with("W/")) field.remove_prefix(2);
        if (field.empty() || field.front() != '"') {
            // Not an entity-tag: skip to the next list member.
            auto comma = field.find(',');
            if (comma == std::string_view::npos) break;
            field.remove_prefix(comma);
            continue;
        }
        auto close = field.find('"', 1);
        if (close == std::string_view::npos) break;
        if (field.substr(0, close + 1) == entityTag) return true;
        field.remove_prefix(close + 1);
    }
    return false;
}

std::string httpDate(Seconds t) {
    return date::format(std::locale::classic(), "%a, %d %b %Y %T GMT",
                        date::sys_seconds{std::chrono::seconds{t}});
}

std::optional<Seconds> parseHttpDate(std::string_view s) {
    // The three forms by their length and comma. The weekday's name is not
    // read: the date says which day it was.
    struct Form {
        std::size_t dateAt, dateSize;
        const char* format;
        bool twoDigitYear = false;
    };
    const std::size_t comma = s.find(',');
    std::optional<Form> form;
    if (comma == 3 && s.size() == 29)
        form = Form{4, 25, " %d %b %Y %T GMT"};  // IMF-fixdate: "Sun, 06 Nov 1994 08:49:37 GMT"
    else if (comma != std::string_view::npos && comma >= 6 && comma <= 9)
        form = Form{comma + 1, 23, " %d-%b-%y %T GMT",
                    true};  // RFC 850: "Sunday, 06-Nov-94 08:49:37 GMT"
    else if (comma == std::string_view::npos && s.size() == 24)
        form = Form{4, 20, "%b %e %T %Y"};  // asctime: "Sun Nov  6 08:49:37 1994"
    if (!form || s.size() - form->dateAt != form->dateSize) return std::nullopt;
    std::istringstream in{std::string(s.substr(form->dateAt))};
    in.imbue(std::locale::classic());
    date::sys_seconds t;
    // At -O3 GCC takes a field of the library's own parser for maybe
    // uninitialized once it is inlined here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
    in >> date::parse(form->format, t);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    if (in.fail() || in.peek() != std::char_traits<char>::eof()) return std::nullopt;
    // Two-digit years: the century that puts the date in the recent past,
    // from 1970 on (the library takes 69 for 1969).
    const date::sys_days day = date::floor<date::days>(t);
    if (form->twoDigitYear && day < date::sys_days{date::year{1970} / 1 / 1})
        t = date::sys_days{date::year_month_day{day} + date::years{100}} + (t - day);
    return t.time_since_epoch().count();
}

}  // namespace epg
