#include "tracks/track_list.h"

#include <QHeaderView>
#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QStringList>
#include <filesystem>
#include <system_error>

#include "platform/regular_file.h"
#include "platform/text_codec.h"

namespace tracks {

namespace {
constexpr int kColumns = 8;

QTreeWidgetItem* MakeItem(const TrackRow& row) {
    auto* item = new TrackItem(QStringList{row.Status, row.Title, row.Artist, row.Album,
                                                 row.Year, row.Time, row.Src, row.FileName});
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}
}  // namespace

bool TrackItem::operator<(const QTreeWidgetItem& other) const {
    if (const auto* o = dynamic_cast<const TrackItem*>(&other)) return sortKey < o->sortKey;
    return QTreeWidgetItem::operator<(other);
}

const QString& TrackRow::SubItem(int sub) const {
    switch (sub) {
        case siTitle: return Title;
        case siArtist: return Artist;
        case siAlbum: return Album;
        case siYear: return Year;
        case siTime: return Time;
        case siSrc: return Src;
        default: return FileName;
    }
}

QString& TrackRow::SubItem(int sub) {
    return const_cast<QString&>(static_cast<const TrackRow&>(*this).SubItem(sub));
}

const QString& TrackRow::Column(int column) const { return column <= 0 ? Status : SubItem(column - 1); }

TListView::TListView(const QString& objectName, QWidget* parent) : QTreeWidget(parent) {
    setObjectName(objectName);
    setColumnCount(kColumns);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);  // keeps long lists cheap to lay out
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    header()->setStretchLastSection(true);
}

TrackRow TListView::Row(int i) const {
    TrackRow row;
    if (const QTreeWidgetItem* item = topLevelItem(i)) {
        row.Status = item->text(0);
        for (int sub = 0; sub < 7; ++sub) row.SubItem(sub) = item->text(sub + 1);
    }
    return row;
}

std::vector<TrackRow> TListView::Rows() const {
    std::vector<TrackRow> rows;
    rows.reserve(static_cast<size_t>(Count()));
    for (int i = 0; i < Count(); ++i) rows.push_back(Row(i));
    return rows;
}

QString TListView::Caption(int i) const {
    const QTreeWidgetItem* item = topLevelItem(i);
    return item ? item->text(0) : QString();
}

void TListView::SetCaption(int i, const QString& status) {
    QTreeWidgetItem* item = topLevelItem(i);
    // Writing an unchanged text would still repaint the row.
    if (!item || item->text(0) == status) return;
    item->setText(0, status);
    // The status draws the whole row (struck through when blocked), not only its own cell.
    QRect row = visualItemRect(item);
    if (row.isValid()) {
        row.setLeft(0);
        row.setRight(viewport()->width());
        viewport()->update(row);
    }
}

QString TListView::SubItem(int i, int sub) const {
    const QTreeWidgetItem* item = topLevelItem(i);
    return item && sub >= 0 && sub < 7 ? item->text(sub + 1) : QString();
}

void TListView::SetSubItem(int i, int sub, const QString& text) {
    QTreeWidgetItem* item = topLevelItem(i);
    if (item && sub >= 0 && sub < 7 && item->text(sub + 1) != text) item->setText(sub + 1, text);
}

void TListView::AppendRow(const TrackRow& row) { addTopLevelItem(MakeItem(row)); }

void TListView::AppendRows(const std::vector<TrackRow>& rows) {
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const TrackRow& row : rows) items.append(MakeItem(row));
    addTopLevelItems(items);
}

void TListView::DeleteRow(int i) {
    if (!ValidIndex(i)) return;
    if (selectionModel()->isRowSelected(i, QModelIndex()) || selectionModel()->currentIndex().row() == i) {
        // The view would otherwise select the following row by itself; a deleted selection
        // leaves no row selected.
        const QSignalBlocker quiet(selectionModel());
        selectionModel()->clear();
    }
    delete takeTopLevelItem(i);
}

void TListView::ClearRows() { clear(); }

int TListView::SelectedIndex() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TListView::SelectRow(int i) {
    if (!ValidIndex(i)) {
        selectionModel()->clearSelection();
        return;
    }
    selectionModel()->setCurrentIndex(model()->index(i, 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TListView::ScrollToLast() {
    if (Count() > 0) scrollToItem(topLevelItem(Count() - 1));
}

QString TListView::ColumnCaption(int column) const { return headerItem()->text(column); }

void TListView::SetColumnCaption(int column, const QString& caption) {
    if (column >= 0 && column < kColumns) headerItem()->setText(column, caption);
}

void TListView::enterEvent(QEnterEvent* event) {
    QTreeWidget::enterEvent(event);
    emit PointerEntered();
}

void TListView::leaveEvent(QEvent* event) {
    QTreeWidget::leaveEvent(event);
    emit PointerLeft();
}

void TListView::focusOutEvent(QFocusEvent* event) {
    QTreeWidget::focusOutEvent(event);
    emit FocusLost(event->reason());
}

std::filesystem::path PathOf(const QString& path) { return platform::PathFromU16(path.toStdU16String()); }

bool FileExists(const QString& path) { return platform::IsFileNotFolder(PathOf(path)); }

}  // namespace tracks
