#pragma once
// The deck that only measures lengths (the main window's MediaPlayer3). It never plays, so it
// does not need a decoder: for MPEG audio it reads the frame headers (or the Xing/Info header's
// frame count) instead of setting up libsndfile, which is most of the cost of adding a track.
// Wherever the headers leave any doubt it asks libsndfile, as the real deck does, so both decks
// report the same length and the same errors.
#include "playback/audio_deck.h"

#include <cstdint>
#include <optional>
#include <string>

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

// An MPEG audio file's length from its frame headers alone.
struct MpegLength {
    int ms = 0;
    // From a Xing/Info header whose byte count reaches the end of the file: the count libsndfile
    // uses too. Otherwise the frames were counted, and libsndfile, which estimates such a file's
    // length from its size and stops decoding there, may give less.
    bool fromHeader = false;
};
// Nothing when the file is not plainly MPEG audio from its first frame to its end (apart from an
// ID3v2 tag before and an ID3v1 trailer after); only libsndfile can judge such a file.
std::optional<MpegLength> MeasureMpeg(const std::string& localPath);

}  // namespace playback
