#pragma once
// Feeding the queue when it runs short: guest requests on one timer, presets on the other. The
// decisions live here, over the lists; probing a file and logging stay with the program.
#include <QString>
#include <QStringList>

#include "tracks/track_list.h"

namespace requests {

// The two option groups of the mode panel as they read now.
struct FeedModes {
    bool guestUse = false;   // "Allow Remote Requests"
    bool webFirst = false;   // "Prefer Web"
    bool webMix = false;     // "Mix Web"
    bool presetUse = false;  // "Add Preset Tracks"
    bool inOrder = false;    // "Play In Order"
    bool atRandom = false;   // "Play At Random"
    // A preset by the artist of the queue's last row is taken only when no other is ready.
    bool artistApart = false;
    bool presetStep = true;  // the preset timer runs, so a due preset can come at all
};

// What a feeding step needs from the program besides the lists.
class FeedTarget {
public:
    virtual ~FeedTarget() = default;
    // Appends a row for the file at the end of the queue (tags and length read afresh), unless
    // the queue already holds the path. May throw when the file cannot be read.
    virtual void AddToQueue(const QString& path, const QString& source) = 0;
    virtual void Log(const QString& line) = 0;
    virtual int RandomBelow(int n) = 0;  // uniform in 0 .. n-1
};

struct FeedLists {
    tracks::TrackList& queue;
    tracks::TrackList& requests;
    tracks::TrackList& presets;
};

// At most one row follows the current one (an empty queue always runs short).
bool QueueRunsShort(int queueCount, int curIndex);

// The guest step: moves at most one request, and keeps presetDue for the alternation. In "Mix
// Web" a due preset that cannot come (presets off, no preset step, no ready preset) is waived,
// so the requests keep moving.
void FeedGuestRequest(const FeedLists& lists, const FeedModes& modes, int curIndex, bool& presetDue,
                      const QString& readyWord, FeedTarget& target);

// Whether the preset step could add a preset now: presets on, their step running, and a ready
// preset the queue does not hold.
bool PresetCanCome(const FeedLists& lists, const FeedModes& modes, const QString& readyWord);

// Moves the first request row to the end of the queue; the row leaves the request list even
// when the queue holds the track already (logged) or the file cannot be read.
void MoveFirstRequest(const FeedLists& lists, FeedTarget& target);

// The preset step up to its refresh: adds at most one preset with Src "DJ +" and takes it out
// of the pool. Returns false when the step stopped before choosing (presets off, pool empty, or
// a request is due: one waits and no preset is due); the caller refreshes the queue, presets
// and index.html only on true.
bool InsertPreset(const FeedLists& lists, const FeedModes& modes, int curIndex, bool& presetDue,
                  const QString& readyWord, FeedTarget& target);

// A ready row of `list` at random, logged as "random select[k/n]: path"; empty when none is ready.
QString PickRandomPreset(const tracks::TrackList& list, const QString& readyWord, FeedTarget& target);
// The same among the ready rows whose artist differs from `avoidArtist`, when there is one;
// those passed over for their artist are added to `skipped`.
QString PickRandomPreset(const tracks::TrackList& list, const QString& readyWord, FeedTarget& target,
                         const QString& avoidArtist, QStringList& skipped);

// Artists match without regard to case and surrounding blanks; an empty artist matches none.
bool SameArtist(const QString& a, const QString& b);

}  // namespace requests
