#include "app/qt/grid_view.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>

#include "runtime/backend/qt/qt_text.h"

namespace app::qtui {

namespace {

constexpr std::int64_t kDay = 24 * 3600;
constexpr std::int64_t kHalfHour = 1800;

QString clock(const base::Zone& zone, std::int64_t instant) {
    const base::LocalTime t = base::toLocal(instant, zone);
    return QStringLiteral("%1:%2").arg(t.hour, 2, 10, QChar('0')).arg(t.minute, 2, 10, QChar('0'));
}

// The block of `row` at `at`, or where none is on then the next one (the
// last after the end); -1 for a row without blocks.
int blockNear(const schedule::GridRow& row, std::int64_t at) {
    const auto& blocks = row.blocks;
    if (blocks.empty()) return -1;
    const auto after = std::partition_point(blocks.begin(), blocks.end(),
                                            [at](const auto& b) { return b.start <= at; });
    if (after != blocks.begin() && std::prev(after)->end > at)
        return static_cast<int>(after - blocks.begin()) - 1;
    return after != blocks.end() ? static_cast<int>(after - blocks.begin())
                                 : static_cast<int>(blocks.size()) - 1;
}

// Only the block actually on at `at`: a click in a gap chooses nothing.
int blockOn(const schedule::GridRow& row, std::int64_t at) {
    const int i = blockNear(row, at);
    if (i < 0) return -1;
    const auto& b = row.blocks[static_cast<std::size_t>(i)];
    return b.start <= at && at < b.end ? i : -1;
}

}  // namespace

GridView::GridView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(false);
    // Every pixel is painted here: Qt need not clear it first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

int GridView::dayWidth() const {
    return static_cast<int>((grid_.to - grid_.from) / 60 * kPixelsPerMinute);
}

int GridView::xOf(std::int64_t instant) const {
    return kNameWidth - horizontalScrollBar()->value() +
           static_cast<int>((instant - grid_.from) * kPixelsPerMinute / 60);
}

std::int64_t GridView::instantAtX(int x) const {
    return grid_.from + static_cast<std::int64_t>(x - kNameWidth + horizontalScrollBar()->value()) *
                            60 / kPixelsPerMinute;
}

void GridView::setGrid(schedule::Grid grid, std::int64_t now, const base::Zone& zone) {
    const std::int64_t shift = grid_.to > grid_.from ? grid.from - grid_.from : 0;
    grid_ = std::move(grid);
    now_ = now;
    zone_ = zone;
    labels_.assign(grid_.rows.size(), {});
    names_.clear();
    for (std::size_t r = 0; r < grid_.rows.size(); ++r) {
        const schedule::GridRow& row = grid_.rows[r];
        names_.push_back(rt::qt::toQString(row.channel));
        labels_[r].reserve(row.blocks.size());
        for (const schedule::GridBlock& b : row.blocks)
            labels_[r].push_back({clock(zone_, b.start), rt::qt::toQString(b.programme.title)});
    }
    if (!placed_) {
        // The same time of day as now, on whichever day is shown.
        wantedAt_ = grid_.from + (((now_ - grid_.from) % kDay) + kDay) % kDay;
        if (!grid_.rows.empty()) wantedPath_ = grid_.rows[0].path;
    } else {
        wantedAt_ += shift;
    }
    updateScrollRange();
    placeSelection();
    if (!placed_) {
        placed_ = true;
        horizontalScrollBar()->setValue(
            static_cast<int>((wantedAt_ - kHalfHour - grid_.from) * kPixelsPerMinute / 60));
    }
    viewport()->update();
}

void GridView::placeSelection() {
    selected_ = {};
    for (std::size_t r = 0; r < grid_.rows.size(); ++r)
        if (grid_.rows[r].path == wantedPath_) {
            selected_ = {static_cast<int>(r), blockNear(grid_.rows[r], wantedAt_)};
            break;
        }
}

const schedule::GridBlock* GridView::selectedBlock() const {
    if (!selected_.valid() || static_cast<std::size_t>(selected_.row) >= grid_.rows.size())
        return nullptr;
    const auto& blocks = grid_.rows[static_cast<std::size_t>(selected_.row)].blocks;
    return static_cast<std::size_t>(selected_.block) < blocks.size()
               ? &blocks[static_cast<std::size_t>(selected_.block)]
               : nullptr;
}

void GridView::select(Place place) {
    choose(place, true);
}

void GridView::choose(Place place, bool scroll, bool keepTime) {
    if (place.row < 0 || static_cast<std::size_t>(place.row) >= grid_.rows.size()) return;
    const schedule::GridRow& row = grid_.rows[static_cast<std::size_t>(place.row)];
    if (place.block < 0 || static_cast<std::size_t>(place.block) >= row.blocks.size()) return;
    selected_ = place;
    wantedPath_ = row.path;
    // Up and down keep the time they started from: down and back up
    // returns to the same programme.
    if (!keepTime)
        wantedAt_ = std::max(row.blocks[static_cast<std::size_t>(place.block)].start, grid_.from);
    if (scroll) {
        const QRect r = blockRect(place);
        const int width = viewport()->width() - kNameWidth;
        QScrollBar* h = horizontalScrollBar();
        // Its start in view; as much of the rest as fits.
        if (r.left() < kNameWidth || r.width() > width)
            h->setValue(h->value() + r.left() - kNameWidth - 8);
        else if (r.right() > viewport()->width())
            h->setValue(h->value() + r.right() - viewport()->width() + 8);
        QScrollBar* v = verticalScrollBar();
        const int top = place.row * kRowHeight;
        const int height = viewport()->height() - kRulerHeight;
        if (top < v->value())
            v->setValue(top);
        else if (top + kRowHeight > v->value() + height)
            v->setValue(top + kRowHeight - height);
    }
    viewport()->update();
}

QRect GridView::blockRect(Place place) const {
    if (!place.valid() || static_cast<std::size_t>(place.row) >= grid_.rows.size()) return {};
    const auto& blocks = grid_.rows[static_cast<std::size_t>(place.row)].blocks;
    if (static_cast<std::size_t>(place.block) >= blocks.size()) return {};
    const schedule::GridBlock& b = blocks[static_cast<std::size_t>(place.block)];
    const int x1 = xOf(std::max(b.start, grid_.from));
    const int x2 = xOf(std::min(b.end, grid_.to));
    const int y = kRulerHeight - verticalScrollBar()->value() + place.row * kRowHeight;
    return {x1, y + 2, std::max(1, x2 - x1 - 1), kRowHeight - 4};
}

GridView::Place GridView::blockAt(QPoint at) const {
    if (at.x() < kNameWidth || at.y() < kRulerHeight) return {};
    const int row = (at.y() - kRulerHeight + verticalScrollBar()->value()) / kRowHeight;
    if (static_cast<std::size_t>(row) >= grid_.rows.size()) return {};
    const int block = blockOn(grid_.rows[static_cast<std::size_t>(row)], instantAtX(at.x()));
    return block < 0 ? Place{} : Place{row, block};
}

void GridView::moveAcross(int by) {
    if (!selected_.valid()) return moveDown(0);
    choose({selected_.row, selected_.block + by}, true);
}

void GridView::moveDown(int by) {
    const std::int64_t at = std::max(wantedAt_, instantAtX(kNameWidth));
    int row = std::max(selected_.row, 0);
    if (by == 0) {  // nothing chosen yet: the first row with blocks from here
        row -= 1;
        by = 1;
    }
    for (row += by; row >= 0 && static_cast<std::size_t>(row) < grid_.rows.size(); row += by) {
        const int block = blockNear(grid_.rows[static_cast<std::size_t>(row)], at);
        if (block >= 0) return choose({row, block}, true, true);
    }
}

void GridView::updateScrollRange() {
    const int width = viewport()->width() - kNameWidth;
    const int height = viewport()->height() - kRulerHeight;
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, dayWidth() - width));
    h->setPageStep(width);
    h->setSingleStep(30 * kPixelsPerMinute);
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, static_cast<int>(grid_.rows.size()) * kRowHeight - height));
    v->setPageStep(height);
    v->setSingleStep(kRowHeight);
}

