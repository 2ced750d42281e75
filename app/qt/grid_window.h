// The window of the grid (节目总览): one menu group's channels against one
// day of this week. It asks the schedule for the pages and paints what is
// held whenever the schedule changes; PgUp and PgDn change the day, Enter
// shows the selected programme's details, a double click opens that channel
// and day in the main window, Esc closes.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "app/program.h"

class QLabel;
class QPushButton;

namespace app::qtui {

class GridView;

class GridWindow : public QDialog {
  public:
    GridWindow(GuideProgram& program, QWidget* parent);

    // Shows menu group `group` on `day` (1..7) and asks for its pages.
    void showGroupDay(int group, int day);
    void stepDay(int by);  // within the week
    // The schedule changed: repainted once the events queued now are done,
    // so that a burst of pages costs one fill.
    void refreshSoon();
    // Fills the grid from the pages held, now.
    void refresh();

    int group() const { return group_; }
    int day() const { return day_; }
    GridView* view() const { return view_; }

    // The programme chosen for its details, with its channel's name.
    std::function<void(const schedule::GridBlock&, const rt::Text& channel)> onDetails;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    GuideProgram& program_;
    GuideSchedule& schedule_;
    GridView* view_;
    QLabel* heading_;
    QLabel* state_;
    QPushButton* earlier_;
    QPushButton* later_;
    int group_ = -1;
    int day_ = 0;
    std::optional<catalogue::Group> shown_;  // as it was when opened: 我的收藏 changes
    bool refreshQueued_ = false;
};

}  // namespace app::qtui
