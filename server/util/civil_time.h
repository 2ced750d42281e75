// The server's dates, zones and instants are those of the shared calendar.
// Programme times travel as Unix seconds (UTC); only pages, the banner and
// XMLTV out show them on the wall clock of a zone.
#pragma once

#include "base/civil_time.h"

namespace epg {

using base::Date;
using base::LocalTime;
using base::Seconds;
using base::Zone;

using base::addDays;
using base::civilFromDays;
using base::daysFromCivil;
using base::fromLocal;
using base::isoText;
using base::isoWeekday;
using base::localMidnight;
using base::mondayOf;
using base::toLocal;
using base::validDate;

}  // namespace epg
