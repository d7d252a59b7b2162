#pragma once
// Lookups, bulk operations and the status rule on the track lists. None of them lets the event
// loop run, so no timer handler can change a list in the middle of a scan.
#include <QHash>
#include <QString>
#include <vector>

#include "tracks/track_list.h"

namespace tracks {

// True when a row holds exactly `value` in sub-item `sub` (case-sensitive).
bool ListHasValue(const TrackList& list, int sub, const QString& value);

// Index of the last row holding `value` in sub-item `sub`; -1 when none does.
int FindLastIndex(const TrackList& list, int sub, const QString& value);

// Deletes every row holding `value` in sub-item `sub`; the others keep their order.
void RemoveRowsByValue(TrackList& list, int sub, const QString& value);

// The status words as they read now (they change with the language).
struct StatusWords {
    QString ready, blocked, chosen, error;
};

// Whether a row's file exists, asked of the file system once per path: an event that looks at
// the same files in several lists, or twice, pays for each file once.
class FileChecks {
public:
    bool Exists(const QString& path);
    void Expect(qsizetype files) { known_.reserve(known_.size() + files); }  // room for that many more

private:
    QHash<QString, bool> known_;
};

// The status of every row of `list` from the file system, the queue and the guest requests:
// missing file "error"; else queued "blocked"; else requested "chosen"; else "ready".
std::vector<QString> ListStates(const TrackList& list, const TrackList& queue, const TrackList& requests,
                                const StatusWords& words, FileChecks& files);

// Keys compare as text by UTF-16 code unit, a..z folded onto A..Z and nothing else; a prefix
// sorts first. Returns <0, 0 or >0.
int CompareSortKeys(const QString& a, const QString& b);

// Sorts the rows once by column 0..7 (Status, Title .. File); equal keys keep their order and the
// selected row stays selected.
void SortList(TrackList& list, int column, bool descending);

}  // namespace tracks
