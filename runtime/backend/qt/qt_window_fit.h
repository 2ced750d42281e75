// Where a top-level window of the template's size goes on a screen that may
// be smaller than it (a laptop panel, a scale factor of 1.5 or 2): its frame
// never reaches past the screen's available area. What the shown client area
// cannot hold scrolls inside it.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace rt::qt {

struct WindowFit {
    QPoint topLeft;     // of the outer frame
    QSize client;       // the whole client area, as the template sizes it
    QSize shownClient;  // at most the whole client area
};

// `outer`: the frame's place and size as the template gives them; `frame`:
// what the window system's frame takes of it (width, height); `available`:
// the screen's area for windows, empty when unknown (nothing is changed).
WindowFit fitWithin(const QRect& outer, const QSize& frame, const QRect& available);

}  // namespace rt::qt
