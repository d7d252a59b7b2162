#pragma once
// The guest pool's status words and the decision whether a guest's select request is admitted.
#include <QString>
#include <vector>

#include "tracks/list_ops.h"
#include "tracks/track_list.h"

namespace requests {

// Why a request was refused, or that it was admitted; the number is what the pages tell.
enum RequestState : int { rsRefused = 0, rsAdmitted = 1, rsChosen = 2, rsBlocked = 3, rsLimit = 4 };

// The word a guest is shown for a state: error, ready, chosen, blocked.
QString StateWord(int state, const tracks::StatusWords& words);
// The same, and `limitWord` for a guest who has as many requests waiting as one may.
QString StateWord(int state, const tracks::StatusWords& words, const QString& limitWord);

// The pool's words: a row reads blocked when queued (only while recent tracks are blocked),
// chosen when requested (that wins), else ready. With `files`, a row whose file is missing reads
// error before all; without, the file system is not consulted.
std::vector<QString> PoolStates(const tracks::TrackList& pool, const tracks::TrackList& queue,
                                const tracks::TrackList& requests, bool blockRecent, const tracks::StatusWords& words,
                                tracks::FileChecks* files = nullptr);

// The admission check proper: the word of the last pool row holding `path` decides; a missing
// file, no such row, an error word or any unknown word refuses with rsRefused.
int CheckRequest(const tracks::TrackList& pool, const QString& path, const tracks::StatusWords& words,
                 tracks::FileChecks* files = nullptr);

struct Admission {
    int state = rsRefused;
    QString title, artist;                 // of the last matching pool row; empty when none matches
    std::vector<tracks::TrackRow> rows;    // the request rows to append, in pool order
};

// Decides a select request; changes no list. Every pool row holding `path` gives one request
// row: the ready word, the row's tags, the receive time as Time and the guest's address as Src.
Admission AdmitRequest(const tracks::TrackList& pool, const QString& host, const QString& time,
                       const QString& path, const tracks::StatusWords& words, tracks::FileChecks* files = nullptr);

// Requests of the guest at `host` waiting in the request list, each track once.
int WaitingRequests(const tracks::TrackList& requests, const QString& host);

// As above, and a request the track would admit is refused with rsLimit while `host` has
// `perGuest` requests waiting already; 0 means no limit.
Admission AdmitRequest(const tracks::TrackList& pool, const tracks::TrackList& requests, const QString& host,
                       const QString& time, const QString& path, const tracks::StatusWords& words, int perGuest,
                       tracks::FileChecks* files = nullptr);

}  // namespace requests
