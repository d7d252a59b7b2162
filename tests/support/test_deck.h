#pragma once
// A deck for tests: it plays nothing and its position moves only when the test advances the
// shared clock, so playback logic (hand-over, transport, end of queue) runs without waiting.
#include "playback/audio_deck.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

namespace playback {

// The test's time and its catalogue of "files". Every deck made by TestDeckFactory reads both.
class TTestClock {
public:
    std::int64_t Now() const { return now_; }
    void Advance(int ms);

    // Open of this path succeeds and gives this length (milliseconds).
    void SetLength(const QString& path, int ms);
    // A cut file: Open reports `ms` as before, but the deck stops after `audibleMs` of play.
    void SetAudible(const QString& path, int audibleMs) { audible_.insert(path, audibleMs); }
    // Open of this path fails with DeckError carrying the message.
    void SetUnplayable(const QString& path, const QString& message = QString());
    // Length for paths that were never registered; without it such an Open fails.
    void SetDefaultLength(std::optional<int> ms) { defaultLength_ = ms; }
    void Forget(const QString& path);

    // What Open finds for a path: the length, or a DeckError.
    int LengthOf(const QString& path) const;

    // Every command any deck received, "<deck id>:<command>", oldest first (e.g. "2:Open").
    QStringList& Commands() { return commands_; }
    int DecksMade() const { return decksMade_; }

private:
    friend class TTestDeck;
    std::int64_t now_ = 0;
    QHash<QString, int> lengths_;
    QHash<QString, QString> unplayable_;
    QHash<QString, int> audible_;
    std::optional<int> defaultLength_;
    QStringList commands_;
    int decksMade_ = 0;
};

class TTestDeck : public AudioDeck {
public:
    explicit TTestDeck(std::shared_ptr<TTestClock> clock);

    void SetFileName(const QString& path) override { fileName_ = path; }
    QString FileName() const override { return fileName_; }
    void SetWait(bool wait) override { wait_ = wait; }
    void SetNotify(bool notify) override { notify_ = notify; }
    void Open() override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    void Close() override;
    TMPModes Mode() const override;
    int Position() const override;
    void SetPosition(int ms) override;
    int Length() const override { return open_ ? length_ : 0; }
    bool IsOpen() const override { return open_; }

    // Level and fades are recorded ("1:SetGain", "1:FadeIn", "1:FadeOut") and kept; a fade-out
    // stops the deck when its time has run on the clock, as the real deck stops when it is silent.
    void SetGain(double dB) override;
    void FadeIn(int ms) override;
    void FadeOut(int ms) override;
    double GainDb() const { return gainDb_; }
    int FadeInMs() const { return fadeInMs_; }    // of the last FadeIn since Open (0: none)
    int FadeOutMs() const { return fadeOutMs_; }  // of the fade-out under way or done (0: none)

    bool Wait() const { return wait_; }
    bool Notify() const { return notify_; }
    int Id() const { return id_; }  // 1 for the first deck made on a clock, 2 for the next...
    // The file the deck has open ("" when none); FileName may have been set since.
    QString OpenedFile() const { return open_ ? openedFile_ : QString(); }

private:
    void Record(const char* command);
    void Release();
    bool Running() const;  // playing and not yet at the end
    int End() const;       // where playing stops: the audible end, or the end of a fade-out

    std::shared_ptr<TTestClock> clock_;
    int id_ = 0;
    QString fileName_, openedFile_;
    bool wait_ = false, notify_ = false, open_ = false;
    TMPModes mode_ = mpStopped;
    int length_ = 0;
    int audible_ = 0;             // where the sound ends: the length, or less for a cut file
    int base_ = 0;                // position when the deck last started or halted
    std::int64_t startedAt_ = 0;  // clock time of the last Play
    double gainDb_ = 0;
    int fadeInMs_ = 0, fadeOutMs_ = 0;
    std::optional<int> silentAt_;  // position where a fade-out falls silent
};

// Makes test decks that share the clock.
DeckFactory TestDeckFactory(std::shared_ptr<TTestClock> clock);

}  // namespace playback