void GridView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void GridView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left: return moveAcross(-1);
        case Qt::Key_Right: return moveAcross(1);
        case Qt::Key_Up: return moveDown(-1);
        case Qt::Key_Down: return moveDown(1);
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (selectedBlock() && onActivated) onActivated(selected_);
            return;
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Escape:
            // The window's: the day and closing.
            event->ignore();
            return;
        default: QAbstractScrollArea::keyPressEvent(event);
    }
}

void GridView::mousePressEvent(QMouseEvent* event) {
    const Place place = blockAt(event->position().toPoint());
    if (place.valid()) choose(place, false);
}

void GridView::mouseDoubleClickEvent(QMouseEvent* event) {
    const Place place = blockAt(event->position().toPoint());
    if (!place.valid()) return;
    choose(place, false);
    if (onOpened) onOpened(place);
}

bool GridView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const Place place = blockAt(help->pos());
        if (!place.valid()) {
            QToolTip::hideText();
            return true;
        }
        const auto& b = grid_.rows[static_cast<std::size_t>(place.row)]
                            .blocks[static_cast<std::size_t>(place.block)];
        QToolTip::showText(help->globalPos(),
                           QStringLiteral("%1–%2 %3")
                               .arg(clock(zone_, b.start), clock(zone_, b.end),
                                    labels_[static_cast<std::size_t>(place.row)]
                                           [static_cast<std::size_t>(place.block)]
                                               .title),
                           viewport());
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void GridView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QRect all = viewport()->rect();
    p.fillRect(all, palette().base());
    const std::int64_t left = instantAtX(kNameWidth);
    const std::int64_t right = instantAtX(all.width()) + 60;
    paintRows(p, left, right);
    if (now_ >= grid_.from && now_ < grid_.to) {
        const int x = xOf(now_);
        if (x >= kNameWidth) {
            p.setPen(QPen(QColor(220, 30, 30), 2));
            p.drawLine(x, kRulerHeight - 6, x, all.height());
        }
    }
    paintNames(p);
    paintRuler(p, left, right);
}

