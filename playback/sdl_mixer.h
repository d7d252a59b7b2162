#pragma once
// The one SDL2 output device of the process. Its callback adds up every attached voice; a
// decoder thread keeps the voices' buffers filled so the callback never waits or allocates.
#include <QString>
#include <SDL2/SDL_audio.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <semaphore>
#include <thread>
#include <vector>

namespace playback {

// One source of sound in the mix (a deck).
class MixerVoice {
public:
    virtual ~MixerVoice() = default;
    struct Mixed {
        bool wrote = false;     // `out` holds this voice's sound
        bool underrun = false;  // it wanted to play, but its buffer ran dry before its end
    };
    // Audio thread: adds up to `frames` interleaved stereo frames (full scale ±1) to `out`. A
    // voice with nothing to play leaves `out` alone. Must not block.
    virtual Mixed MixInto(float* out, int frames) noexcept = 0;
    // Audio thread, after MixInto: true when the buffer has run low enough to want decoding now.
    virtual bool WantsRefill() const noexcept = 0;
    // Decoder thread: decode ahead into the voice's buffer.
    virtual void Refill() noexcept = 0;
    // Any thread: the voice wants to be heard (the output must run).
    virtual bool Sounding() const noexcept = 0;
};

// The mix stage's peak limiter: the sum passes unchanged while it stays below full scale; above
// it the gain goes down smoothly ahead of the peak (a short look-ahead, so the output never
// exceeds full scale) and comes back slowly, so two loud tracks overlapping neither clip nor pump.
// Audio thread only; it never allocates after construction.
class Limiter {
public:
    static constexpr int kLookahead = 128;    // frames (about 3 ms); the output is this much late, less one
    static constexpr float kCeiling = 32766.0f / 32767.0f;  // highest level out: just under the 16-bit top

    explicit Limiter(int rate);
    // In place on interleaved stereo frames.
    void Process(float* frames, int count) noexcept;
    void Reset() noexcept;

private:
    float releaseCoef_;
    std::vector<float> delay_;            // kLookahead stereo frames
    std::vector<float> reduction_;        // 1 - the required gain of the last kLookahead frames
    std::vector<std::int64_t> wedgeAt_;   // frames whose gain is below 1, by rising gain
    std::vector<float> wedgeGain_;
    int wedgeHead_ = 0, wedgeSize_ = 0;
    double reductionSum_ = 0;
    int reductionCount_ = 0;              // non-zero entries in reduction_
    float gain_ = 1.0f;
    std::int64_t at_ = 0;                 // frames processed
};

// Decoded audio fades out through subnormal floats, and on x86 each of those costs about a hundred
// cycles. While one of these lives, the thread treats them as zero, which no one can hear.
class SubnormalsAsZero {
public:
    SubnormalsAsZero() noexcept;
    ~SubnormalsAsZero();
    SubnormalsAsZero(const SubnormalsAsZero&) = delete;
    SubnormalsAsZero& operator=(const SubnormalsAsZero&) = delete;

private:
    unsigned saved_ = 0;
};

// Decks buffer their sound as 16-bit samples: half the memory of floats to write ahead and read
// back, and that memory has mostly left the cache in between. Full scale is ±32767; beyond it
// samples clip rather than wrap.
// Meant for memory that is read back much later: on x86 the stores bypass the cache.
void FloatsToShorts(std::int16_t* __restrict out, const float* __restrict in, std::size_t count) noexcept;
// out[i] += in[i] * gain / 32767: a deck's buffered sound added to the float mix.
void AddShortsToMix(float* __restrict out, const std::int16_t* __restrict in, std::size_t count, float gain) noexcept;
// The same for `frames` stereo frames whose gain moves in a straight line: g0 at the first frame,
// reaching g1 at the frame after the last (a fade or a gain change, worked out piece by piece).
void AddShortsToMixGliding(float* __restrict out, const std::int16_t* __restrict in, std::size_t frames, float g0,
                           float g1) noexcept;

class SdlMixer {
public:
    static constexpr int kChannels = 2;
    static constexpr int kRate = 44100;

