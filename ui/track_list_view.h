#pragma once
// A track list on the screen: a table model over tracks::TrackList and the report view that
// shows it. The view keeps no rows; its selection follows the list's and the list's the user's.
#include <QAbstractTableModel>
#include <QStringList>
#include <QTreeView>
#include <functional>

#include "tracks/track_list.h"

namespace ui {

class TrackListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TrackListModel(tracks::TrackList& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QString ColumnCaption(int column) const;
    void SetColumnCaption(int column, const QString& caption);
    // A row's tooltip, asked for as the pointer rests on it (empty: none).
    void SetToolTips(std::function<QString(const tracks::TrackRow&)> tip) { tip_ = std::move(tip); }

private:
    tracks::TrackList& list_;
    std::function<QString(const tracks::TrackRow&)> tip_;
    QStringList captions_;
};

class TListView : public QTreeView {
    Q_OBJECT
public:
    // Shows `list`, which must outlive the view; without one the view keeps a list of its own.
    TListView(const QString& objectName, tracks::TrackList& list, QWidget* parent = nullptr);
    explicit TListView(const QString& objectName, QWidget* parent = nullptr);

    tracks::TrackList& List() const { return list_; }
    TrackListModel* Model() const { return model_; }

    // Column header captions, 0 Status .. 7 File.
    QString ColumnCaption(int column) const { return model_->ColumnCaption(column); }
    void SetColumnCaption(int column, const QString& caption) { model_->SetColumnCaption(column, caption); }

    // The rows, as the list holds them.
    int Count() const { return list_.Count(); }
    const tracks::TrackRow& Row(int i) const { return list_.Row(i); }
    QString Caption(int i) const { return list_.Caption(i); }
    QString SubItem(int i, int sub) const { return list_.SubItem(i, sub); }
    const std::vector<tracks::TrackRow>& Rows() const { return list_.Rows(); }
    bool ValidIndex(int i) const { return list_.ValidIndex(i); }
    int SelectedIndex() const { return list_.SelectedIndex(); }
    void SelectRow(int i) { list_.SelectRow(i); }
    void SetCaption(int i, const QString& status) { list_.SetCaption(i, status); }
    void SetSubItem(int i, int sub, const QString& text) { list_.SetSubItem(i, sub, text); }
    void AppendRow(const tracks::TrackRow& row) { list_.AppendRow(row); }
    void AppendRows(const std::vector<tracks::TrackRow>& rows) { list_.AppendRows(rows); }
    void DeleteRow(int i) { list_.DeleteRow(i); }
    void ClearRows() { list_.ClearRows(); }
    void ScrollToLast() { list_.ScrollToLast(); }

signals:
    void PointerEntered();
    void PointerLeft();
    void FocusLost(Qt::FocusReason reason);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void FollowListSelection(int row);
    void BeforeRowsRemoved(int first, int last);

    tracks::TrackList& list_;
    TrackListModel* model_ = nullptr;
    bool syncing_ = false;  // the selection is being brought in line: no echo back
};

}  // namespace ui

namespace tracks {
// The view keeps the name the lists have always had in this namespace.
using TListView = ui::TListView;
}  // namespace tracks
