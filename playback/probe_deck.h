#pragma once
// The deck that only measures lengths (the main window's MediaPlayer3). It never plays, so it
// does not need a decoder: for MPEG audio it reads the frame headers (or the Xing/Info header's
// frame count) instead of setting up libsndfile, which is most of the cost of adding a track.
// Wherever the headers leave any doubt it asks libsndfile, as the real deck does, so both decks
// report the same length and the same errors.
#include "playback/audio_deck.h"
#include "tags/MpegInfo.h"

namespace playback {

class TProbeDeck : public AudioDeck {
public:
    void SetFileName(const QString& path) override { fileName_ = path; }
    QString FileName() const override { return fileName_; }
    void SetWait(bool wait) override { wait_ = wait; }
    void SetNotify(bool notify) override { notify_ = notify; }
    void Open() override;
    // It measures only: these change nothing and the mode stays mpStopped.
    void Play() override {}
    void Pause() override {}
    void Stop() override {}
    void SetPosition(int) override {}
    void Close() override;
    TMPModes Mode() const override { return mpStopped; }
    int Position() const override { return 0; }
    int Length() const override { return open_ ? length_ : 0; }
    bool IsOpen() const override { return open_; }
    bool Wait() const { return wait_; }
    bool Notify() const { return notify_; }

private:
    QString fileName_;
    bool wait_ = false, notify_ = false, open_ = false;
    int length_ = 0;
};

// The MPEG length both decks go by, from the tag library's one frame-header parser.
using tags::MeasureMpeg;
using tags::MpegLength;

}  // namespace playback
