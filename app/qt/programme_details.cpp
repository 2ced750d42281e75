#include "app/qt/programme_details.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "runtime/backend/qt/qt_text.h"

namespace app::qtui {

namespace {

QString clock(const base::LocalTime& t) {
    return QStringLiteral("%1:%2").arg(t.hour, 2, 10, QChar('0')).arg(t.minute, 2, 10, QChar('0'));
}

QLabel* value(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    // Feed text, never markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setObjectName(QStringLiteral("value"));
    return label;
}

}  // namespace

ProgrammeDetails programmeDetails(const schedule::GridBlock& block, const rt::Text& channel,
                                  const base::Zone& zone) {
    static const QStringList kWeekdays = {"星期一", "星期二", "星期三", "星期四",
                                          "星期五", "星期六", "星期日"};
    ProgrammeDetails d;
    d.channel = rt::qt::toQString(channel).trimmed();
    d.title = rt::qt::toQString(block.programme.title);
    d.description = rt::qt::toQString(block.programme.description).trimmed();
    d.category = rt::qt::toQString(block.programme.category).trimmed();
    if (!block.programme.start) {
        d.time = rt::qt::toQString(block.programme.time).trimmed();
        return d;
    }
    const base::LocalTime start = base::toLocal(block.start, zone);
    d.day = QStringLiteral("%1月%2日 %3")
                .arg(start.date.month)
                .arg(start.date.day)
                .arg(kWeekdays.value(base::isoWeekday(start.date) - 1));
    d.time = clock(start);
    if (block.end > block.start) {
        const base::LocalTime end = base::toLocal(block.end, zone);
        d.time += QStringLiteral("–") + clock(end);
        if (end.date != start.date) d.time += QStringLiteral(" (次日)");
    }
    return d;
}

QDialog* showProgrammeDetails(QWidget* parent, const ProgrammeDetails& details) {
    auto* d = new QDialog(parent);
    d->setWindowTitle(QStringLiteral("节目详情 - %1").arg(details.title));
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->resize(460, 340);
    auto* layout = new QVBoxLayout(d);
    auto* title = value(details.title, d);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    title->setFont(big);
    layout->addWidget(title);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("频道:"), value(details.channel, d));
    form->addRow(QStringLiteral("日期:"), value(details.day, d));
    form->addRow(QStringLiteral("时间:"), value(details.time, d));
    if (!details.category.isEmpty())
        form->addRow(QStringLiteral("类别:"), value(details.category, d));
    layout->addLayout(form);
    auto* description = new QTextBrowser(d);
    description->setPlainText(details.description.isEmpty()
                                  ? QStringLiteral("节目服务器没有提供这个节目的简介。")
                                  : details.description);
    layout->addWidget(description, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, d);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, d, &QDialog::reject);
    layout->addWidget(buttons);
    d->show();
    d->raise();
    return d;
}

}  // namespace app::qtui
