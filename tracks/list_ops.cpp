#include "tracks/list_ops.h"

#include <QSet>
#include <algorithm>
#include <numeric>

namespace tracks {

namespace {

QSet<QString> FilesOf(const TrackList& list) {
    QSet<QString> values;
    values.reserve(list.Count());
    for (const TrackRow& r : list.Rows()) values.insert(r.FileName);
    return values;
}

inline char16_t Fold(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

QString FoldedKey(const QString& text) {
    QString key = text;
    for (QChar& ch : key) ch = QChar(Fold(ch.unicode()));
    return key;
}

}  // namespace

bool ListHasValue(const TrackList& list, int sub, const QString& value) {
    if (sub == siFileName) return list.HoldsFile(value);
    return FindLastIndex(list, sub, value) >= 0;
}

int FindLastIndex(const TrackList& list, int sub, const QString& value) {
    if (sub < 0 || sub > 6) return -1;
    if (sub == siFileName && !list.HoldsFile(value)) return -1;
    for (int i = list.Count() - 1; i >= 0; --i)
        if (list.Row(i).SubItem(sub) == value) return i;
    return -1;
}

void RemoveRowsByValue(TrackList& list, int sub, const QString& value) {
    if (sub < 0 || sub > 6) return;
    for (int i = list.Count() - 1; i >= 0; --i)
        if (list.Row(i).SubItem(sub) == value) list.DeleteRow(i);
}

bool FileChecks::Exists(const QString& path) {
    const qsizetype before = known_.size();
    bool& exists = known_[path];  // one lookup: found, or made for the answer
    if (known_.size() != before) exists = FileExists(path);
    return exists;
}

std::vector<QString> ListStates(const TrackList& list, const TrackList& queue, const TrackList& requests,
                                const StatusWords& words, FileChecks& files) {
    const QSet<QString> queued = FilesOf(queue);
    const QSet<QString> requested = FilesOf(requests);
    std::vector<QString> states;
    states.reserve(static_cast<size_t>(list.Count()));
    files.Expect(list.Count());
    for (const TrackRow& r : list.Rows()) {
        const QString& file = r.FileName;
        if (!files.Exists(file))
            states.push_back(words.error);
        else if (queued.contains(file))
            states.push_back(words.blocked);
        else if (requested.contains(file))
            states.push_back(words.chosen);
        else
            states.push_back(words.ready);
    }
    return states;
}

int CompareSortKeys(const QString& a, const QString& b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = Fold(a[i].unicode()), y = Fold(b[i].unicode());
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void SortList(TrackList& list, int column, bool descending) {
    if (column < 0 || column > 7 || list.Count() < 2) return;
    // The keys are folded once, so comparing rows costs no text work.
    std::vector<QString> keys;
    keys.reserve(static_cast<size_t>(list.Count()));
    for (const TrackRow& r : list.Rows()) keys.push_back(FoldedKey(r.Column(column)));
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = CompareSortKeys(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]);
        return descending ? c > 0 : c < 0;
    });
    list.Reorder(order);
}

}  // namespace tracks
