#include "runtime/backend/qt/qt_simple_widgets.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

#include "runtime/backend/qt/qt_backend.h"
#include "runtime/backend/qt/qt_style.h"
#include "runtime/backend/qt/qt_text.h"
#include "runtime/backend/qt/qt_window_fit.h"
#include "runtime/window/runtime.h"

namespace rt::qt {

namespace {

// A window of 750x680 on Windows has borders of 4 pixels and a caption of 26.
constexpr int kAssumedFrameWidth = 8;
constexpr int kAssumedFrameHeight = 34;

void setTextColour(QWidget* w, std::uint32_t colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colourOf(colour));
    w->setPalette(p);
}

void setBackground(QWidget* w, std::uint32_t colour) {
    if (isTransparent(colour)) {
        w->setAutoFillBackground(false);
        return;
    }
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colourOf(colour));
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

Qt::Alignment alignmentOf(std::int32_t horizontal, std::int32_t vertical) {
    Qt::Alignment a = horizontal == 1   ? Qt::AlignHCenter
                      : horizontal == 2 ? Qt::AlignRight
                                        : Qt::AlignLeft;
    a |= vertical == 1 ? Qt::AlignVCenter : vertical == 2 ? Qt::AlignBottom : Qt::AlignTop;
    return a;
}

}  // namespace

// --- window

WindowWidget::WindowWidget(QtBackend& backend, ControlRef ref, const Control& c)
    : QWidget(nullptr), ControlWidget(backend, ref) {
    const WindowData* d = c.as<WindowData>();
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    const std::uint32_t buttons = d ? d->buttons : 0x5;
    if (buttons & 0x1) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (buttons & 0x4) flags |= Qt::WindowMinimizeButtonHint;
    if (buttons & 0x2) flags |= Qt::WindowMaximizeButtonHint;
    setWindowFlags(flags);
    setFont(defaultFont());
    // The controls lie on client_, which scrolls only when the screen is
    // too small to show it whole; otherwise view_ shows it as it is.
    view_ = new QScrollArea(this);
    view_->setFrameShape(QFrame::NoFrame);
    view_->setFocusPolicy(Qt::NoFocus);
    client_ = new QWidget;
    view_->setWidget(client_);
    // The window's own background shows through, as it did under controls
    // placed on it directly.
    view_->viewport()->setAutoFillBackground(false);
    if (d && !d->icon.empty()) {
        QPixmap icon;
        if (icon.loadFromData(d->icon.data(), static_cast<uint>(d->icon.size()), "ICO"))
            setWindowIcon(QIcon(icon));
    }
    sync(c, Change::Caption);
}

void WindowWidget::sync(const Control& c, Change what) {
    if (what != Change::Caption) return;
    if (const WindowData* d = c.as<WindowData>()) setWindowTitle(toQString(d->title));
}

void WindowWidget::applyGeometry(const Control& c) {
    outer_ = QRect(c.left, c.top, c.width, c.height);
    fitClientToFrame(true);
}

void WindowWidget::fitClientToFrame(bool place) {
    QSize frame = frameGeometry().size() - geometry().size();
    if (frame.width() <= 0 && frame.height() <= 0)
        frame = QSize(kAssumedFrameWidth, kAssumedFrameHeight);
    const QScreen* s = screen();
    const WindowFit fit = fitWithin(outer_, frame, s ? s->availableGeometry() : QRect());
    if (client_->size() != fit.client) client_->setFixedSize(fit.client);
    if (fit.shownClient != size() || minimumSize() != maximumSize()) setFixedSize(fit.shownClient);
    view_->setGeometry(rect());
    // A top-level move places the outer frame. Placed by the template, not
    // again at every move: the viewer may move it anywhere.
    if (place) move(fit.topLeft);
}

bool WindowWidget::event(QEvent* e) {
    const bool r = QWidget::event(e);
    // The window manager's frame is known once the window is shown and placed.
    if (e->type() == QEvent::Show || e->type() == QEvent::Move)
        fitClientToFrame(e->type() == QEvent::Show);
    return r;
}

void WindowWidget::closeEvent(QCloseEvent* e) {
    e->ignore();  // the runtime decides; it hides the window when it is destroyed
    if (Runtime* rt = runtime()) rt->userCloseWindow(ref_.window);
}

// --- group box

GroupBoxWidget::GroupBoxWidget(QtBackend& backend, ControlRef ref, QWidget* parent)
    : QGroupBox(parent), ControlWidget(backend, ref) {}

void GroupBoxWidget::sync(const Control& c, Change what) {
    const GroupBoxData* d = c.as<GroupBoxData>();
    if (!d || (what != Change::Caption && what != Change::Colours && what != Change::Other)) return;
    setTitle(toQString(d->caption));
    setAlignment(d->alignment == 1   ? Qt::AlignHCenter
                 : d->alignment == 2 ? Qt::AlignRight
                                     : Qt::AlignLeft);
    if (d->font) setFont(fontFor(d->font));
    setTextColour(this, d->textColour);
    setBackground(this, d->backgroundColour);
}

