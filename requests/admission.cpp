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

std::vector<QString> PoolStates(const tracks::TrackList& pool, const tracks::TrackList& queue,
                                const tracks::TrackList& requests, bool blockRecent, const tracks::StatusWords& words,
                                tracks::FileChecks* files) {
    // One pass over each list, not one per pool row: the pool may hold thousands of tracks and
    // this runs after every select request.
    QSet<QString> queued, requested;
    if (blockRecent)
        for (const tracks::TrackRow& r : queue.Rows()) queued.insert(r.FileName);
    for (const tracks::TrackRow& r : requests.Rows()) requested.insert(r.FileName);
    std::vector<QString> states;
    states.reserve(static_cast<size_t>(pool.Count()));
    if (files) files->Expect(pool.Count());
    for (const tracks::TrackRow& r : pool.Rows()) {
        const QString& f = r.FileName;
        if (files && !files->Exists(f))
            states.push_back(words.error);
        else
            states.push_back(requested.contains(f) ? words.chosen : queued.contains(f) ? words.blocked : words.ready);
    }
    return states;
}

int CheckRequest(const tracks::TrackList& pool, const QString& path, const tracks::StatusWords& words,
                 tracks::FileChecks* files) {
    if (!(files ? files->Exists(path) : tracks::FileExists(path))) return rsRefused;
    const int row = tracks::FindLastIndex(pool, siFileName, path);
    const QString word = row >= 0 ? pool.Caption(row) : words.error;
    if (word == words.error) return rsRefused;
    if (word == words.ready) return rsAdmitted;
    if (word == words.chosen) return rsChosen;
    if (word == words.blocked) return rsBlocked;
    return rsRefused;
}

Admission AdmitRequest(const tracks::TrackList& pool, const QString& host, const QString& time,
                       const QString& path, const tracks::StatusWords& words, tracks::FileChecks* files) {
    Admission a;
    const int last = tracks::FindLastIndex(pool, siFileName, path);
    if (last < 0) return a;
    a.state = CheckRequest(pool, path, words, files);
    // A refused guest is told which track it was, too.
    a.title = pool.SubItem(last, tracks::siTitle);
    a.artist = pool.SubItem(last, tracks::siArtist);
    if (a.state != rsAdmitted) return a;
    for (int i = 0; i < pool.Count(); ++i) {
        if (pool.SubItem(i, siFileName) != path) continue;
        tracks::TrackRow r = pool.Row(i);  // a copy: the request row
        r.Status = words.ready;
        r.Time = time;
        r.Src = host;
        a.title = r.Title;
        a.artist = r.Artist;
        a.rows.push_back(std::move(r));
    }
    return a;
}

int WaitingRequests(const tracks::TrackList& requests, const QString& host) {
    // A pool that holds a track twice gives two rows for one request.
    QSet<QString> paths;
    for (int i = 0; i < requests.Count(); ++i)
        if (requests.SubItem(i, tracks::siSrc) == host) paths.insert(requests.SubItem(i, siFileName));
    return static_cast<int>(paths.size());
}

Admission AdmitRequest(const tracks::TrackList& pool, const tracks::TrackList& requests, const QString& host,
                       const QString& time, const QString& path, const tracks::StatusWords& words, int perGuest,
                       tracks::FileChecks* files) {
    Admission a = AdmitRequest(pool, host, time, path, words, files);
    // The track's own reason comes first: a chosen track stays "chosen" for everyone.
    if (a.state == rsAdmitted && perGuest > 0 && WaitingRequests(requests, host) >= perGuest) {
        a.state = rsLimit;
        a.rows.clear();
    }
    return a;
}

}  // namespace requests
