#include "app/qt/schedule_views.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "app/qt/grid_window.h"
#include "app/qt/programme_details.h"
#include "app/schedule/catalogue_place.h"
#include "app/window/main_window.h"
#include "runtime/backend/qt/qt_text.h"
#include "runtime/values/gbk.h"
#include "runtime/window/controls/list_view.h"

namespace app::qtui {

namespace {

using rt::qt::toQString;

const QStringList kWeekdays = {"星期一", "星期二", "星期三", "星期四",
                               "星期五", "星期六", "星期日"};

QTreeWidget* table(QWidget* parent, const QStringList& columns) {
    auto* t = new QTreeWidget(parent);
    t->setColumnCount(static_cast<int>(columns.size()));
    t->setHeaderLabels(columns);
    t->setRootIsDecorated(false);
    t->setAlternatingRowColors(true);
    t->header()->setStretchLastSection(true);
    return t;
}

QDialog* window(QWidget* parent, const QString& title, QSize size) {
    auto* d = new QDialog(parent);
    d->setWindowTitle(title);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->resize(size);
    new QVBoxLayout(d);
    return d;
}

QString clockOf(const base::Zone& zone, std::int64_t instant) {
    const base::LocalTime t = base::toLocal(instant, zone);
    return QStringLiteral("%1-%2 %3:%4")
        .arg(t.date.month, 2, 10, QChar('0'))
        .arg(t.date.day, 2, 10, QChar('0'))
        .arg(t.hour, 2, 10, QChar('0'))
        .arg(t.minute, 2, 10, QChar('0'));
}

}  // namespace

ScheduleViews::ScheduleViews(rt::QtBackend& backend, GuideProgram& program)
    : backend_(backend), program_(program), schedule_(*program.schedule()) {
    qApp->installEventFilter(this);
    if (QWidget* w = window()) {
        const auto shortcut = [&](const char* keys, auto slot) {
            auto* s = new QShortcut(QKeySequence(keys), w);
            s->setContext(Qt::WindowShortcut);
            connect(s, &QShortcut::activated, this, slot);
        };
        shortcut("Ctrl+F", [this] { showSearch(); });
        shortcut("Ctrl+N", [this] { showNowNext(); });
        shortcut("Ctrl+R", [this] { showReminders(); });
        shortcut("Ctrl+G", [this] { showGrid(); });
        shortcut("Ctrl+I", [this] { showRowDetails(); });
    }
    schedule_.onChanged = [this] { refresh(); };
}

ScheduleViews::~ScheduleViews() {
    schedule_.onChanged = nullptr;
}

QWidget* ScheduleViews::window() const {
    return backend_.window(ui::kMainWindowId);
}

int ScheduleViews::groupOf(QObject* watched) const {
    const Guide& guide = program_.guide();
    for (int g = 0; g < guide.menuGroupCount(); ++g) {
        auto* list = qobject_cast<QTreeWidget*>(backend_.widget(guide.groupList(g)));
        if (list && (watched == list || watched == list->viewport())) return g;
    }
    return -1;
}

bool ScheduleViews::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ContextMenu && event->type() != QEvent::ToolTip) return false;
    auto* program = qobject_cast<QTreeWidget*>(backend_.widget(ui::kProgramList));
    const int group = groupOf(watched);
    const bool onProgramme = program && watched == program->viewport();
    if (group < 0 && !onProgramme) return false;
    auto* list =
        onProgramme
            ? program
            : qobject_cast<QTreeWidget*>(backend_.widget(program_.guide().groupList(group)));
    const QPoint at = event->type() == QEvent::ContextMenu
                          ? static_cast<QContextMenuEvent*>(event)->pos()
                          : static_cast<QHelpEvent*>(event)->pos();
    const QPoint global = event->type() == QEvent::ContextMenu
                              ? static_cast<QContextMenuEvent*>(event)->globalPos()
                              : static_cast<QHelpEvent*>(event)->globalPos();
    QTreeWidgetItem* item = list->itemAt(at);
    const int row = item ? list->indexOfTopLevelItem(item) : -1;
    if (event->type() == QEvent::ToolTip) {
        if (onProgramme || row < 0) return false;
        const catalogue::Group* g = program_.guide().menuGroup(group);
        const auto shown = g ? schedule_.nowNext(*g) : std::vector<schedule::NowNext>{};
        if (static_cast<std::size_t>(row) >= shown.size() || shown[row].now.empty()) return false;
        QToolTip::showText(global,
                           QStringLiteral("正在播出: %1\n下一个: %2")
                               .arg(toQString(shown[row].now), toQString(shown[row].next)),
                           list);
        return true;
    }
    QMenu* menu = onProgramme ? programmeMenu(row) : channelMenu(group, row);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(global);
    return true;
}

