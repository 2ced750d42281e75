#include "app/qt/grid_window.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/qt/grid_view.h"
#include "runtime/backend/qt/qt_text.h"

namespace app::qtui {

GridWindow::GridWindow(GuideProgram& program, QWidget* parent)
    : QDialog(parent), program_(program), schedule_(*program.schedule()) {
    setWindowTitle(QStringLiteral("节目总览"));
    resize(960, 600);
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    earlier_ = new QPushButton(QStringLiteral("◀ 前一天"), this);
    later_ = new QPushButton(QStringLiteral("后一天 ▶"), this);
    heading_ = new QLabel(this);
    state_ = new QLabel(this);
    for (QPushButton* b : {earlier_, later_}) {
        // The keys stay with the grid; Enter is its, never a button's.
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
    }
    bar->addWidget(earlier_);
    bar->addWidget(heading_, 1, Qt::AlignCenter);
    bar->addWidget(later_);
    layout->addLayout(bar);
    view_ = new GridView(this);
    layout->addWidget(view_, 1);
    state_->setText(
        QStringLiteral("方向键选择节目，Enter 看详情，双击打开该频道，PgUp/PgDn 换一天"));
    layout->addWidget(state_);
    connect(earlier_, &QPushButton::clicked, this, [this] { stepDay(-1); });
    connect(later_, &QPushButton::clicked, this, [this] { stepDay(1); });
    view_->onActivated = [this](GridView::Place) {
        const schedule::GridBlock* b = view_->selectedBlock();
        if (b && onDetails)
            onDetails(*b,
                      view_->grid().rows[static_cast<std::size_t>(view_->selected().row)].channel);
    };
    view_->onOpened = [this](GridView::Place place) {
        // As a click on the group, the row and the day's label would.
        program_.openChannelDay(group_, place.row, day_);
    };
}

void GridWindow::keyPressEvent(QKeyEvent* event) {
    // The grid leaves these to its window.
    if (event->key() == Qt::Key_PageUp) return stepDay(-1);
    if (event->key() == Qt::Key_PageDown) return stepDay(1);
    QDialog::keyPressEvent(event);
}

void GridWindow::showGroupDay(int group, int day) {
    const catalogue::Group* g = program_.guide().menuGroup(group);
    if (!g) return;
    group_ = group;
    day_ = std::clamp(day, 1, 7);
    shown_ = *g;
    schedule_.showGrid(*shown_, day_);
    refresh();
    view_->setFocus();
}

void GridWindow::stepDay(int by) {
    if (group_ < 0 || day_ + by < 1 || day_ + by > 7) return;
    day_ += by;
    schedule_.showGrid(*shown_, day_);
    refresh();
}

void GridWindow::refreshSoon() {
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        if (refreshQueued_) refresh();
    });
}

void GridWindow::refresh() {
    refreshQueued_ = false;
    if (!shown_) return;
    schedule::Grid grid = schedule_.grid(*shown_, day_);
    const auto held = std::count_if(grid.rows.begin(), grid.rows.end(),
                                    [](const schedule::GridRow& r) { return r.held; });
    const QString title = rt::qt::toQString(shown_->title).trimmed();
    setWindowTitle(QStringLiteral("节目总览 - %1").arg(title));
    static const QStringList kWeekdays = {"星期一", "星期二", "星期三", "星期四",
                                          "星期五", "星期六", "星期日"};
    QString heading = QStringLiteral("%1  %2月%3日 %4")
                          .arg(title)
                          .arg(grid.date.month)
                          .arg(grid.date.day)
                          .arg(kWeekdays.value(day_ - 1));
    if (held < static_cast<std::ptrdiff_t>(grid.rows.size()))
        heading += QStringLiteral("  (正在读取 %1/%2 个频道…)").arg(held).arg(grid.rows.size());
    heading_->setText(heading);
    earlier_->setEnabled(day_ > 1);
    later_->setEnabled(day_ < 7);
    view_->setGrid(std::move(grid), program_.nowInstant(), program_.guide().zone());
}

}  // namespace app::qtui
