#include "ui/list_presentation.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace ui {

namespace {

constexpr int kStatusColumnWidth = 50;  // also the width of the other short columns

QColor ToolTipBackground() { return QToolTip::palette().color(QPalette::ToolTipBase); }

}  // namespace

void ApplyListLook(TListView* list, ListKind kind, const platform::DisplayTexts* texts) {
    QPalette pal = list->palette();
    switch (kind) {
        case ListKind::Queue: break;
        case ListKind::GuestRequests: pal.setColor(QPalette::Base, kLightGreen); break;
        case ListKind::GuestPool: pal.setColor(QPalette::Base, ToolTipBackground()); break;
        case ListKind::Presets: pal.setColor(QPalette::Base, kSkyBlue); break;
    }
    list->setPalette(pal);

    for (int c = 0; c < 7; ++c) list->setColumnWidth(c, (c == 1 || c == 2) ? 100 : kStatusColumnWidth);
    if (kind == ListKind::GuestRequests) {
        list->setColumnHidden(4, true);  // Year
        list->setColumnHidden(5, true);  // Time
    }
    list->header()->setSectionsClickable(kind == ListKind::GuestPool || kind == ListKind::Presets);
    list->setItemDelegate(new ListDelegate(kind, texts, list));
}

void FitColumns(TListView* list, const QStringList& words) {
    QFont bold = list->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    int text = 0;
    for (const QString& word : words) text = std::max(text, metrics.horizontalAdvance(word));
    // A cell's text keeps the focus frame's margin on both sides, and a pixel for rounding.
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    const int last = list->header()->count() - 1;  // the file column takes what is left
    for (int c = 0; c < last; ++c) {
        if (list->isColumnHidden(c)) continue;
        int need = list->header()->sectionSizeHint(c);
        if (c == 0) need = std::max(need, text + 2 * margin + 1);
        if (list->columnWidth(c) < need) list->setColumnWidth(c, need);
    }
}

ListDelegate::ListDelegate(ListKind kind, const platform::DisplayTexts* texts, QObject* parent)
    : QStyledItemDelegate(parent), kind_(kind), texts_(texts) {}

QString ListDelegate::Word(const char16_t* key) const {
    return texts_ ? QString::fromStdU16String(texts_->Get(key)) : QString();
}

ListDelegate::RowLook ListDelegate::LookOf(int row, const QString& status) const {
    RowLook look;
    switch (kind_) {
        case ListKind::Queue:
            if (!marks_.active) break;
            if (row == marks_.current) {
                look = {true, kRed, kLightGreen, true, false, Word(u"st_running")};
            } else if (row == marks_.next) {
                look = {true, kBlue, ToolTipBackground(), false, false, Word(u"st_next")};
            }
            break;
        case ListKind::GuestPool:
            if (status == Word(u"st_blocked")) look = {true, kDarkRed, {}, false, true, {}};
            if (status == Word(u"st_chosen")) {
                look.marked = true;
                look.text = kTeal;
            }
            break;
        case ListKind::Presets:
            if (status == Word(u"st_blocked")) look = {true, kDarkRed, {}, false, true, {}};
            break;
        case ListKind::GuestRequests: break;
    }
    return look;
}

void ListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    if (kind_ == ListKind::GuestRequests || (kind_ == ListKind::Queue && !marks_.active)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QString status = index.column() == 0 ? opt.text : index.siblingAtColumn(0).data().toString();
    const RowLook look = LookOf(index.row(), status);
    if (look.marked) {
        opt.palette.setColor(QPalette::Text, look.text);
        if (look.background.isValid()) opt.backgroundBrush = look.background;
        opt.font.setBold(look.bold);
        opt.font.setStrikeOut(look.struck);
        if (index.column() == 0 && !look.status.isNull()) opt.text = look.status;
    }
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}

ListDelegate* DelegateOf(const TListView* list) {
    return list ? qobject_cast<ListDelegate*>(list->itemDelegate()) : nullptr;
}

}  // namespace ui
