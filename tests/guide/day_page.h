// Day pages as the EPG server writes them, for the guide's tests.
#pragma once

#include <string>

namespace daypage {

// The root the guide is pointed at when no server is reached.
inline constexpr const char* kRoot = "http://epg.test/";

// One schedule row of a day page.
inline std::string row(const std::string& time, const std::string& title) {
    return "<div align='center'><div id='e1' >" + time + "</div><div id='e2' >" + title +
           "</div></div>";
}

}  // namespace daypage
