#include "tracks/list_ops.h"

#include <QSet>

namespace tracks {

namespace {
QSet<QString> ValuesOf(const TListView& list, int sub) {
    QSet<QString> values;
    values.reserve(list.Count());
    const int column = sub + 1;
    for (int i = 0; i < list.Count(); ++i) values.insert(list.topLevelItem(i)->text(column));
    return values;
}
}  // namespace

bool ListHasValue(const TListView& list, int sub, const QString& value) {
    return FindLastIndex(list, sub, value) >= 0;
}

int FindLastIndex(const TListView& list, int sub, const QString& value) {
    if (sub < 0 || sub > 6) return -1;
    const int column = sub + 1;
    for (int i = list.Count() - 1; i >= 0; --i)
        if (list.topLevelItem(i)->text(column) == value) return i;
    return -1;
}

void RemoveRowsByValue(TListView& list, int sub, const QString& value) {
    if (sub < 0 || sub > 6) return;
    const int column = sub + 1;
    for (int i = list.Count() - 1; i >= 0; --i)
        if (list.topLevelItem(i)->text(column) == value) list.DeleteRow(i);
}

void RefreshListStates(TListView& list, const TListView& queue, const TListView& requests,
                       const StatusWords& words) {
    const QSet<QString> queued = ValuesOf(queue, siFileName);
    const QSet<QString> requested = ValuesOf(requests, siFileName);
    for (int i = 0; i < list.Count(); ++i) {
        const QString file = list.SubItem(i, siFileName);
        const QString* status = &words.ready;
        if (!FileExists(file))
            status = &words.error;
        else if (queued.contains(file))
            status = &words.blocked;
        else if (requested.contains(file))
            status = &words.chosen;
        list.SetCaption(i, *status);
    }
}

}  // namespace tracks