QMenu* ScheduleViews::channelMenu(int group, int row) {
    auto* menu = new QMenu(window());
    const catalogue::Group* g = program_.guide().menuGroup(group);
    if (g && row >= 0 && static_cast<std::size_t>(row) < g->rows.size()) {
        const std::string path(g->rows[static_cast<std::size_t>(row)].path);
        const bool favourite = program_.guide().favourites().contains(path);
        menu->addAction(
            favourite ? QStringLiteral("从我的收藏移除") : QStringLiteral("加入我的收藏"), this,
            [this, path] { program_.toggleFavourite(path); });
        menu->addSeparator();
    }
    menu->addAction(QStringLiteral("正在播出…"), QKeySequence("Ctrl+N"), this,
                    [this] { showNowNext(); });
    menu->addAction(QStringLiteral("节目总览…"), QKeySequence("Ctrl+G"), this,
                    [this] { showGrid(); });
    menu->addAction(QStringLiteral("搜索节目…"), QKeySequence("Ctrl+F"), this,
                    [this] { showSearch(); });
    return menu;
}

QMenu* ScheduleViews::programmeMenu(int row) {
    auto* menu = new QMenu(window());
    const auto& programmes = program_.guide().shownDay().programmes;
    if (row >= 0 && static_cast<std::size_t>(row) < programmes.size()) {
        const schedule::Programme& p = programmes[static_cast<std::size_t>(row)];
        const auto& all = schedule_.reminders();
        const auto set = std::find_if(all.begin(), all.end(), [&](const schedule::Reminder& r) {
            return p.start && r.channel == p.channel && r.start == *p.start;
        });
        if (set != all.end()) {
            // Checked while it waits; unchecking it takes the reminder back.
            QAction* remind = menu->addAction(
                QStringLiteral("%1: %2").arg(
                    set->notified ? QStringLiteral("已提醒") : QStringLiteral("提醒我"),
                    toQString(p.title)),
                this, [this, kept = *set] { schedule_.forget(kept); });
            remind->setCheckable(true);
            remind->setChecked(true);
        } else {
            QAction* remind = menu->addAction(QStringLiteral("提醒我: %1").arg(toQString(p.title)),
                                              this, [this, row] {
                                                  program_.remindRow(row);
                                                  showReminders();
                                              });
            // A programme that has started can no longer be waited for.
            remind->setEnabled(p.start && *p.start > schedule_.now());
        }
        menu->addAction(QStringLiteral("节目详情…"), QKeySequence("Ctrl+I"), this,
                        [this, row] { showRowDetails(row); });
        menu->addSeparator();
    }
    menu->addAction(QStringLiteral("节目总览…"), QKeySequence("Ctrl+G"), this,
                    [this] { showGrid(); });
    menu->addAction(QStringLiteral("节目提醒…"), QKeySequence("Ctrl+R"), this,
                    [this] { showReminders(); });
    menu->addAction(QStringLiteral("搜索节目…"), QKeySequence("Ctrl+F"), this,
                    [this] { showSearch(); });
    return menu;
}

