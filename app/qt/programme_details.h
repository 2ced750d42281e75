// A programme's details (节目详情): channel, day, start–end, title, and the
// description and category where the EPG root gave them.
//
//   ProgrammeDetails d = programmeDetails(block, channelName, zone);
//   QDialog* shown = showProgrammeDetails(parent, d);
#pragma once

#include <QString>

#include "app/schedule/grid.h"

class QDialog;
class QWidget;

namespace app::qtui {

struct ProgrammeDetails {
    QString channel;
    QString day;   // "12月9日 星期三"
    QString time;  // "20:00–21:30"; the start alone when no end is known
    QString title;
    QString description;  // empty: none given
    QString category;     // empty: none given
};

// `block.end` 0 means no end is known.
ProgrammeDetails programmeDetails(const schedule::GridBlock& block, const rt::Text& channel,
                                  const base::Zone& zone);

// A window of its own (deleted on close; Esc closes it).
QDialog* showProgrammeDetails(QWidget* parent, const ProgrammeDetails& details);

}  // namespace app::qtui
