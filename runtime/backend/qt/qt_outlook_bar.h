// The roll-up menu, drawn here: the headers of the groups up to the open one
// at the top, the rest at the bottom, and the open group's content control
// (a child widget) in the space between. Header presses go to the runtime,
// which hit-tests them on the same layout and opens the group; a change of
// the open group slides the headers over a short animation that never blocks.
#pragma once

#include <vector>

#include <QVariantAnimation>
#include <QWidget>

#include "runtime/backend/qt/qt_control_widget.h"

namespace rt::qt {

class OutlookBarWidget : public QWidget, public ControlWidget {
  public:
    OutlookBarWidget(QtBackend& backend, ControlRef ref, QWidget* parent);
    QWidget* asWidget() override { return this; }
    void sync(const Control& c, Change what) override;

    bool animating() const { return animation_.state() == QAbstractAnimation::Running; }
    // Top of each header as drawn now.
    std::vector<int> headerTops() const;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    // Header tops when `current` is open.
    std::vector<int> layoutFor(int current, int groups) const;
    void placeContent();

    int shownCurrent_ = -1;  // the open group as last drawn
    std::vector<int> from_, to_;
    qreal progress_ = 1.0;
    QVariantAnimation animation_;
};

}  // namespace rt::qt
