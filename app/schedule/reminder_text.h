// Reminders as text: one line each, in UTF-8,
//   START CHANNEL STATE TITLE
//   2024-12-09T11:00Z programys/TV_1/Channel_1/ waiting 新闻联播
// START in UTC to the minute, CHANNEL a catalogue path, STATE "waiting" or
// "notified" (so a restart does not notify twice), TITLE the rest of the
// line, with "\\", "\n", "\r", ";" and "\xHH" (a byte of GBK that makes no
// character) escaped. The settings file holds the same lines on one line,
// each ended by ";" instead of a line break (reminders=...).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/schedule/reminders.h"

namespace app::schedule {

std::string remindersToText(const std::vector<Reminder>& reminders);

struct ReadReminders {
    std::vector<Reminder> reminders;  // the good lines, in file order
    std::vector<std::string> errors;  // "line N: why", one per line left out
};

// Blank lines are skipped; a malformed line is left out with its reason.
ReadReminders remindersFromText(std::string_view text);

// The one-line form of the settings file, and back ("line N" is reminder N).
std::string remindersToSetting(const std::vector<Reminder>& reminders);
ReadReminders remindersFromSetting(std::string_view value);

}  // namespace app::schedule
