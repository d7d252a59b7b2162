#include "requests/admission.h"

#include <QSet>

namespace requests {

using tracks::siFileName;

QString StateWord(int state, const tracks::StatusWords& words) {
    switch (state) {
        case rsAdmitted: return words.ready;
        case rsChosen: return words.chosen;
        case rsBlocked: return words.blocked;
        default: return words.error;
    }
}

QString StateWord(int state, const tracks::StatusWords& words, const QString& limitWord) {
    return state == rsLimit ? limitWord : StateWord(state, words);
}

void UpdatePoolStates(tracks::TListView& pool, const tracks::TListView& queue,
                      const tracks::TListView& requests, bool blockRecent, const tracks::StatusWords& words) {
    // One pass over each list, not one per pool row: the pool may hold thousands of tracks and
    // this runs after every select request.
    QSet<QString> queued, requested;
    if (blockRecent)
        for (int i = 0; i < queue.Count(); ++i) queued.insert(queue.SubItem(i, siFileName));
    for (int i = 0; i < requests.Count(); ++i) requested.insert(requests.SubItem(i, siFileName));
    for (int i = 0; i < pool.Count(); ++i) {
        const QString f = pool.SubItem(i, siFileName);
        const QString& word = requested.contains(f) ? words.chosen : queued.contains(f) ? words.blocked : words.ready;
        if (pool.Caption(i) != word) pool.SetCaption(i, word);
    }
}

int CheckRequest(const tracks::TListView& pool, const QString& path, const tracks::StatusWords& words) {
    if (!tracks::FileExists(path)) return rsRefused;
    const int row = tracks::FindLastIndex(pool, siFileName, path);
    const QString word = row >= 0 ? pool.Caption(row) : words.error;
    if (word == words.error) return rsRefused;
    if (word == words.ready) return rsAdmitted;
    if (word == words.chosen) return rsChosen;
    if (word == words.blocked) return rsBlocked;
    return rsRefused;
}

Admission AdmitRequest(const tracks::TListView& pool, const QString& host, const QString& time,
                       const QString& path, const tracks::StatusWords& words) {
    Admission a;
    const int last = tracks::FindLastIndex(pool, siFileName, path);
    if (last < 0) return a;
    a.state = CheckRequest(pool, path, words);
    // A refused guest is told which track it was, too.
    a.title = pool.SubItem(last, tracks::siTitle);
    a.artist = pool.SubItem(last, tracks::siArtist);
    if (a.state != rsAdmitted) return a;
    for (int i = 0; i < pool.Count(); ++i) {
        if (pool.SubItem(i, siFileName) != path) continue;
        tracks::TrackRow r = pool.Row(i);
        r.Status = words.ready;
        r.Time = time;
        r.Src = host;
        a.title = r.Title;
        a.artist = r.Artist;
        a.rows.push_back(std::move(r));
    }
    return a;
}

int WaitingRequests(const tracks::TListView& requests, const QString& host) {
    // A pool that holds a track twice gives two rows for one request.
    QSet<QString> paths;
    for (int i = 0; i < requests.Count(); ++i)
        if (requests.SubItem(i, tracks::siSrc) == host) paths.insert(requests.SubItem(i, siFileName));
    return static_cast<int>(paths.size());
}

Admission AdmitRequest(const tracks::TListView& pool, const tracks::TListView& requests, const QString& host,
                       const QString& time, const QString& path, const tracks::StatusWords& words, int perGuest) {
    Admission a = AdmitRequest(pool, host, time, path, words);
    // The track's own reason comes first: a chosen track stays "chosen" for everyone.
    if (a.state == rsAdmitted && perGuest > 0 && WaitingRequests(requests, host) >= perGuest) {
        a.state = rsLimit;
        a.rows.clear();
    }
    return a;
}

}  // namespace requests
