#include "app/schedule/tag_stripper.h"

#include <vector>

#include "app/schedule/nested_tag_stripper.h"

namespace app {
namespace {

using strip::Pos;
using strip::TagSpan;

struct Scan {
    std::vector<TagSpan> tags;
    std::vector<bool> openStartsChar;  // per tag
    bool nested = false;               // some tag holds another "<"
};

// The tags as a repeated search for "<.*?>" finds them: each "<" with the
// first ">" after it, the next search starting past that ">". Also notes
// whether each "<" starts a character for a GBK-stepping scan from the start
// of the text: after a byte below 0x80 the next byte starts one, and a run of
// bytes of 0x80 and above goes in pairs, so a "<" does exactly when the run
// of high bytes right before it has even length.
Scan scanTags(std::string_view x) {
    Scan scan;
    Pos highRun = 0;
    Pos open = -1;
    bool openStarts = false;
    bool inner = false;
    for (Pos i = 0; i < static_cast<Pos>(x.size()); ++i) {
        const auto c = static_cast<unsigned char>(x[static_cast<size_t>(i)]);
        if (open < 0) {
            if (c == '<') {
                open = i;
                openStarts = highRun % 2 == 0;
                inner = false;
            }
        } else if (c == '>') {
            scan.tags.push_back({open, i});
            scan.openStartsChar.push_back(openStarts);
            scan.nested = scan.nested || inner;
            open = -1;
        } else if (c == '<') {
            inner = true;
        }
        highRun = c >= 0x80 ? highRun + 1 : 0;
    }
    return scan;
}

// Every "<" of X either opens a tag or follows the last ">", so when no tag
// holds a second "<" the only occurrences of a tag text are whole tags, and
// deleting one never makes another: the result is X without the tags that
// start on a character.
rt::Text stripFlat(std::string_view x, const Scan& scan) {
    rt::Text out;
    out.reserve(x.size());
    size_t copied = 0;
    for (size_t k = 0; k < scan.tags.size(); ++k) {
        if (!scan.openStartsChar[k]) continue;
        const auto open = static_cast<size_t>(scan.tags[k].open);
        out.append(x.substr(copied, open - copied));
        copied = static_cast<size_t>(scan.tags[k].close) + 1;
    }
    out.append(x.substr(copied));
    return out;
}

}  // namespace

rt::Text stripTags(std::string_view x) {
    const Scan scan = scanTags(x);
    if (scan.tags.empty()) return rt::Text(x);
    if (!scan.nested) return stripFlat(x, scan);
    return strip::stripNestedTags(x, scan.tags);
}

}  // namespace app
