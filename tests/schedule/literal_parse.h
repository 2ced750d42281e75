// The schedule parse and tag stripper written step by step with the regex
// object and the text commands, exactly as the guide describes them. Slow on
// purpose (the stripper is quadratic); the fast versions must agree with it.
#pragma once

#include <vector>

#include "app/schedule/schedule_parse.h"
#include "runtime/regex/regex.h"
#include "runtime/values/gbk.h"
#include "runtime/values/text_commands.h"

namespace literal {

inline rt::Text stripTags(const rt::Text& x) {
    rt::Text r = x;
    rt::regex tag;
    tag.Create(app::kTagPattern, true);
    for (const rt::SearchResult& found : tag.SearchAll(x))
        r = rt::replaceText(r, rt::GetMatchText(found, x), std::nullopt, std::nullopt, std::nullopt,
                            true);
    return r;
}

inline std::vector<app::ScheduleRow> parseSchedule(const rt::Text& page) {
    const rt::Text cutWord = rt::gbk("剧情");
    rt::regex row, time, title;
    row.Create(app::kRowPattern, true);
    time.Create(app::kTimePattern, true);
    title.Create(app::kTitlePattern, true);
    std::vector<app::ScheduleRow> out;
    for (const rt::SearchResult& found : row.SearchAll(page)) {
        const rt::Text m = rt::GetMatchText(found, page);
        rt::Text t = stripTags(rt::GetSubMatchText(time.Search(m, 1), m, 1));
        rt::Text u = stripTags(rt::GetSubMatchText(title.Search(m, 1), m, 1));
        const int p = rt::findText(u, cutWord);
        if (p != -1) u = rt::leftPart(u, p - 1);
        out.push_back({rt::joinTexts({" ", t}), u});
    }
    return out;
}

}  // namespace literal
