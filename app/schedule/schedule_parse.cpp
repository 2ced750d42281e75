#include "app/schedule/schedule_parse.h"

#include <cstdint>
#include <optional>

#include "app/schedule/tag_stripper.h"
#include "runtime/values/gbk.h"
#include "runtime/values/text_commands.h"

namespace app {
namespace {

constexpr std::string_view kRowOpen = "align='center'>";
constexpr std::string_view kRowClose = "</div></div>";
constexpr std::string_view kTimeOpen = "<div id='e1' >";
constexpr std::string_view kTitleOpen = "<div id='e2' >";
constexpr std::string_view kDivClose = "</div>";

struct Delimited {
    size_t start;      // of OPEN
    size_t bodyStart;  // just past OPEN
    size_t bodyEnd;    // of CLOSE
    size_t end;        // just past CLOSE
};

// "OPEN(.*?)CLOSE" searched in `text` from `from`: the leftmost OPEN with a
// CLOSE somewhere after it, up to the first such CLOSE. When the first OPEN
// has no CLOSE after it, no later OPEN has one either, so one forward scan
// decides (the regular expression would retry every later OPEN to the end).
std::optional<Delimited> findDelimited(std::string_view text, size_t from, std::string_view open,
                                       std::string_view close) {
    const size_t a = text.find(open, from);
    if (a == std::string_view::npos) return std::nullopt;
    const size_t b = text.find(close, a + open.size());
    if (b == std::string_view::npos) return std::nullopt;
    return Delimited{a, a + open.size(), b, b + close.size()};
}

std::string_view firstDivBody(std::string_view row, std::string_view open) {
    const auto div = findDelimited(row, 0, open, kDivClose);
    if (!div) return {};
    return row.substr(div->bodyStart, div->bodyEnd - div->bodyStart);
}

}  // namespace

rt::Text pageText(const rt::Bytes& body) {
    rt::Text text;
    text.reserve(body.size());
    for (const std::uint8_t byte : body)
        if (byte != 0) text += static_cast<char>(byte);
    return text;
}

std::vector<ScheduleRow> parseSchedule(std::string_view page) {
    static const rt::Text cutWord = rt::gbk("剧情");
    std::vector<ScheduleRow> rows;
    size_t pos = 0;
    while (const auto found = findDelimited(page, pos, kRowOpen, kRowClose)) {
        const std::string_view match = page.substr(found->start, found->end - found->start);
        pos = found->end;

        ScheduleRow row;
        row.time = rt::joinTexts({" ", stripTags(firstDivBody(match, kTimeOpen))});
        rt::Text title = stripTags(firstDivBody(match, kTitleOpen));
        const int cut = rt::findText(title, cutWord);
        if (cut != -1) title = rt::leftPart(title, cut - 1);
        row.title = std::move(title);
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace app
