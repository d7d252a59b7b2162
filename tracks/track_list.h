#pragma once
// A track list: rows of one shape shown as a report table. The rows are the data.
#include <QString>
#include <QTreeWidget>
#include <filesystem>
#include <vector>

namespace tracks {

// Column 0 is the Status caption; sub-items 0..6 are the columns 1..7.
enum SubItem { siTitle = 0, siArtist, siAlbum, siYear, siTime, siSrc, siFileName };

struct TrackRow {
    QString Status, Title, Artist, Album, Year, Time, Src, FileName;

    const QString& SubItem(int sub) const;  // 0..6
    QString& SubItem(int sub);
    const QString& Column(int column) const;  // 0 Status, 1..7 sub-items
    bool operator==(const TrackRow&) const = default;
};

// The item behind one row. A sort fills sortKey first, so comparing rows costs no text lookups.
class TrackItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    QString sortKey;
    bool operator<(const QTreeWidgetItem& other) const override;
};

class TListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TListView(const QString& objectName, QWidget* parent = nullptr);

    int Count() const { return topLevelItemCount(); }
    TrackRow Row(int i) const;
    std::vector<TrackRow> Rows() const;
    QString Caption(int i) const;
    void SetCaption(int i, const QString& status);
    QString SubItem(int i, int sub) const;
    void SetSubItem(int i, int sub, const QString& text);
    bool ValidIndex(int i) const { return i >= 0 && i < Count(); }

    void AppendRow(const TrackRow& row);
    void AppendRows(const std::vector<TrackRow>& rows);
    void DeleteRow(int i);
    void ClearRows();

    int SelectedIndex() const;  // -1 when no row is selected
    void SelectRow(int i);      // -1 or an index naming no row clears the selection
    void ScrollToLast();

    // Column header captions, 0 Status .. 7 File.
    QString ColumnCaption(int column) const;
    void SetColumnCaption(int column, const QString& caption);

signals:
    void PointerEntered();
    void PointerLeft();
    void FocusLost(Qt::FocusReason reason);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

// Rows are files on disk; a folder is not a playable file.
bool FileExists(const QString& path);

// A row's FileName as a file-system path (the one conversion between the two).
std::filesystem::path PathOf(const QString& path);

}  // namespace tracks
