#pragma once
// The deck that plays: libsndfile decodes the file ahead into a ring buffer, the shared SDL
// mixer takes frames from it in its callback.
#include "playback/audio_deck.h"
#include "playback/probe_deck.h"
#include "playback/sdl_mixer.h"

#include <sndfile.h>
#include <soxr.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace playback {

// Opens a file for decoding; throws DeckError when it cannot be read as audio or has a rate the
// mixer cannot resample. The caller closes the handle.
SNDFILE* OpenSoundFile(const QString& path, SF_INFO& info);
// Milliseconds of `frames` sample frames at `rate`, without overflow for any frame count.
int FramesToMs(std::int64_t frames, int rate);

// The length of a file libsndfile opened, in milliseconds: what it decodes before it stops.
int SoundFileLengthMs(const SF_INFO& info, const std::optional<MpegLength>& mpeg);

class TRealDeck : public AudioDeck, private MixerVoice {
public:
    static constexpr int kMinRate = 1000, kMaxRate = 768000;

    TRealDeck();
    ~TRealDeck() override;
    TRealDeck(const TRealDeck&) = delete;
    TRealDeck& operator=(const TRealDeck&) = delete;

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
    int Length() const override { return file_ ? length_ : 0; }
    bool IsOpen() const override { return file_ != nullptr; }
    // Commands are synchronous and no completion notice is sent, so both flags are only kept.
    bool Wait() const { return wait_; }
    bool Notify() const { return notify_; }

    void SetGain(double dB) override;
    void FadeIn(int ms) override;
    void FadeOut(int ms) override;

    // A gain change while playing glides over this many frames (about 46 ms), so it does not click.
    static constexpr int kGainGlideFrames = 2048;
    // Fades and glides are worked out at the ends of pieces this long and run straight between.
    static constexpr int kLevelStepFrames = 64;
    static constexpr double kMinGainDb = -90, kMaxGainDb = 24;

private:
    Mixed MixInto(float* out, int frames) noexcept override;
    bool WantsRefill() const noexcept override;
    bool Sounding() const noexcept override { return playing_.load(std::memory_order_acquire); }
    void Refill() noexcept override;
    // Decodes until the ring is full or `limit` frames are buffered; needs decodeMutex_.
    void FillLocked(std::uint64_t limit = kRingFrames) noexcept;
    // Decodes a piece of a file that is not stereo at the mix rate into converted_, as at most
    // `space` frames of it; returns how many (0 only at the end of the file).
    std::uint64_t ConvertChunkLocked(std::uint64_t space) noexcept;
    void ResetStreamLocked() noexcept; // needs decodeMutex_ and the callback held off
    // Audio thread (or callback held): adds `count` ring frames from `at` to `out`, the gain
    // going from g0 at the first frame towards g1 (reached by the frame after the last).
    void AddRingFrames(float* out, std::uint64_t at, std::uint64_t count, float g0, float g1) noexcept;
    // Audio thread (or callback held): the level (gain times fade) and its advance by `frames`.
    float LevelNow() const noexcept;
    void AdvanceLevel(int frames) noexcept;
    bool LevelSteady() const noexcept { return gainGlide_ == 0 && fadeStep_ == 0; }
    void CancelFade() noexcept;
    // The callback stops taking frames; a deck that was heard fades out over the next few
    // milliseconds of its sound.
    void Halt(bool endFade = false);  // endFade: as Stop, which also ends any fade
    void Release(bool forGood = false);  // forGood: the deck itself goes

    // About 12 s at the mix rate, 2 MB. The decoder wakes when half of it is free and then decodes
    // some 6 s in one go: woken often and briefly it finds its code and tables cold each time,
    // which costs more than the decoding itself. A busy machine has seconds to spare before a
    // buffer runs dry.
    static constexpr std::uint64_t kRingFrames = 1 << 19;
    static constexpr std::uint64_t kRingMask = kRingFrames - 1;
    static constexpr std::uint64_t kChunkFrames = 2048;
    // Most frames one resampled chunk may give (the size of converted_).
    static constexpr std::uint64_t kOutFrames = 8192;
    // What Play decodes before it returns (about 1.5 s); the decoder thread does the rest.
    static constexpr std::uint64_t kStartFrames = 1 << 16;
    // How far before a new position an MPEG file is decoded from, so the first frames heard are
    // right: the garbled stretch after a plain seek was seen to reach some 5,600 frames.
    static constexpr std::int64_t kSeekPrerollFrames = 1 << 14;

    // UI thread only.
    QString fileName_;
    bool wait_ = false, notify_ = false, attached_ = false;
    TMPModes mode_ = mpStopped;
    int length_ = 0;
    std::int64_t startFrame_ = 0;  // file frame of the last seek

    // The decoder (decoder thread, or the UI thread on Play) under decodeMutex_.
    std::mutex decodeMutex_;
    SNDFILE* file_ = nullptr;  // written on the UI thread under decodeMutex_
    int fileRate_ = 0, fileChannels_ = 0;
    bool mpeg_ = false;
    double step_ = 1.0;  // file frames per output frame
    std::vector<float> decoded_, stereo_, converted_;
    soxr_t resampler_ = nullptr;  // for a file at another rate than the mix
    std::uint64_t pendingAt_ = 0, pendingFrames_ = 0;  // stereo_ frames the resampler has not taken
    bool drained_ = false;  // the file's end was read; the resampler gives what it still holds

    // Shared with the audio callback.
    std::unique_ptr<std::int16_t[]> ring_;
    std::atomic<std::uint64_t> readPos_{0}, writePos_{0}, played_{0};
    std::atomic<bool> playing_{false}, eof_{false}, finished_{false};
    int rampIn_ = 0;  // frames left of the fade-in after Play (audio thread, or callback held)
    // The level, audio thread or callback held. The fade's phase runs from 0 (silent) to 1 (full);
    // its level is sin(phase * pi/2), so a fade-out is cos of the time gone and a fade-in sin.
    float gain_ = 1.0f, gainTarget_ = 1.0f, gainStep_ = 0.0f;
    int gainGlide_ = 0;        // frames left of a gain change
    double fadePhase_ = 1.0, fadeStep_ = 0.0;  // phase change per frame; below 0 a fade-out
    std::atomic<bool> fadedOut_{false};  // a fade-out reached silence and halted the deck
};

}  // namespace playback
