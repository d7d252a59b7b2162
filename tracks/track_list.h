#pragma once
// A track list: rows of one shape, the selected row, and signals that tell every change. The
// rows are the data; views show them through a model and never hold tracks of their own.
#include <QObject>
#include <QSet>
#include <QString>
#include <filesystem>
#include <vector>

namespace tracks {

// Column 0 is the Status caption; sub-items 0..6 are the columns 1..7.
enum SubItem { siTitle = 0, siArtist, siAlbum, siYear, siTime, siSrc, siFileName };

constexpr int kColumns = 8;

struct TrackRow {
    QString Status, Title, Artist, Album, Year, Time, Src, FileName;

    const QString& SubItem(int sub) const;  // 0..6
    QString& SubItem(int sub);
    const QString& Column(int column) const;  // 0 Status, 1..7 sub-items
    bool operator==(const TrackRow&) const = default;
};

class TrackList : public QObject {
    Q_OBJECT
public:
    explicit TrackList(const QString& name = QString(), QObject* parent = nullptr);

    int Count() const { return static_cast<int>(rows_.size()); }
    bool ValidIndex(int i) const { return i >= 0 && i < Count(); }
    // A row that does not exist reads empty.
    const TrackRow& Row(int i) const;
    const std::vector<TrackRow>& Rows() const { return rows_; }
    QString Caption(int i) const { return Row(i).Status; }
    QString SubItem(int i, int sub) const;
    void SetCaption(int i, const QString& status);
    // Every row's caption at once, one change for the whole list; `captions` has a word per row.
    void SetCaptions(const std::vector<QString>& captions);
    void SetSubItem(int i, int sub, const QString& text);

    void AppendRow(const TrackRow& row);
    void AppendRows(const std::vector<TrackRow>& rows);
    void DeleteRow(int i);
    void ClearRows();
    // Puts the rows in a new order: row k of the result is the row that stood at order[k]. The
    // selected row stays selected.
    void Reorder(const std::vector<int>& order);

    // Whether a row holds this path; a set kept current, as a batch of a thousand files asks once
    // per file.
    bool HoldsFile(const QString& path) const;

    int SelectedIndex() const { return selected_; }
    void SelectRow(int i);  // -1 or an index naming no row clears the selection
    // Asks the views to bring the last row into sight.
    void ScrollToLast();

signals:
    void RowsAboutToBeInserted(int first, int last);
    void RowsInserted(int first, int last);
    void RowsAboutToBeRemoved(int first, int last);
    void RowsRemoved(int first, int last);
    void RowsChanged(int first, int last);
    void AboutToReorder();
    void Reordered(const std::vector<int>& order);
    // The selection moved by a command (not because its row was deleted or moved).
    void SelectionChanged(int previous, int current);
    void LastRowWanted();
    // After any change of the rows: added, removed, reordered or rewritten.
    void Changed();

private:
    void Insert(std::vector<TrackRow> rows);

    std::vector<TrackRow> rows_;
    int selected_ = -1;
    mutable QSet<QString> files_;
    mutable bool filesStale_ = true;
};

// Rows are files on disk; a folder is not a playable file.
bool FileExists(const QString& path);

// A row's FileName as a file-system path (the one conversion between the two).
std::filesystem::path PathOf(const QString& path);

}  // namespace tracks