    // The process-wide mixer; it lives until the process ends.
    static SdlMixer& Instance();

    // How long Pause, Go On and Stop ramp the sound, so that they do not click.
    static constexpr int kRampFrames = kRate / 200;  // 5 ms
    // Silent callbacks (about 186 ms each) after which the output closes until a voice sounds
    // again. SDL keeps a paused device writing silence, so it is closed rather than paused.
    // A recording (SDL's disk driver) stays open instead: opening it again would start its file
    // anew and lose what was recorded.
    static constexpr int kIdleCallbacks = 5;

    // UI thread. Adds a voice; the first one starts the decoder thread.
    void Attach(MixerVoice* voice);
    // UI thread. Removes a voice; after the last one the output closes (once a pending fade-out
    // has been heard) and the audio driver is released. A recording stays open while the voice
    // may come back (`forGood` false: a deck closed, not destroyed), so one run is one file; it
    // closes when a voice goes for good, attached or not, and none is left.
    void Detach(MixerVoice* voice, bool forGood = true);
    // UI thread, after a voice started sounding: opens the output device when it is closed
    // (falling back to the silent "dummy" driver when nothing else opens). Throws
    // std::runtime_error when not even that works.
    void Start();

    // UI thread. Runs `fn` while the audio callback is held off, so a voice can reset what the
    // callback reads.
    void WithCallbackHeld(const std::function<void()>& fn);
    // Inside WithCallbackHeld only: adds a frame to the sound heard at the start of the next
    // callback, where a voice that stops now would have gone on (its fade-out).
    void AddToTail(int frame, float left, float right) noexcept;
    // Asks the decoder thread for a pass now. Never blocks, so the audio callback may call it.
    void WakeDecoder() noexcept;

    int Rate() const { return rate_; }
    bool IsOpen() const;
    QString DriverName() const;
    // Callbacks that found a playing voice's buffer empty before its end, since the process began.
    std::uint64_t Underruns() const { return underruns_.load(std::memory_order_relaxed); }
    // CPU time the decoder thread has used since the process began.
    double DecoderCpuSeconds() const { return decoderCpuNs_.load(std::memory_order_relaxed) / 1e9; }

    // The fallback notice ("no audio output...") is given once per process. It goes to the
    // handler when one is set (on the thread that opened the device, i.e. the UI thread), else it
    // waits, and a handler set later receives it at once; TakeNotice collects it without a handler.
    void SetNoticeHandler(std::function<void(const QString&)> handler);
    std::optional<QString> TakeNotice();

private:
    static constexpr int kMixFrames = 8192;  // the float mix is made in pieces of this size
    SdlMixer() = default;
    static void SDLCALL Callback(void* self, Uint8* stream, int len);
    void Mix(std::int16_t* out, int frames) noexcept;
    void StartDevice(std::optional<QString>& notice);
    bool OpenDevice(QString* error);
    void CloseDevice();
    void CloseIfIdle();
    void DecoderLoop();
    void Notify(const QString& text);

    mutable std::mutex voicesMutex_;  // guards voices_ for the decoder thread; taken before the device lock
    std::vector<MixerVoice*> voices_;
    SDL_AudioDeviceID device_ = 0;
    int rate_ = kRate;
    QString driver_;
    std::atomic<std::uint64_t> underruns_{0};

    // Audio thread (or under the device lock).
    std::vector<float> mix_ = std::vector<float>(std::size_t{kMixFrames} * kChannels);
    std::vector<float> tail_ = std::vector<float>(std::size_t{kRampFrames} * kChannels);
    int tailFrames_ = 0;
    int silentCallbacks_ = 0;
    Limiter limiter_{kRate};
    std::atomic<bool> idle_{false}, tailPending_{false};
    std::atomic<std::int64_t> decoderCpuNs_{0};

    std::thread decoder_;
    std::counting_semaphore<> wake_{0};
    std::atomic<bool> wakePending_{false}, stopDecoder_{false};

    std::mutex noticeMutex_;
    std::function<void(const QString&)> noticeHandler_;
    std::optional<QString> pendingNotice_;
    bool noticeGiven_ = false;
};

}  // namespace playback