void GridView::paintRows(QPainter& p, std::int64_t left, std::int64_t right) const {
    const QRect body(kNameWidth, kRulerHeight, viewport()->width() - kNameWidth,
                     viewport()->height() - kRulerHeight);
    p.save();
    p.setClipRect(body);
    const int scrolled = verticalScrollBar()->value();
    const int first = scrolled / kRowHeight;
    const int last =
        std::min(static_cast<int>(grid_.rows.size()) - 1, (scrolled + body.height()) / kRowHeight);
    QFont small = font();
    small.setPointSizeF(font().pointSizeF() * 0.85);
    const QFontMetrics titleMetrics(font());
    const QColor line = palette().mid().color();
    for (int r = first; r <= last; ++r) {
        const int y = kRulerHeight - scrolled + r * kRowHeight;
        if (r % 2) p.fillRect(kNameWidth, y, body.width(), kRowHeight, palette().alternateBase());
        p.setPen(line);
        p.drawLine(kNameWidth, y + kRowHeight - 1, body.right(), y + kRowHeight - 1);
        const auto& blocks = grid_.rows[static_cast<std::size_t>(r)].blocks;
        auto it = std::partition_point(blocks.begin(), blocks.end(),
                                       [left](const auto& b) { return b.start <= left; });
        while (it != blocks.begin() && std::prev(it)->end > left) --it;
        for (; it != blocks.end() && it->start < right; ++it) {
            const int index = static_cast<int>(it - blocks.begin());
            const QRect box = blockRect({r, index});
            const bool chosen = selected_ == Place{r, index};
            const bool past = it->end <= now_;
            const bool onAir = it->start <= now_ && now_ < it->end;
            QColor fill = past    ? QColor(236, 236, 236)
                          : onAir ? QColor(255, 243, 205)
                                  : QColor(228, 238, 251);
            QColor border = past    ? QColor(200, 200, 200)
                            : onAir ? QColor(230, 180, 60)
                                    : QColor(160, 185, 220);
            QColor text = past ? QColor(130, 130, 130) : palette().text().color();
            if (chosen) {
                fill = palette().highlight().color();
                border = fill.darker(130);
                text = palette().highlightedText().color();
            }
            p.setPen(border);
            p.setBrush(fill);
            p.drawRect(box.adjusted(0, 0, -1, -1));
            // The title stays readable when the block began left of the view.
            const int textLeft = std::max(box.left(), kNameWidth) + 4;
            const int width = box.right() - textLeft - 3;
            if (width < 12) continue;
            const Label& label =
                labels_[static_cast<std::size_t>(r)][static_cast<std::size_t>(index)];
            p.setPen(text);
            p.setFont(small);
            p.drawText(QRect(textLeft, box.top() + 1, width, box.height() / 2), Qt::AlignVCenter,
                       label.time);
            p.setFont(font());
            p.drawText(QRect(textLeft, box.top() + box.height() / 2 - 1, width, box.height() / 2),
                       Qt::AlignVCenter,
                       titleMetrics.elidedText(label.title, Qt::ElideRight, width));
        }
    }
    p.restore();
}

