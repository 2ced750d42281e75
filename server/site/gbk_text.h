// Turning listing texts (UTF-8) into the GBK bytes of the pages.
#pragma once

#include <string>
#include <string_view>

namespace epg {

// What the guide will show for a programme title, as GBK. The day page carries
// exactly these bytes in the title cell, and the guide's parse (tag stripper,
// cut before "剧情") gives them back unchanged, because:
//  - "<" and ">" become the full-width "＜" "＞" (the guide strips "<...>"
//    spans and does not decode entities, so no ASCII form would survive);
//  - "剧情" becomes "劇情" (the guide cuts a title before its first "剧情");
//  - line breaks, tabs and other control characters become one blank, and
//    blanks at either end go (they come from the layout of XMLTV files);
//  - a character GBK cannot encode becomes "?", a no-break space a blank;
//  - "&" and everything else stay as they are.
std::string shownTitle(std::string_view utf8);

// Text for a browser (descriptions, the banner): GBK with & < > " ' written as
// entities and characters GBK lacks as numeric character references.
std::string htmlText(std::string_view utf8);

// UTF-8 to GBK, with "?" for what GBK cannot encode and for invalid UTF-8.
std::string toGbkLenient(std::string_view utf8);

}  // namespace epg
