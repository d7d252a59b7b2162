#pragma once
// The play queue played on two alternating decks with a fadeover: which row comes next, the
// hand-over inside the fade window, the end of the queue, and the status words of the rows.
// It knows the queue and the window only through the two narrow interfaces below.
#include <QString>
#include <array>
#include <optional>

#include "playback/audio_deck.h"
#include "playback/track_analysis.h"

namespace playback {

// The queue's rows and the options that steer playback, as the player reads them at each use.
class QueueView {
public:
    enum class Status { Running, Played, Soon, Ready, Blocked };

    virtual ~QueueView() = default;
    virtual int Count() const = 0;
    virtual QString FileName(int row) const = 0;
    virtual int SelectedIndex() const = 0;  // -1: none
    virtual void SelectRow(int row) = 0;    // -1: none
    virtual void SetStatus(int row, Status status) = 0;
    virtual void DeleteRow(int row) = 0;
    virtual void ScrollToLast() = 0;
    // Redraws the queue; while a deck is busy the drawing marks the current and the next row.
    virtual void Repaint() = 0;

    // The play mode's two buttons, read at each use; a settings file can leave both clear.
    virtual bool RepeatList() const = 0;
    virtual bool PlayListOnce() const = 0;
    virtual int FadeSeconds() const = 0;
    virtual bool BlockRecent() const = 0;
    virtual int KeepBefore() const = 0;      // played rows kept before the current one when blocking
    virtual int ForwardSeconds() const = 0;  // may throw when the field holds no whole number

    // The sound of the hand-overs; all off, the decks are driven exactly as without them.
    virtual bool Leveling() const { return false; }
    virtual double LevelTargetLufs() const { return -14; }
    virtual bool Crossfade() const { return false; }
    virtual bool NoDeadAir() const { return false; }
    // What the background pass found for a file; none while it is measured or never asked for.
    virtual std::optional<TrackAnalysis> Analysis(const QString& path) const {
        (void)path;
        return std::nullopt;
    }
};

// What the window shows or does when playback moves on.
class QueueSink {
public:
    virtual ~QueueSink() = default;
    virtual void QueueStarted() = 0;                     // deck 1 plays the start row
    virtual void TrackOpening(const QString& path) = 0;  // a hand-over is about to open this file
    virtual void ProgressChanged() = 0;                  // a deck started: refresh the bars
    virtual void PagesChanged() = 0;                     // the current track changed
    virtual void PlaybackStopped() = 0;                  // both decks were stopped and closed
    virtual void Note(const QString& line) = 0;          // a line for the log
};

class QueuePlayer {
public:
    // What a press of Pause did to a deck.
    enum class PauseChange { None, Paused, Resumed };
    // Where playback of the queue stands.
    enum class State {
        Stopped,  // nothing started yet, or stopped
        Playing,  // the live deck holds the current row; its hand-over is still to come
        Ending,   // its hand-over found no next row: playback ends when that deck stops
    };

    QueuePlayer(AudioDeck& deck1, AudioDeck& deck2, QueueView& queue, QueueSink& sink)
        : deck1_(deck1), deck2_(deck2), queue_(queue), sink_(sink) {}

    State CurrentState() const { return state_; }
    int CurIndex() const { return cur_; }    // row whose track was started last; -1 when none
    int NextIndex() const { return next_; }  // row to start at the next hand-over, as far as known now
    bool PlayOn() const { return playOn_; }  // set by NextIndexOf: whether a following track is to be started

    // The row after `current` under the play mode; sets PlayOn.
    int NextIndexOf(int current);
    // The last row holding this path, -1 when none.
    int FindQueueIndex(const QString& path) const;
    // Plays the selected row (row 0 when none) on deck 1; a missing file starts nothing.
    void StartQueue();
    // Play List: both decks asked for completion notices, then the queue started.
    void PlayList();
    // One check per tick: the playing deck inside its fade window starts the next row on the
    // other deck, and so does a current track that stopped before its hand-over ran (a cut file,
    // a window the ticks missed, a deck that failed); with both decks stopped, playback ends.
    void HandOver();
    // The deck of the current track stopped on its own before its hand-over: the next HandOver
    // starts the following row, so playback has not ended.
    bool StoppedEarly() const { return live_ && StoppedEarly(*live_); }
    void StopPlayback();
    // Pauses a playing deck, resumes a paused one; deck 1 first.
    std::array<PauseChange, 2> Pause();
    // Moves each playing deck forward when enough of its track remains.
    void Forward();
    // Drops the oldest played row when blocking keeps too many, then marks the rows around the
    // current and next ones.
    void UpdateQueueStates();
    // The file of the current row, none when CurIndex names no row.
    std::optional<QString> CurrentFile() const;
    // After rows were removed: the current track is found again by its file (none: -1).
    void FindCurrentAgain(const std::optional<QString>& file);

private:
    void HandOverFrom(AudioDeck& a, AudioDeck& b, int fade, bool scroll);
    // Gain, fade-in and starting point of a freshly opened deck, before its Play.
    void Prepare(AudioDeck& deck, int fadeInMs);
    // Where the deck's track ends for its hand-over: the audible end with no dead air.
    int EndOf(const AudioDeck& deck) const;
    // With no dead air, a deck past its audible end that hands over no more is stopped there.
    void CutTrailingSilence(AudioDeck& deck);
    bool ValidIndex(int row) const { return row >= 0 && row < queue_.Count(); }
    bool StoppedEarly(const AudioDeck& deck) const;

    AudioDeck& deck1_;
    AudioDeck& deck2_;
    QueueView& queue_;
    QueueSink& sink_;
    int cur_ = 0, next_ = 0;
    bool playOn_ = false;
    State state_ = State::Stopped;
    AudioDeck* live_ = nullptr;  // the deck started last, with the current track
    int early_ = 0;              // hand-overs for early stops since a current track was last heard
};

}  // namespace playback
