// The model and the view of a track list.
#include "ui/track_list_view.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalBlocker>

namespace ui {

using tracks::TrackList;

namespace {
const QStringList kNoCaptions(tracks::kColumns, QString());
}  // namespace

TrackListModel::TrackListModel(TrackList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list), captions_(kNoCaptions) {
    connect(&list, &TrackList::RowsAboutToBeInserted, this,
            [this](int first, int last) { beginInsertRows(QModelIndex(), first, last); });
    connect(&list, &TrackList::RowsInserted, this, [this] { endInsertRows(); });
    connect(&list, &TrackList::RowsAboutToBeRemoved, this,
            [this](int first, int last) { beginRemoveRows(QModelIndex(), first, last); });
    connect(&list, &TrackList::RowsRemoved, this, [this] { endRemoveRows(); });
    // The status draws the whole row (struck through when blocked), not only its own cell.
    connect(&list, &TrackList::RowsChanged, this, [this](int first, int last) {
        emit dataChanged(index(first, 0), index(last, tracks::kColumns - 1));
    });
    connect(&list, &TrackList::AboutToReorder, this, [this] { emit layoutAboutToBeChanged(); });
    connect(&list, &TrackList::Reordered, this, [this](const std::vector<int>& order) {
        // Selection and current row move with their rows.
        std::vector<int> newRowOf(order.size());
        for (size_t k = 0; k < order.size(); ++k) newRowOf[static_cast<size_t>(order[k])] = static_cast<int>(k);
        const QModelIndexList before = persistentIndexList();
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& i : before) after << index(newRowOf[static_cast<size_t>(i.row())], i.column());
        changePersistentIndexList(before, after);
        emit layoutChanged();
    });
}

int TrackListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : list_.Count(); }

int TrackListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : tracks::kColumns; }

QVariant TrackListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::ToolTipRole && tip_) {
        const QString tip = tip_(list_.Row(index.row()));
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    if (role != Qt::DisplayRole) return {};
    return list_.Row(index.row()).Column(index.column());
}

QVariant TrackListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= tracks::kColumns) return {};
    return captions_[section];
}

Qt::ItemFlags TrackListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QString TrackListModel::ColumnCaption(int column) const {
    return column >= 0 && column < tracks::kColumns ? captions_[column] : QString();
}

void TrackListModel::SetColumnCaption(int column, const QString& caption) {
    if (column < 0 || column >= tracks::kColumns || captions_[column] == caption) return;
    captions_[column] = caption;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

TListView::TListView(const QString& objectName, QWidget* parent)
    : TListView(objectName, *new TrackList(objectName), parent) {
    list_.setParent(this);
}

TListView::TListView(const QString& objectName, TrackList& list, QWidget* parent) : QTreeView(parent), list_(list) {
    setObjectName(objectName);
    // Before the model's own connection: a removed selection must be gone before the view
    // picks the following row by itself.
    connect(&list, &TrackList::RowsAboutToBeRemoved, this, &TListView::BeforeRowsRemoved);
    connect(&list, &TrackList::RowsRemoved, this, [this] { syncing_ = false; });
    model_ = new TrackListModel(list, this);
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);  // keeps long lists cheap to lay out
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    header()->setStretchLastSection(true);

    connect(&list, &TrackList::SelectionChanged, this, [this](int, int row) { FollowListSelection(row); });
    connect(&list, &TrackList::LastRowWanted, this, [this] {
        if (list_.Count() > 0) scrollTo(model_->index(list_.Count() - 1, 0));
    });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (syncing_) return;
        const QModelIndexList rows = selectionModel()->selectedRows();
        syncing_ = true;
        list_.SelectRow(rows.isEmpty() ? -1 : rows.first().row());
        syncing_ = false;
    });
}

void TListView::FollowListSelection(int row) {
    if (syncing_) return;
    syncing_ = true;
    if (row < 0)
        selectionModel()->clearSelection();
    else
        selectionModel()->setCurrentIndex(model_->index(row, 0),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    syncing_ = false;
}

void TListView::BeforeRowsRemoved(int first, int last) {
    syncing_ = true;  // until the rows are gone: the list has settled its selection itself
    const int selected = list_.SelectedIndex(), current = currentIndex().row();
    const auto within = [&](int row) { return row >= first && row <= last; };
    if (within(selected) || within(current)) {
        const QSignalBlocker quiet(selectionModel());
        selectionModel()->clear();
    }
}

void TListView::enterEvent(QEnterEvent* event) {
    QTreeView::enterEvent(event);
    emit PointerEntered();
}

void TListView::leaveEvent(QEvent* event) {
    QTreeView::leaveEvent(event);
    emit PointerLeft();
}

void TListView::focusOutEvent(QFocusEvent* event) {
    QTreeView::focusOutEvent(event);
    emit FocusLost(event->reason());
}

}  // namespace ui
