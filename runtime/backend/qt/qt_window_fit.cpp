#include "runtime/backend/qt/qt_window_fit.h"

#include <algorithm>

namespace rt::qt {

WindowFit fitWithin(const QRect& outer, const QSize& frame, const QRect& available) {
    const QSize client = (outer.size() - frame).expandedTo(QSize(1, 1));
    if (available.isEmpty()) return {outer.topLeft(), client, client};
    const QSize room = (available.size() - frame).expandedTo(QSize(1, 1));
    const QSize shown = client.boundedTo(room);
    const QSize whole = shown + frame;
    // Moved only as far as it takes to bring the frame inside.
    const int x = std::clamp(outer.left(), available.left(),
                             std::max(available.left(), available.right() + 1 - whole.width()));
    const int y = std::clamp(outer.top(), available.top(),
                             std::max(available.top(), available.bottom() + 1 - whole.height()));
    return {QPoint(x, y), client, shown};
}

}  // namespace rt::qt
