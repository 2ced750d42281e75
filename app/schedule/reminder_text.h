// Reminders as text: one line each, in UTF-8,
//   START CHANNEL STATE TITLE
//   2024-12-09T11:00Z programys/TV_1/Channel_1/ waiting 新闻联播
// START in UTC to the minute, CHANNEL a catalogue path, STATE "waiting" or
// "notified" (so a restart does not notify twice), TITLE the rest of the
// line, with "\\", "\n", "\r", ";" and "\xHH" (a byte of GBK that makes no
// character) escaped. The settings file holds the same lines on one line,
// each ended by ";" instead of a line break (reminders=...).
//
// A title is kept to its first kMaxKeptTitleBytes bytes of GBK (never half a
// character): enough for any real programme, and a page's 100,000-byte title
// must not fill the settings file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/schedule/reminders.h"

namespace app::schedule {

inline constexpr std::size_t kMaxKeptTitleBytes = 200;
// The room of reminders= in the settings file: half of the 1 MiB the guide
// reads of it; the rest is the viewer's. Some 600 reminders whose titles are
// the longest kept and all escaped bytes, thousands of real ones.
inline constexpr std::size_t kMaxRemindersSettingBytes = 512 * 1024;

std::string remindersToText(const std::vector<Reminder>& reminders);

struct ReadReminders {
    std::vector<Reminder> reminders;  // the good lines, in file order
    std::vector<std::string> errors;  // "line N: why", one per line left out
};

// Blank lines are skipped; a malformed line is left out with its reason.
ReadReminders remindersFromText(std::string_view text);

// The one-line form of the settings file, and back ("line N" is reminder N).
// When the reminders take more than `room` bytes, notified ones are left out
// first, then waiting ones, each by their start, earliest first.
struct KeptReminders {
    std::string value;
    std::size_t leftOut = 0;
};
KeptReminders remindersToSetting(const std::vector<Reminder>& reminders,
                                 std::size_t room = kMaxRemindersSettingBytes);
ReadReminders remindersFromSetting(std::string_view value);

// A text of a page (GBK) as a desktop notification shows it, in UTF-8: plain
// text on one line. It is decoded first, each byte that makes no character
// becoming U+FFFD, so a stray lead byte cannot hide the "<" after it; control
// characters (C0 with line breaks and ESC, DEL, C1) are left out. With
// `bodyMarkup`, for a notification server that reads markup in the body,
// "&", "<" and ">" become entities; without it they stay as they are.
std::string notificationText(std::string_view gbkText, bool bodyMarkup);

}  // namespace app::schedule
