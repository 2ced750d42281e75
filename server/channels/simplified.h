// Traditional Chinese folded to Simplified, for comparing channel names:
// feeds from Hong Kong and Taiwan write 鳳凰衛視 where the catalogue has
// 凤凰卫视. Never applied to titles, which are shown as the feed has them.
#pragma once

#include <string>
#include <string_view>

namespace epg {

// `utf8`, valid UTF-8, through OpenCC's t2s conversion (phrases, then
// characters). Text without any non-ASCII byte comes back as it is without
// reaching OpenCC. When OpenCC or its data cannot be loaded, says so once on
// stderr and returns every text unchanged. Safe to call from any thread.
std::string simplified(std::string_view utf8);

}  // namespace epg
