// The schedule parse on arbitrary page bytes: no crash, no hang, and the same
// rows as the regular expressions with the tag-by-tag stripper.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../schedule/literal_parse.h"
#include "app/schedule/schedule_parse.h"
#include "app/schedule/tag_stripper.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string page(reinterpret_cast<const char*>(data), size);
    page = page.substr(0, page.find('\0'));  // a page text ends at its first zero byte
    const auto rows = app::parseSchedule(page);
    // The literal stripper is quadratic: compare only on small inputs.
    if (page.size() <= 4096) {
        if (rows != literal::parseSchedule(page)) std::abort();
        if (app::stripTags(page) != literal::stripTags(page)) std::abort();
    }
    return 0;
}