void GridView::paintNames(QPainter& p) const {
    const int height = viewport()->height();
    p.fillRect(0, kRulerHeight, kNameWidth, height - kRulerHeight, palette().window());
    const int scrolled = verticalScrollBar()->value();
    const QFontMetrics metrics(font());
    p.save();
    p.setClipRect(0, kRulerHeight, kNameWidth, height - kRulerHeight);
    for (int r = scrolled / kRowHeight; r < static_cast<int>(grid_.rows.size()) &&
                                        kRulerHeight - scrolled + r * kRowHeight < height;
         ++r) {
        const int y = kRulerHeight - scrolled + r * kRowHeight;
        // Not yet come: greyed until its pages are in.
        p.setPen(grid_.rows[static_cast<std::size_t>(r)].held ? palette().windowText().color()
                                                              : QColor(150, 150, 150));
        p.drawText(QRect(8, y, kNameWidth - 14, kRowHeight), Qt::AlignVCenter,
                   metrics.elidedText(names_[static_cast<std::size_t>(r)], Qt::ElideRight,
                                      kNameWidth - 14));
        p.setPen(palette().mid().color());
        p.drawLine(0, y + kRowHeight - 1, kNameWidth, y + kRowHeight - 1);
    }
    p.restore();
    p.setPen(palette().mid().color());
    p.drawLine(kNameWidth - 1, 0, kNameWidth - 1, height);
}

void GridView::paintRuler(QPainter& p, std::int64_t left, std::int64_t right) const {
    const int width = viewport()->width();
    p.fillRect(0, 0, width, kRulerHeight, palette().window());
    p.save();
    p.setClipRect(kNameWidth, 0, width - kNameWidth, kRulerHeight);
    const QColor ink = palette().windowText().color();
    std::int64_t t =
        grid_.from + std::max<std::int64_t>(0, (left - grid_.from) / kHalfHour - 1) * kHalfHour;
    for (; t < std::min(right + kHalfHour, grid_.to + 1); t += kHalfHour) {
        const int x = xOf(t);
        const bool hour = base::toLocal(t, zone_).minute == 0;
        p.setPen(ink);
        p.drawLine(x, hour ? kRulerHeight - 10 : kRulerHeight - 5, x, kRulerHeight);
        if (hour) p.drawText(x + 4, kRulerHeight - 10, clock(zone_, t));
    }
    if (now_ >= grid_.from && now_ < grid_.to) {
        const int x = xOf(now_);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 30, 30));
        p.drawPolygon(QPolygon({QPoint(x - 5, kRulerHeight - 7), QPoint(x + 5, kRulerHeight - 7),
                                QPoint(x, kRulerHeight)}));
    }
    p.restore();
    p.setPen(palette().mid().color());
    p.drawLine(0, kRulerHeight - 1, width, kRulerHeight - 1);
    static const char* const kWeekdays[] = {"星期一", "星期二", "星期三", "星期四",
                                            "星期五", "星期六", "星期日"};
    p.setPen(ink);
    p.drawText(QRect(8, 0, kNameWidth - 10, kRulerHeight), Qt::AlignVCenter,
               QStringLiteral("%1-%2 %3")
                   .arg(grid_.date.month, 2, 10, QChar('0'))
                   .arg(grid_.date.day, 2, 10, QChar('0'))
                   .arg(QString::fromUtf8(kWeekdays[std::clamp(grid_.day, 1, 7) - 1])));
}

}  // namespace app::qtui
