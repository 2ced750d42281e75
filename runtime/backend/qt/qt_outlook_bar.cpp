#include "runtime/backend/qt/qt_outlook_bar.h"

#include <QMouseEvent>
#include <QPainter>

#include "runtime/backend/qt/qt_backend.h"
#include "runtime/backend/qt/qt_style.h"
#include "runtime/backend/qt/qt_text.h"
#include "runtime/window/runtime.h"

namespace rt::qt {

namespace {
constexpr int kStepMs = 20;  // one step of the design's animation steps
}

OutlookBarWidget::OutlookBarWidget(QtBackend& backend, ControlRef ref, QWidget* parent)
    : QWidget(parent), ControlWidget(backend, ref) {
    animation_.setStartValue(0.0);
    animation_.setEndValue(1.0);
    animation_.setEasingCurve(QEasingCurve::OutCubic);
    QObject::connect(&animation_, &QVariantAnimation::valueChanged, this,
                     [this](const QVariant& v) {
                         progress_ = v.toReal();
                         placeContent();
                         update();
                     });
}

std::vector<int> OutlookBarWidget::layoutFor(int current, int n) const {
    const OutlookBar* ob = controlModel() ? controlModel()->as<OutlookBar>() : nullptr;
    const int h = ob ? ob->design.headerHeight : 22;
    std::vector<int> tops(static_cast<std::size_t>(std::max(0, n)));
    for (int i = 0; i < n; ++i)
        tops[static_cast<std::size_t>(i)] = i <= current ? i * h : height() - (n - i) * h;
    return tops;
}

std::vector<int> OutlookBarWidget::headerTops() const {
    if (from_.size() != to_.size() || progress_ >= 1.0) return to_;
    std::vector<int> tops(to_.size());
    for (std::size_t i = 0; i < to_.size(); ++i)
        tops[i] = qRound(from_[i] + (to_[i] - from_[i]) * progress_);
    return tops;
}

void OutlookBarWidget::sync(const Control& c, Change what) {
    const OutlookBar* ob = c.as<OutlookBar>();
    if (!ob) return;
    const int n = static_cast<int>(ob->groups().size());
    const int current = ob->currentGroup();
    if (what == Change::Groups || what == Change::Geometry || what == Change::Other) {
        to_ = layoutFor(current, n);
        if (!animating()) from_ = to_;
    } else if (what == Change::CurrentGroup) {
        std::vector<int> now = headerTops();
        to_ = layoutFor(current, n);
        const int steps = ob->design.animationSteps;
        if (steps > 0 && shownCurrent_ >= 0 && current != shownCurrent_ &&
            now.size() == to_.size() && isVisible()) {
            from_ = std::move(now);
            animation_.setDuration(steps * kStepMs);
            progress_ = 0.0;
            animation_.stop();
            animation_.start();
        } else {
            from_ = to_;
            progress_ = 1.0;
        }
        shownCurrent_ = current;
    }
    placeContent();
    update();
}

// The open group's content fills the space below its header and above the
// next one, as the model placed it once the animation is over.
void OutlookBarWidget::placeContent() {
    const Control* c = controlModel();
    const OutlookBar* ob = c ? c->as<OutlookBar>() : nullptr;
    if (!ob || !ob->validGroup(ob->currentGroup())) return;
    const std::uint32_t contentId =
        ob->groups()[static_cast<std::size_t>(ob->currentGroup())].content;
    QWidget* content = backend_.widget(ControlRef{ref_.window, contentId});
    const Control* k = backend_.control(ControlRef{ref_.window, contentId});
    if (!content || !k || content->parentWidget() != this) return;
    if (!animating()) {
        content->setGeometry(k->left, k->top, k->width, k->height);
        return;
    }
    const std::vector<int> tops = headerTops();
    const std::size_t g = static_cast<std::size_t>(ob->currentGroup());
    const int top = tops[g] + ob->design.headerHeight;
    const int bottom = g + 1 < tops.size() ? tops[g + 1] : height();
    // The list keeps its final size and is uncovered as the headers move.
    content->setGeometry(k->left, top, k->width, std::max(0, std::min(k->height, bottom - top)));
}

void OutlookBarWidget::paintEvent(QPaintEvent*) {
    const Control* c = controlModel();
    const OutlookBar* ob = c ? c->as<OutlookBar>() : nullptr;
    QPainter p(this);
    if (!ob) return;
    const OutlookBarData& d = ob->design;
    p.fillRect(rect(), colourOf(d.backgroundColour));
    p.setFont(fontFor(d.headerFont));
    const std::vector<int> tops = headerTops();
    const int h = d.headerHeight;
    for (std::size_t i = 0; i < tops.size() && i < ob->groups().size(); ++i) {
        const QRect r(0, tops[i], width(), h);
        p.fillRect(r, colourOf(d.headerColour));
        // A raised button face, as the headers of such menus are drawn.
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(palette().color(QPalette::Dark));
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        p.setPen(colourOf(d.headerTextColour));
        p.drawText(r, Qt::AlignCenter, toQString(ob->groups()[i].title));
    }
}

void OutlookBarWidget::mousePressEvent(QMouseEvent* e) {
    Runtime* rt = runtime();
    if (!rt || e->button() != Qt::LeftButton) return;
    const QPoint pt = e->position().toPoint();
    rt->userMousePress(ref_, pt.x(), pt.y(), keyStateOf(e->modifiers()));
}

void OutlookBarWidget::mouseReleaseEvent(QMouseEvent* e) {
    Runtime* rt = runtime();
    if (!rt || e->button() != Qt::LeftButton) return;
    const QPoint pt = e->position().toPoint();
    rt->userMouseRelease(ref_, pt.x(), pt.y(), keyStateOf(e->modifiers()));
}

}  // namespace rt::qt