QDialog* ScheduleViews::showNowNext() {
    if (!nowNext_) {
        nowNext_ = qtui::window(window(), QStringLiteral("正在播出"), {560, 420});
        nowNextRows_ = table(nowNext_, {QStringLiteral("频道"), QStringLiteral("正在播出"),
                                        QStringLiteral("下一个")});
        nowNext_->layout()->addWidget(nowNextRows_);
        // Titles share what the channel names leave, elided, so that 下一个
        // stays on screen however long the programme on air is called.
        nowNextRows_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
        nowNextRows_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
        nowNextRows_->header()->setSectionResizeMode(2, QHeaderView::Stretch);
        connect(nowNextRows_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
            program_.openChannel(program_.guide().openGroup(program_.runtime()),
                                 nowNextRows_->indexOfTopLevelItem(item));
        });
    }
    refresh();
    nowNext_->show();
    nowNext_->raise();
    return nowNext_;
}

QDialog* ScheduleViews::showSearch(const QString& text) {
    if (!search_) {
        search_ = qtui::window(window(), QStringLiteral("搜索节目"), {600, 440});
        auto* line = new QHBoxLayout;
        searchText_ = new QLineEdit(search_);
        searchText_->setPlaceholderText(QStringLiteral("节目名称的一部分，例如 新闻"));
        auto* go = new QPushButton(QStringLiteral("搜索"), search_);
        line->addWidget(searchText_);
        line->addWidget(go);
        static_cast<QVBoxLayout*>(search_->layout())->addLayout(line);
        searchState_ = new QLabel(search_);
        search_->layout()->addWidget(searchState_);
        results_ = table(search_, {QStringLiteral("频道"), QStringLiteral("星期"),
                                   QStringLiteral("时间"), QStringLiteral("节目")});
        search_->layout()->addWidget(results_);
        const auto run = [this] {
            schedule_.search(rt::qt::fromQString(searchText_->text().trimmed()));
        };
        connect(go, &QPushButton::clicked, this, run);
        connect(searchText_, &QLineEdit::returnPressed, this, run);
        connect(results_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
            const int i = results_->indexOfTopLevelItem(item);
            const auto& hits = schedule_.results();
            if (i >= 0 && static_cast<std::size_t>(i) < hits.size())
                program_.openResult(hits[static_cast<std::size_t>(i)]);
        });
    }
    if (!text.isEmpty()) {
        searchText_->setText(text);
        schedule_.search(rt::qt::fromQString(text));
    }
    refresh();
    search_->show();
    search_->raise();
    searchText_->setFocus();
    return search_;
}

QDialog* ScheduleViews::showReminders() {
    if (!reminders_) {
        reminders_ = qtui::window(window(), QStringLiteral("节目提醒"), {520, 320});
        reminderRows_ = table(reminders_, {QStringLiteral("时间"), QStringLiteral("频道"),
                                           QStringLiteral("节目"), QStringLiteral("状态")});
        reminderRows_->header()->setStretchLastSection(false);
        reminderRows_->header()->setSectionResizeMode(2, QHeaderView::Stretch);
        reminders_->layout()->addWidget(reminderRows_);
        auto* forget = new QPushButton(QStringLiteral("取消所选提醒"), reminders_);
        reminders_->layout()->addWidget(forget);
        connect(forget, &QPushButton::clicked, this, [this] {
            const int i = reminderRows_->indexOfTopLevelItem(reminderRows_->currentItem());
            const auto& all = schedule_.reminders();
            if (i >= 0 && static_cast<std::size_t>(i) < all.size())
                schedule_.forget(all[static_cast<std::size_t>(i)]);
        });
    }
    refresh();
    reminders_->show();
    reminders_->raise();
    return reminders_;
}

GridWindow* ScheduleViews::showGrid() {
    const int open = program_.guide().openGroup(program_.runtime());
    if (open < 0) return nullptr;
    if (!grid_) {
        grid_ = new GridWindow(program_, window());
        grid_->setAttribute(Qt::WA_DeleteOnClose);
        grid_->onDetails = [this](const schedule::GridBlock& block, const rt::Text& channel) {
            showDetails(block, channel);
        };
    }
    grid_->showGroupDay(open, program_.shownDayNumber());
    grid_->show();
    grid_->raise();
    grid_->activateWindow();
    return grid_;
}

