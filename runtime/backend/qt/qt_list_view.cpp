#include "runtime/backend/qt/qt_list_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "runtime/backend/qt/qt_backend.h"
#include "runtime/backend/qt/qt_style.h"
#include "runtime/backend/qt/qt_text.h"
#include "runtime/window/runtime.h"

namespace rt::qt {

namespace {

// Rows as high as the model lays them out, so a press lands where it shows;
// the marked row bold on its tint.
class RowDelegate : public QStyledItemDelegate {
  public:
    explicit RowDelegate(ListViewWidget* list) : QStyledItemDelegate(list), list_(list) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(ListView::kRowHeight);
        return s;
    }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.row() != list_->markedRow()) return;
        option->font.setBold(true);
        option->backgroundBrush = ListViewWidget::markColour(option->palette);
    }

  private:
    const ListViewWidget* list_;
};

Qt::Alignment columnAlignment(std::int32_t a) {
    return (a == 1 ? Qt::AlignRight : a == 2 ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
}

}  // namespace

ListViewWidget::ListViewWidget(QtBackend& backend, ControlRef ref, QWidget* parent)
    : QTreeWidget(parent), ControlWidget(backend, ref) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    setDragEnabled(false);
    setItemDelegate(new RowDelegate(this));
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(false);
    header()->setFixedHeight(ListView::kHeaderHeight);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void ListViewWidget::sync(const Control& c, Change what) {
    const ListView* lv = c.as<ListView>();
    if (!lv) return;
    // The widget's own signals stay quiet; its selection model must still
    // tell the view (painting, the items' selected state).
    const QSignalBlocker quiet(this);
    if (!designShown_ || what == Change::Colours || what == Change::Other) {
        designShown_ = true;
        syncDesign(*lv);
        syncColumns(*lv);
        syncRows(*lv);
        syncSelection(*lv);
        syncMark(*lv);
        return;
    }
    switch (what) {
        case Change::Columns: syncColumns(*lv); break;
        case Change::Rows:
            syncRows(*lv);
            syncSelection(*lv);
            syncMark(*lv);
            break;
        case Change::Selection: syncSelection(*lv); break;
        case Change::Marks: syncMark(*lv); break;
        case Change::Scroll:
            if (QTreeWidgetItem* item = topLevelItem(lv->shownRow()))
                scrollToItem(item, QAbstractItemView::PositionAtTop);
            break;
        default: break;
    }
}

QColor ListViewWidget::markColour(const QPalette& palette) {
    // A light tint keeps the list's own text colour readable on it.
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    auto mix = [](int b, int h) { return (b * 2 + h) / 3; };
    return QColor(mix(base.red(), highlight.red()), mix(base.green(), highlight.green()),
                  mix(base.blue(), highlight.blue()));
}

void ListViewWidget::syncMark(const ListView& lv) {
    if (markedRow_ == lv.markedRow()) return;
    markedRow_ = lv.markedRow();
    viewport()->update();
}

void ListViewWidget::syncDesign(const ListView& lv) {
    const ListViewData& d = lv.design;
    setFont(fontFor(d.font));
    header()->setFont(font());
    QPalette p = palette();
    p.setColor(QPalette::Text, colourOf(d.textColour));
    p.setColor(QPalette::Base, colourOf(d.backgroundColour));
    setPalette(p);
    setHeaderHidden(d.headerHidden != 0);
    setFrameShape(d.border != 0 ? QFrame::StyledPanel : QFrame::NoFrame);
    setSelectionMode(d.singleSelection != 0 ? QAbstractItemView::SingleSelection
                                            : QAbstractItemView::ExtendedSelection);
}

void ListViewWidget::syncColumns(const ListView& lv) {
    const auto& cols = lv.columns();
    const int n = std::max<int>(1, static_cast<int>(cols.size()));
    setColumnCount(n);
    QTreeWidgetItem* head = headerItem();
    for (int i = 0; i < static_cast<int>(cols.size()); ++i) {
        const ListColumn& col = cols[static_cast<std::size_t>(i)];
        head->setText(i, toQString(col.title));
        head->setTextAlignment(i, columnAlignment(col.alignment));
        setColumnWidth(i, col.width);
    }
}

