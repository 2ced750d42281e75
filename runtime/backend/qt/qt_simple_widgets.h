// The widgets of the window, the group boxes, labels, the slider and the
// status bar: controls whose state is a handful of design values.
#pragma once

#include <vector>

#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QSlider>
#include <QWidget>

#include "runtime/backend/qt/qt_control_widget.h"

namespace rt::qt {

// The top-level window. Its outer frame is the control's size: the client
// area is what remains inside the frame the window system draws (a frame of
// Windows proportions until the real one is known). On a screen too small
// for it the window shrinks to the screen's available area and its client
// area scrolls (qt_window_fit.h). Closing it asks the runtime, which
// destroys the window and ends the message loop.
class WindowWidget : public QWidget, public ControlWidget {
  public:
    WindowWidget(QtBackend& backend, ControlRef ref, const Control& c);
    QWidget* asWidget() override { return this; }
    QWidget* childArea() override { return client_; }
    void sync(const Control& c, Change what) override;
    void applyGeometry(const Control& c) override;

  protected:
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;

  private:
    void fitClientToFrame(bool place);
    QRect outer_;
    QScrollArea* view_;
    QWidget* client_;  // the whole client area, inside view_
};

class GroupBoxWidget : public QGroupBox, public ControlWidget {
  public:
    GroupBoxWidget(QtBackend& backend, ControlRef ref, QWidget* parent);
    QWidget* asWidget() override { return this; }
    void sync(const Control& c, Change what) override;
};

// A static text that reports a left press (event -1) to the runtime.
class LabelWidget : public QLabel, public ControlWidget {
  public:
    LabelWidget(QtBackend& backend, ControlRef ref, QWidget* parent);
    QWidget* asWidget() override { return this; }
    void sync(const Control& c, Change what) override;

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    // The second press of a double click is the double-click event only:
    // QWidget's own handler would deliver it as another press.
    void mouseDoubleClickEvent(QMouseEvent* e) override;
};

class SliderWidget : public QSlider, public ControlWidget {
  public:
    SliderWidget(QtBackend& backend, ControlRef ref, QWidget* parent);
    QWidget* asWidget() override { return this; }
    void sync(const Control& c, Change what) override;
};

// Parts side by side from the left at their widths, docked to the bottom of
// the parent's client area across its whole width.
class StatusBarWidget : public QWidget, public ControlWidget {
  public:
    StatusBarWidget(QtBackend& backend, ControlRef ref, QWidget* parent);
    QWidget* asWidget() override { return this; }
    void sync(const Control& c, Change what) override;
    void applyGeometry(const Control& c) override;
    QLabel* part(int index) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void dock();
    std::vector<QLabel*> parts_;
    int height_ = 20;
    QPointer<QWidget> watchedParent_;
};

}  // namespace rt::qt
