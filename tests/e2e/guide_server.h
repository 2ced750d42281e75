// A test EPG server: every day page it serves names its own path and day, so
// a test can tell from the program list which page the guide showed.
#pragma once

#include <string>

#include "gbk_literal.h"
#include "test_http_server.h"

inline std::string scheduleRow(const std::string& time, const std::string& title) {
    return "<tr><td><div align='center'><div id='e1' >" + time + "</div><div id='e2' >" + title +
           "</div></div></td></tr>\r\n";
}

// The page served for `target` (e.g. "/programys/TV_1/Channel_1/W3.htm"):
// two rows, " 08:00" / "<target> a" and " 20:00" / "<target> b".
inline std::string namedPage(const std::string& target) {
    return "<html><body><table>\r\n" + scheduleRow("<b>08:00</b>", target + " a") +
           scheduleRow("20:00", "<a href='x.htm'>" + target + " b</a> " + G("剧情")) +
           "</table></body></html>";
}

class GuideServer {
  public:
    GuideServer() {
        server.fallback([](const testsupport::Request& r) {
            return testsupport::Response::ok(namedPage(r.target));
        });
    }
    std::string root() const { return server.root(); }
    std::string channel1(int day) const {
        return root() + "programys/TV_1/Channel_1/W" + std::to_string(day) + ".htm";
    }

    testsupport::TestHttpServer server;
};

// Dates of the week of 6 October 2008 (a Monday).
inline std::string onDay(int weekday) {  // 1 Monday .. 7 Sunday, at 09:30
    return "2008-10-" + std::string(weekday + 5 < 10 ? "0" : "") + std::to_string(weekday + 5) +
           "T09:30:00";
}
