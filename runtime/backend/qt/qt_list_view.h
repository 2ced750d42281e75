// A report-style list: the rows, columns and selection of a ListView model.
//
// The widget never changes its own selection. A left press or a navigation
// key goes to the runtime (userMousePress / userKey), whose model moves the
// focus and raises the current-row event once per change; the new selection
// then comes back through sync() with the widget's signals blocked. A marked
// row is drawn bold on a tint of the palette's highlight colour, taken when it
// is painted, so it follows the skin's colours.
#pragma once

#include <QTreeWidget>

#include "runtime/backend/qt/qt_control_widget.h"

namespace rt::qt {

class ListViewWidget : public QTreeWidget, public ControlWidget {
  public:
    ListViewWidget(QtBackend& backend, ControlRef ref, QWidget* parent);
    QWidget* asWidget() override { return this; }
    void sync(const Control& c, Change what) override;

    // The row under a viewport point; the row count below the last row.
    int rowAtPoint(QPoint viewportPoint) const;
    int markedRow() const { return markedRow_; }
    // The background of a marked row in this palette.
    static QColor markColour(const QPalette& palette);

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;

  private:
    void syncDesign(const ListView& lv);
    void syncColumns(const ListView& lv);
    void syncRows(const ListView& lv);
    void syncSelection(const ListView& lv);
    // Where the model places a press on `row` (its hit test reads y only).
    QPoint modelPoint(int row) const;
    void syncMark(const ListView& lv);
    bool designShown_ = false;
    int markedRow_ = -1;
};

}  // namespace rt::qt
