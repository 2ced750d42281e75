// The painted picture of one grid (节目总览): a fixed column of channel
// names, an hours ruler on top, each programme a block from start to end
// with its title elided to fit, the past greyed and a red line at now.
// Only the rows and blocks in view are painted, so a large group scrolls
// as quickly as a small one.
//
//   GridView view;
//   view.setGrid(schedule.grid(group, day), nowUnix, zone);
//   view.onActivated = [](GridView::Place p) { ... };  // Enter
//   view.onOpened = [](GridView::Place p) { ... };     // double click
#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/schedule/grid.h"

namespace app::qtui {

class GridView : public QAbstractScrollArea {
  public:
    struct Place {
        int row = -1;    // index into grid().rows
        int block = -1;  // index into that row's blocks
        bool valid() const { return row >= 0 && block >= 0; }
        friend bool operator==(const Place&, const Place&) = default;
    };

    static constexpr int kNameWidth = 128;
    static constexpr int kRulerHeight = 28;
    static constexpr int kRowHeight = 44;
    static constexpr int kPixelsPerMinute = 4;

    explicit GridView(QWidget* parent = nullptr);

    // Shows `grid` at instant `now`. The selection stays on the programme it
    // was on (by row and start) where that is still there; the horizontal
    // scroll keeps its hours, so another day opens on the same time of day.
    void setGrid(schedule::Grid grid, std::int64_t now, const base::Zone& zone);
    const schedule::Grid& grid() const { return grid_; }
    std::int64_t now() const { return now_; }

    Place selected() const { return selected_; }
    const schedule::GridBlock* selectedBlock() const;
    // Selects `place` and scrolls it into view.
    void select(Place place);

    // Viewport coordinates.
    Place blockAt(QPoint at) const;
    QRect blockRect(Place place) const;
    int xOf(std::int64_t instant) const;

    std::function<void(Place)> onActivated;  // Enter on the selection
    std::function<void(Place)> onOpened;     // a double click on a block

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;

  private:
    struct Label {
        QString time;   // "20:00"
        QString title;  // as held, in full
    };
    void updateScrollRange();
    void moveAcross(int by);
    void moveDown(int by);
    void choose(Place place, bool scroll, bool keepTime = false);
    void placeSelection();
    void paintRuler(QPainter& p, std::int64_t left, std::int64_t right) const;
    void paintRows(QPainter& p, std::int64_t left, std::int64_t right) const;
    void paintNames(QPainter& p) const;
    int dayWidth() const;
    std::int64_t instantAtX(int x) const;

    schedule::Grid grid_;
    std::vector<std::vector<Label>> labels_;  // made once per grid, not per paint
    std::vector<QString> names_;
    std::int64_t now_ = 0;
    base::Zone zone_;
    Place selected_;
    // What the selection follows from grid to grid: a channel and an instant
    // in its row (moved by a day when the day changes).
    std::string wantedPath_;
    std::int64_t wantedAt_ = 0;
    bool placed_ = false;  // the first grid set the scroll to now
};

}  // namespace app::qtui
