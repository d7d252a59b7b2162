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
    // Audio thread: puts up to `frames` interleaved stereo frames into `out`, added to what is
    // there or, with `overwrite`, in place of it (silence after the voice's last frame). A voice
    // with nothing to play leaves `out` alone. Must not block.
    virtual Mixed MixInto(std::int16_t* out, int frames, bool overwrite) noexcept = 0;
    // Audio thread, after MixInto: true when the buffer has run low enough to want decoding now.
    virtual bool WantsRefill() const noexcept = 0;
    // Decoder thread: decode ahead into the voice's buffer.
    virtual void Refill() noexcept = 0;
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

// Decks buffer their sound as 16-bit samples, the format the output takes: half the memory of
// floats to write ahead and read back, and that memory has mostly left the cache in between.
// Full scale is ±32767; beyond it samples clip rather than wrap.
// Meant for memory that is read back much later: on x86 the stores bypass the cache.
void FloatsToShorts(std::int16_t* __restrict out, const float* __restrict in, std::size_t count) noexcept;
// out[i] += in[i], clipped: overlapping tracks may add up beyond full scale.
void AddShorts(std::int16_t* __restrict out, const std::int16_t* __restrict in, std::size_t count) noexcept;

class SdlMixer {
public:
    static constexpr int kChannels = 2;
    static constexpr int kRate = 44100;

    // The process-wide mixer; it lives until the process ends.
    static SdlMixer& Instance();

    // Adds a voice; the first one opens the output device (falling back to the silent "dummy"
    // driver when nothing else opens). Throws std::runtime_error when not even that works.
    void Attach(MixerVoice* voice);
    // Removes a voice; after the last one the device is closed and the audio driver released.
    void Detach(MixerVoice* voice);

    // Runs `fn` while the audio callback is held off, so a voice can reset what the callback reads.
    void WithCallbackHeld(const std::function<void()>& fn);
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
    SdlMixer() = default;
    static void SDLCALL Callback(void* self, Uint8* stream, int len);
    void Mix(std::int16_t* out, int frames) noexcept;
    void AttachVoice(MixerVoice* voice, std::optional<QString>& notice);
    bool OpenDevice(QString* error);
    void CloseDevice();
    void DecoderLoop();
    void Notify(const QString& text);

    mutable std::mutex voicesMutex_;  // guards voices_ for the decoder thread; taken before the device lock
    std::vector<MixerVoice*> voices_;
    SDL_AudioDeviceID device_ = 0;
    int rate_ = kRate;
    QString driver_;
    std::atomic<std::uint64_t> underruns_{0};
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
