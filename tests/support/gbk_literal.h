// G("剧情") turns a UTF-8 literal of a test into the GBK bytes the runtime
// works with; U(text) turns GBK back into UTF-8 for readable failure output.
#pragma once

#include <string_view>

#include "runtime/values/gbk.h"

inline rt::Text G(std::string_view utf8) {
    return rt::gbk(utf8);
}
inline std::string U(std::string_view gbkText) {
    return rt::toUtf8(gbkText);
}