void ListViewWidget::syncRows(const ListView& lv) {
    const auto& rows = lv.rows();
    const int want = static_cast<int>(rows.size());
    while (topLevelItemCount() > want) delete takeTopLevelItem(topLevelItemCount() - 1);
    const int cols = columnCount();
    for (int r = 0; r < want; ++r) {
        QTreeWidgetItem* item = topLevelItem(r);
        if (!item) {
            item = new QTreeWidgetItem();
            addTopLevelItem(item);
        }
        const ListViewRow& row = rows[static_cast<std::size_t>(r)];
        for (int k = 0; k < cols; ++k) {
            const QString text = static_cast<std::size_t>(k) < row.cells.size()
                                     ? toQString(row.cells[static_cast<std::size_t>(k)])
                                     : QString();
            if (item->text(k) != text) item->setText(k, text);
            const auto& colsModel = lv.columns();
            if (static_cast<std::size_t>(k) < colsModel.size())
                item->setTextAlignment(
                    k, columnAlignment(colsModel[static_cast<std::size_t>(k)].alignment));
        }
    }
}

void ListViewWidget::syncSelection(const ListView& lv) {
    const auto& rows = lv.rows();
    QItemSelection selection;
    for (int r = 0; r < static_cast<int>(rows.size()); ++r)
        if (rows[static_cast<std::size_t>(r)].selected)
            selection.select(model()->index(r, 0), model()->index(r, columnCount() - 1));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    const int focused = lv.focusedRow();
    if (focused >= 0) {
        const QModelIndex idx = model()->index(focused, 0);
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::NoUpdate);
        scrollTo(idx);
    } else {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    viewport()->update();
}

int ListViewWidget::rowAtPoint(QPoint p) const {
    // Any column of the row counts (full-row selection), even right of the
    // last one or with the first scrolled out of view.
    const QModelIndex idx = indexAt(QPoint(1, p.y()));
    return idx.isValid() ? idx.row() : topLevelItemCount();
}

QPoint ListViewWidget::modelPoint(int row) const {
    const Control* c = controlModel();
    if (!c) return {};
    const auto [x, y] = Runtime::rowPoint(*c, row);
    return {x, y};
}

void ListViewWidget::mousePressEvent(QMouseEvent* e) {
    Runtime* rt = runtime();
    if (!rt || e->button() != Qt::LeftButton) return;
    const QPoint p = modelPoint(rowAtPoint(e->position().toPoint()));
    rt->userMousePress(ref_, p.x(), p.y(), keyStateOf(e->modifiers()));
}

void ListViewWidget::mouseReleaseEvent(QMouseEvent* e) {
    Runtime* rt = runtime();
    if (!rt || e->button() != Qt::LeftButton) return;
    const QPoint p = modelPoint(rowAtPoint(e->position().toPoint()));
    rt->userMouseRelease(ref_, p.x(), p.y(), keyStateOf(e->modifiers()));
}

// A double click arrives as press, release, double click, release: the press
// has already moved the focus, so the double click only adds the activation.
void ListViewWidget::mouseDoubleClickEvent(QMouseEvent* e) {
    Runtime* rt = runtime();
    if (!rt || e->button() != Qt::LeftButton) return;
    const QPoint p = modelPoint(rowAtPoint(e->position().toPoint()));
    rt->userDoubleClick(ref_, p.x(), p.y(), keyStateOf(e->modifiers()));
}

// No drag selection: the model's selection moves on presses only.
void ListViewWidget::mouseMoveEvent(QMouseEvent*) {}

void ListViewWidget::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab) {
        e->ignore();
        return;
    }
    Runtime* rt = runtime();
    if (!rt) return;
    if (const std::int32_t vk = virtualKeyOf(e->key()))
        rt->userKey(ref_, vk, keyStateOf(e->modifiers()));
    const QString text = e->text();
    if (text.size() == 1 && text[0].unicode() >= 0x20 && text[0].unicode() < 0x7F &&
        (rt = runtime()))
        rt->userCharacter(ref_, text[0].unicode());
}

// userKey delivers press and release together.
void ListViewWidget::keyReleaseEvent(QKeyEvent*) {}

void ListViewWidget::focusInEvent(QFocusEvent* e) {
    // Not the item view's own handler: it would invent a current row.
    QAbstractScrollArea::focusInEvent(e);
    viewport()->update();
    noteFocusIn(e->reason());
}

}  // namespace rt::qt
