#pragma once
// Lookups and bulk operations on the track lists. None of them lets the event loop run, so no
// timer handler can change a list in the middle of a scan.
#include <QString>

#include "tracks/track_list.h"

namespace tracks {

// True when a row holds exactly `value` in sub-item `sub` (case-sensitive).
bool ListHasValue(const TListView& list, int sub, const QString& value);

// Index of the last row holding `value` in sub-item `sub`; -1 when none does.
int FindLastIndex(const TListView& list, int sub, const QString& value);

// Deletes every row holding `value` in sub-item `sub`; the others keep their order.
void RemoveRowsByValue(TListView& list, int sub, const QString& value);

// The status words as they read now (they change with the language).
struct StatusWords {
    QString ready, blocked, chosen, error;
};

// Status of every row of `list` from the file system, the queue and the guest requests:
// missing file "error"; else queued "blocked"; else requested "chosen"; else "ready".
void RefreshListStates(TListView& list, const TListView& queue, const TListView& requests,
                       const StatusWords& words);

}  // namespace tracks
