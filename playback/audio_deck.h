#pragma once
// One deck plays one audio file at a time. Positions and lengths are milliseconds.
#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>

namespace playback {

enum TMPModes { mpNotReady, mpStopped, mpPlaying, mpRecording, mpSeeking, mpPaused, mpOpen };

// A failed Open raises this with the decoder's message.
class DeckError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class AudioDeck {
public:
    virtual ~AudioDeck() = default;

    virtual void SetFileName(const QString& path) = 0;
    virtual QString FileName() const = 0;
    virtual void SetWait(bool wait) = 0;
    virtual void SetNotify(bool notify) = 0;
    // Synchronous; closes an open file first. Throws DeckError; the deck is then not open.
    virtual void Open() = 0;
    virtual void Play() = 0;   // from the current position; resumes a paused deck
    virtual void Pause() = 0;  // on a playing deck
    virtual void Stop() = 0;   // stays open; no effect when not open
    virtual void Close() = 0;  // no effect when not open
    virtual TMPModes Mode() const = 0;  // a deck that is not open reports mpStopped
    virtual int Position() const = 0;
    virtual void SetPosition(int ms) = 0;  // playback halts until the next Play
    virtual int Length() const = 0;
    virtual bool IsOpen() const = 0;

    // Level and fades. Decks that only measure or stand in for tests may ignore them. Open resets
    // both: a new track plays at 0 dB without a fade until told otherwise.
    // The deck's level in dB (0: the file as it is), before or during play; a change while
    // playing glides over a few tens of milliseconds.
    virtual void SetGain(double dB) { (void)dB; }
    // Not playing: the next Play rises from silence to the deck's level over `ms`. Playing: an
    // ongoing fade-out turns back up at the same pace. 0 cancels a pending fade-in.
    virtual void FadeIn(int ms) { (void)ms; }
    // Playing: the sound falls to silence over `ms`, then the deck stops as Stop does (mode
    // mpStopped, position where it fell silent). Otherwise, and with 0, it is Stop.
    // Fades follow the equal-power law (sin in, cos out), so a fade-out and a fade-in of the
    // same length begun together keep the sum's power steady.
    virtual void FadeOut(int ms) {
        (void)ms;
        Stop();
    }
};

using DeckFactory = std::function<std::unique_ptr<AudioDeck>()>;

// The real deck: libsndfile decoding into one shared SDL2 output mixer.
std::unique_ptr<AudioDeck> MakeRealDeck();

// The deck that only measures lengths: same lengths and errors as the real deck, but it cannot play.
std::unique_ptr<AudioDeck> MakeProbeDeck();
// The probe deck (MediaPlayer3) that goes with decks from `decks`: the measuring deck for the real
// decks, otherwise one more deck from `decks` (tests keep their own decks for all three).
std::unique_ptr<AudioDeck> MakeProbeDeckFor(const DeckFactory& decks);

// Receives the real decks' one notice that no audio output could be opened and playback goes on
// silently. It runs on the UI thread; a notice given before a handler is set waits for it.
void SetAudioNoticeHandler(std::function<void(const QString&)> handler);

}  // namespace playback