// --- label

LabelWidget::LabelWidget(QtBackend& backend, ControlRef ref, QWidget* parent)
    : QLabel(parent), ControlWidget(backend, ref) {
    setTextFormat(Qt::PlainText);
}

void LabelWidget::sync(const Control& c, Change what) {
    const LabelData* d = c.as<LabelData>();
    if (!d || (what != Change::Caption && what != Change::Colours && what != Change::Other)) return;
    setText(toQString(d->caption));
    setAlignment(alignmentOf(d->horizontalAlign, d->verticalAlign));
    setWordWrap((d->options & 1) != 0);
    setTextColour(this, d->textColour);
    setBackground(this, d->backgroundColour);
    update();
}

void LabelWidget::mousePressEvent(QMouseEvent* e) {
    Runtime* rt = runtime();
    if (!rt || e->button() != Qt::LeftButton) return;
    const QPoint p = e->position().toPoint();
    rt->userMousePress(ref_, p.x(), p.y(), keyStateOf(e->modifiers()));
}

void LabelWidget::mouseReleaseEvent(QMouseEvent* e) {
    Runtime* rt = runtime();
    if (!rt || e->button() != Qt::LeftButton) return;
    const QPoint p = e->position().toPoint();
    rt->userMouseRelease(ref_, p.x(), p.y(), keyStateOf(e->modifiers()));
}

void LabelWidget::mouseDoubleClickEvent(QMouseEvent* e) {
    Runtime* rt = runtime();
    if (!rt || e->button() != Qt::LeftButton) return;
    const QPoint p = e->position().toPoint();
    rt->userDoubleClick(ref_, p.x(), p.y(), keyStateOf(e->modifiers()));
}

// --- slider

SliderWidget::SliderWidget(QtBackend& backend, ControlRef ref, QWidget* parent)
    : QSlider(Qt::Horizontal, parent), ControlWidget(backend, ref) {}

void SliderWidget::sync(const Control& c, Change what) {
    const SliderBar* s = c.as<SliderBar>();
    if (!s || (what != Change::Slider && what != Change::Other)) return;
    const QSignalBlocker quiet(this);
    const SliderBarData& v = s->values();
    setOrientation(v.orientation == 1 ? Qt::Vertical : Qt::Horizontal);
    setTickPosition(v.tickStyle == 0 ? QSlider::NoTicks : QSlider::TicksBelow);
    setTickInterval(std::max(1, v.tickFrequency));
    setPageStep(std::max(1, v.pageSize));
    setSingleStep(std::max(1, v.lineSize));
    setRange(s->minimum(), s->maximum());
    setValue(s->position());
}

// --- status bar

StatusBarWidget::StatusBarWidget(QtBackend& backend, ControlRef ref, QWidget* parent)
    : QWidget(parent), ControlWidget(backend, ref) {}

QLabel* StatusBarWidget::part(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < parts_.size()
               ? parts_[static_cast<std::size_t>(index)]
               : nullptr;
}

void StatusBarWidget::sync(const Control& c, Change what) {
    const StatusBar* s = c.as<StatusBar>();
    if (!s || (what != Change::Parts && what != Change::Other)) return;
    while (parts_.size() > s->parts.size()) {
        delete parts_.back();
        parts_.pop_back();
    }
    while (parts_.size() < s->parts.size()) {
        auto* l = new QLabel(this);
        l->setTextFormat(Qt::PlainText);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        l->show();
        parts_.push_back(l);
    }
    int x = 0;
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        const StatusPart& p = s->parts[i];
        QLabel* l = parts_[i];
        l->setText(toQString(p.text));
        l->setToolTip(toQString(p.tip));
        l->setFrameStyle(p.borderStyle == 1
                             ? QFrame::NoFrame
                             : QFrame::Panel |
                                   (p.borderStyle == 2 ? QFrame::Raised : QFrame::Sunken));
        l->setIndent(2);
        l->setGeometry(x, 2, std::max(0, p.width - 2), std::max(0, height_ - 2));
        x += p.width;
    }
}

void StatusBarWidget::applyGeometry(const Control& c) {
    height_ = c.height > 0 ? c.height : 20;
    dock();
}

void StatusBarWidget::dock() {
    QWidget* p = parentWidget();
    if (p != watchedParent_) {
        if (watchedParent_) watchedParent_->removeEventFilter(this);
        if (p) p->installEventFilter(this);
        watchedParent_ = p;
    }
    if (p) setGeometry(0, p->height() - height_, p->width(), height_);
    for (QLabel* l : parts_) l->resize(l->width(), std::max(0, height_ - 2));
}

bool StatusBarWidget::eventFilter(QObject* watched, QEvent* e) {
    if (watched == watchedParent_ && e->type() == QEvent::Resize) dock();
    return false;
}

}  // namespace rt::qt
