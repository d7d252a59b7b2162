#include "tracks/track_list.h"

#include <algorithm>

#include "platform/regular_file.h"
#include "platform/text_codec.h"

namespace tracks {

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

TrackList::TrackList(const QString& name, QObject* parent) : QObject(parent) { setObjectName(name); }

const TrackRow& TrackList::Row(int i) const {
    static const TrackRow none;
    return ValidIndex(i) ? rows_[static_cast<size_t>(i)] : none;
}

QString TrackList::SubItem(int i, int sub) const {
    return ValidIndex(i) && sub >= 0 && sub < 7 ? rows_[static_cast<size_t>(i)].SubItem(sub) : QString();
}

void TrackList::SetCaption(int i, const QString& status) {
    // Writing an unchanged text would still redraw the row.
    if (!ValidIndex(i) || rows_[static_cast<size_t>(i)].Status == status) return;
    rows_[static_cast<size_t>(i)].Status = status;
    emit RowsChanged(i, i);
    emit Changed();
}

void TrackList::SetCaptions(const std::vector<QString>& captions) {
    int first = -1, last = -1;
    const int n = std::min(Count(), static_cast<int>(captions.size()));
    for (int i = 0; i < n; ++i) {
        QString& status = rows_[static_cast<size_t>(i)].Status;
        if (status == captions[static_cast<size_t>(i)]) continue;
        status = captions[static_cast<size_t>(i)];
        if (first < 0) first = i;
        last = i;
    }
    if (first < 0) return;
    emit RowsChanged(first, last);
    emit Changed();
}

void TrackList::SetSubItem(int i, int sub, const QString& text) {
    if (!ValidIndex(i) || sub < 0 || sub > 6 || rows_[static_cast<size_t>(i)].SubItem(sub) == text) return;
    rows_[static_cast<size_t>(i)].SubItem(sub) = text;
    if (sub == siFileName) filesStale_ = true;
    emit RowsChanged(i, i);
    emit Changed();
}

void TrackList::Insert(std::vector<TrackRow> rows) {
    if (rows.empty()) return;
    const int first = Count(), last = first + static_cast<int>(rows.size()) - 1;
    emit RowsAboutToBeInserted(first, last);
    rows_.reserve(rows_.size() + rows.size());
    for (TrackRow& r : rows) {
        if (!filesStale_) files_.insert(r.FileName);
        rows_.push_back(std::move(r));
    }
    emit RowsInserted(first, last);
    emit Changed();
}

void TrackList::AppendRow(const TrackRow& row) { Insert({row}); }

void TrackList::AppendRows(const std::vector<TrackRow>& rows) { Insert(rows); }

void TrackList::DeleteRow(int i) {
    if (!ValidIndex(i)) return;
    emit RowsAboutToBeRemoved(i, i);
    rows_.erase(rows_.begin() + i);
    filesStale_ = true;
    // A deleted selection leaves no row selected; a row below it moves up with its selection.
    if (selected_ == i)
        selected_ = -1;
    else if (selected_ > i)
        --selected_;
    emit RowsRemoved(i, i);
    emit Changed();
}

void TrackList::ClearRows() {
    if (rows_.empty()) return;
    const int last = Count() - 1;
    emit RowsAboutToBeRemoved(0, last);
    rows_.clear();
    files_.clear();
    filesStale_ = false;
    selected_ = -1;
    emit RowsRemoved(0, last);
    emit Changed();
}

void TrackList::Reorder(const std::vector<int>& order) {
    if (order.size() != rows_.size()) return;
    emit AboutToReorder();
    std::vector<TrackRow> rows;
    rows.reserve(rows_.size());
    int selected = -1;
    for (size_t k = 0; k < order.size(); ++k) {
        rows.push_back(std::move(rows_[static_cast<size_t>(order[k])]));
        if (order[k] == selected_) selected = static_cast<int>(k);
    }
    rows_ = std::move(rows);
    selected_ = selected;
    emit Reordered(order);
    emit Changed();
}

bool TrackList::HoldsFile(const QString& path) const {
    if (filesStale_) {
        files_.clear();
        files_.reserve(Count());
        for (const TrackRow& r : rows_) files_.insert(r.FileName);
        filesStale_ = false;
    }
    return files_.contains(path);
}

void TrackList::SelectRow(int i) {
    const int next = ValidIndex(i) ? i : -1;
    const int previous = selected_;
    if (next == previous) return;
    selected_ = next;
    emit SelectionChanged(previous, next);
}

void TrackList::ScrollToLast() {
    if (Count() > 0) emit LastRowWanted();
}

std::filesystem::path PathOf(const QString& path) { return platform::PathFromU16(path.toStdU16String()); }

bool FileExists(const QString& path) { return platform::IsFileNotFolder(PathOf(path)); }

}  // namespace tracks
