// The views of the schedule around the window template: the channel and
// programme context menus, now-and-next tooltips on the channel rows, and
// the windows 正在播出 (Ctrl+N), 搜索节目 (Ctrl+F), 节目提醒 (Ctrl+R), the
// grid 节目总览 (Ctrl+G) and a programme's 节目详情 (Ctrl+I on the list).
// They only show what GuideSchedule answers and pass choices to the program.
#pragma once

#include <QObject>
#include <QPointer>

#include "app/program.h"
#include "runtime/backend/qt/qt_backend.h"

class QDialog;
class QLineEdit;
class QLabel;
class QMenu;
class QTreeWidget;

namespace app::qtui {

class GridWindow;

class ScheduleViews : public QObject {
  public:
    // Call after the start window is loaded; `program` must have a schedule.
    ScheduleViews(rt::QtBackend& backend, GuideProgram& program);
    ~ScheduleViews() override;  // the schedule no longer reports to these views

    QDialog* showNowNext();
    QDialog* showSearch(const QString& text = {});
    QDialog* showReminders();
    // The open group's grid on the day the list shows.
    GridWindow* showGrid();
    // Row `row` of the program list, or with -1 its selected row (else the
    // one on air); null when there is none.
    QDialog* showRowDetails(int row = -1);
    QDialog* showDetails(const schedule::GridBlock& block, const rt::Text& channel);
    // The context menus of a channel row and a programme row (not shown).
    QMenu* channelMenu(int group, int row);
    QMenu* programmeMenu(int row);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void refresh();
    int groupOf(QObject* watched) const;  // -1: not a channel list
    QWidget* window() const;

    rt::QtBackend& backend_;
    GuideProgram& program_;
    GuideSchedule& schedule_;
    QPointer<QDialog> nowNext_, search_, reminders_, details_;
    QPointer<GridWindow> grid_;
    QTreeWidget* nowNextRows_ = nullptr;
    QTreeWidget* results_ = nullptr;
    QLineEdit* searchText_ = nullptr;
    QLabel* searchState_ = nullptr;
    QTreeWidget* reminderRows_ = nullptr;
    QString shownSearch_;  // the search (text and count) the results show
};

}  // namespace app::qtui