QDialog* ScheduleViews::showRowDetails(int row) {
    if (row < 0) {
        const rt::Control* c = program_.runtime().control(ui::kProgramList);
        const auto* list = c ? c->as<rt::ListView>() : nullptr;
        if (!list) return nullptr;
        row = list->currentRow() >= 0 ? list->currentRow() : list->markedRow();
    }
    const auto block = program_.programmeOfRow(row);
    if (!block) return nullptr;
    const auto place = schedule::findInCatalogue(block->programme.channel);
    return showDetails(*block, place ? place->channel->name : rt::Text{});
}

QDialog* ScheduleViews::showDetails(const schedule::GridBlock& block, const rt::Text& channel) {
    // One at a time: the newest choice replaces the one before.
    if (details_) details_->close();
    QWidget* parent = grid_ && grid_->isActiveWindow() ? static_cast<QWidget*>(grid_) : window();
    details_ =
        showProgrammeDetails(parent, programmeDetails(block, channel, program_.guide().zone()));
    return details_;
}

void ScheduleViews::refresh() {
    if (grid_) grid_->refreshSoon();
    const Guide& guide = program_.guide();
    if (nowNext_) {
        nowNextRows_->clear();
        const int open = guide.openGroup(program_.runtime());
        if (const catalogue::Group* g = guide.menuGroup(open)) {
            nowNext_->setWindowTitle(QStringLiteral("正在播出 - %1").arg(toQString(g->title)));
            const auto shown = schedule_.nowNext(*g);
            for (std::size_t r = 0; r < g->rows.size() && r < shown.size(); ++r) {
                auto* item =
                    new QTreeWidgetItem({toQString(g->rows[r].name), toQString(shown[r].now),
                                         toQString(shown[r].next)});
                for (int c = 1; c < 3; ++c) item->setToolTip(c, item->text(c));  // when elided
                nowNextRows_->addTopLevelItem(item);
            }
        }
    }
    if (search_) {
        const auto& hits = schedule_.results();
        if (schedule_.searching())
            searchState_->setText(
                QStringLiteral("正在读取本周节目表 (已有 %1 页)…").arg(schedule_.pagesHeld()));
        else if (!schedule_.searchText().empty())
            searchState_->setText(
                QStringLiteral("本周共找到 %1 个节目，双击打开").arg(hits.size()));
        const QString shownFor = toQString(schedule_.searchText()) + QString::number(hits.size());
        if (!schedule_.searching() && shownFor != shownSearch_) {
            shownSearch_ = shownFor;
            results_->clear();
            QList<QTreeWidgetItem*> items;
            for (const schedule::SearchHit& hit : hits)
                items.push_back(
                    new QTreeWidgetItem({toQString(hit.channel), kWeekdays.value(hit.day - 1),
                                         toQString(hit.time), toQString(hit.title)}));
            results_->addTopLevelItems(items);
            results_->resizeColumnToContents(0);
        }
    }
    if (reminders_) {
        reminderRows_->clear();
        for (const schedule::Reminder& r : schedule_.reminders()) {
            const auto place = schedule::findInCatalogue(r.channel);
            auto* item = new QTreeWidgetItem(
                {clockOf(guide.zone(), r.start),
                 place ? toQString(place->channel->name) : QString(), toQString(r.title),
                 r.notified ? QStringLiteral("已提醒") : QStringLiteral("待提醒")});
            // One already shown stays listed until its programme starts; greyed.
            if (r.notified)
                for (int c = 0; c < item->columnCount(); ++c)
                    item->setForeground(
                        c, reminderRows_->palette().brush(QPalette::Disabled, QPalette::Text));
            reminderRows_->addTopLevelItem(item);
        }
        reminderRows_->resizeColumnToContents(1);
    }
}

}  // namespace app::qtui
