#include "playback/sdl_mixer.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <stdexcept>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace playback {

namespace {
// The callback wakes the decoder when a voice runs low; this round is only a safety net.
constexpr auto kDecoderPeriod = std::chrono::milliseconds(500);
// About 186 ms per callback: the output thread wakes rarely (each wake-up costs more than the
// mixing), and Pause and Stop are still heard within a fifth of a second.
constexpr Uint16 kDeviceFrames = 8192;

// Decoded audio fades out through subnormal floats, and on x86 each of those costs about a hundred
// cycles; the audio threads treat them as zero, which no one can hear.
void FlushSubnormalsToZero() noexcept {
#if defined(__SSE__)
    _mm_setcsr(_mm_getcsr() | 0x8040);  // flush-to-zero and denormals-are-zero
#endif
}

// Attach and Detach run on the UI thread; this only keeps them whole if that ever changes.
std::mutex& LifecycleMutex() {
    static std::mutex m;
    return m;
}
}  // namespace

void AddSamples(float* __restrict out, const float* __restrict in, std::size_t count) noexcept {
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8)
        for (std::size_t k = 0; k < 8; ++k) out[i + k] += in[i + k];
    for (; i < count; ++i) out[i] += in[i];
}

void ClampSamples(float* samples, std::size_t count) noexcept {
    auto clamp = [](float v) { return v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : v); };
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8)
        for (std::size_t k = 0; k < 8; ++k) samples[i + k] = clamp(samples[i + k]);
    for (; i < count; ++i) samples[i] = clamp(samples[i]);
}

SdlMixer& SdlMixer::Instance() {
    // Never destroyed: decks owned by other static objects may detach during exit.
    static SdlMixer* mixer = new SdlMixer();
    return *mixer;
}

bool SdlMixer::IsOpen() const {
    std::lock_guard lock(voicesMutex_);
    return device_ != 0;
}

QString SdlMixer::DriverName() const {
    std::lock_guard lock(voicesMutex_);
    return driver_;
}

bool SdlMixer::OpenDevice(QString* error) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        *error = QString::fromUtf8(SDL_GetError());
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = kRate;
    want.format = AUDIO_F32SYS;
    want.channels = kChannels;
    want.samples = kDeviceFrames;
    want.callback = &SdlMixer::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the hardware takes, so the mix is always
    // float stereo at kRate.
    const SDL_AudioDeviceID dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (dev == 0) {
        *error = QString::fromUtf8(SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    device_ = dev;
    rate_ = kRate;
    const char* name = SDL_GetCurrentAudioDriver();
    driver_ = QString::fromUtf8(name ? name : "");
    return true;
}

void SdlMixer::CloseDevice() {
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    device_ = 0;
    driver_.clear();
}

void SdlMixer::Attach(MixerVoice* voice) {
    std::optional<QString> notice;
    AttachVoice(voice, notice);
    // Outside the locks: the handler may well ask the mixer something.
    if (notice) Notify(*notice);
}

void SdlMixer::AttachVoice(MixerVoice* voice, std::optional<QString>& notice) {
    std::lock_guard life(LifecycleMutex());
    bool started = false;
    {
        std::lock_guard lock(voicesMutex_);
        if (std::find(voices_.begin(), voices_.end(), voice) != voices_.end()) return;
        if (device_ == 0) {
            QString error;
            if (!OpenDevice(&error)) {
                // No usable output: keep playing in real time, silently, on SDL's dummy driver.
                SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
                QString dummyError;
                const bool opened = OpenDevice(&dummyError);
                // Let a later opening try the real output again.
                SDL_ResetHint(SDL_HINT_AUDIODRIVER);
                if (!opened)
                    throw std::runtime_error(
                        QStringLiteral("No audio output could be opened: %1").arg(dummyError).toStdString());
                notice = QStringLiteral("No audio output could be opened (%1); playing silently.").arg(error);
            }
            started = true;
        }
        SDL_LockAudioDevice(device_);
        voices_.push_back(voice);
        SDL_UnlockAudioDevice(device_);
    }
    if (started) {
        stopDecoder_.store(false);
        decoder_ = std::thread(&SdlMixer::DecoderLoop, this);
        SDL_PauseAudioDevice(device_, 0);
    }
}

void SdlMixer::Detach(MixerVoice* voice) {
    std::lock_guard life(LifecycleMutex());
    bool last = false;
    {
        std::lock_guard lock(voicesMutex_);
        auto it = std::find(voices_.begin(), voices_.end(), voice);
        if (it == voices_.end()) return;
        SDL_LockAudioDevice(device_);
        voices_.erase(it);
        SDL_UnlockAudioDevice(device_);
        last = voices_.empty();
    }
    if (!last) return;
    stopDecoder_.store(true);
    WakeDecoder();
    if (decoder_.joinable()) decoder_.join();
    while (wake_.try_acquire()) {
    }
    wakePending_.store(false);
    std::lock_guard lock(voicesMutex_);
    CloseDevice();
}

void SdlMixer::WithCallbackHeld(const std::function<void()>& fn) {
    const SDL_AudioDeviceID dev = device_;
    if (dev) SDL_LockAudioDevice(dev);
    try {
        fn();
    } catch (...) {
        if (dev) SDL_UnlockAudioDevice(dev);
        throw;
    }
    if (dev) SDL_UnlockAudioDevice(dev);
}

void SdlMixer::WakeDecoder() noexcept {
    // One pending wake is enough; this also keeps the semaphore's count bounded.
    if (!wakePending_.exchange(true)) wake_.release();
}

void SDLCALL SdlMixer::Callback(void* self, Uint8* stream, int len) {
    FlushSubnormalsToZero();
    auto* out = reinterpret_cast<float*>(stream);
    const int frames = len / static_cast<int>(sizeof(float) * kChannels);
    std::memset(stream, 0, static_cast<size_t>(len));
    static_cast<SdlMixer*>(self)->Mix(out, frames);
}

void SdlMixer::Mix(float* out, int frames) noexcept {
    bool refill = false;
    for (MixerVoice* v : voices_) {
        if (v->MixInto(out, frames)) underruns_.fetch_add(1, std::memory_order_relaxed);
        refill = refill || v->WantsRefill();
    }
    if (refill) WakeDecoder();
    // Overlapping tracks may add up beyond full scale; clip rather than wrap.
    ClampSamples(out, static_cast<std::size_t>(frames) * kChannels);
}

void SdlMixer::DecoderLoop() {
    FlushSubnormalsToZero();
    const std::int64_t before = decoderCpuNs_.load(std::memory_order_relaxed);
    for (;;) {
        {
            std::lock_guard lock(voicesMutex_);
            for (MixerVoice* v : voices_) v->Refill();
        }
        timespec cpu{};
        if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu) == 0)
            decoderCpuNs_.store(before + cpu.tv_sec * 1000000000LL + cpu.tv_nsec, std::memory_order_relaxed);
        if (wake_.try_acquire_for(kDecoderPeriod)) wakePending_.store(false);
        if (stopDecoder_.load()) return;
    }
}

void SdlMixer::Notify(const QString& text) {
    std::function<void(const QString&)> handler;
    {
        std::lock_guard lock(noticeMutex_);
        if (noticeGiven_) return;
        noticeGiven_ = true;
        if (!noticeHandler_) {
            pendingNotice_ = text;
            return;
        }
        handler = noticeHandler_;
    }
    handler(text);
}

void SdlMixer::SetNoticeHandler(std::function<void(const QString&)> handler) {
    std::optional<QString> pending;
    {
        std::lock_guard lock(noticeMutex_);
        noticeHandler_ = handler;
        if (noticeHandler_) pending.swap(pendingNotice_);
    }
    if (pending) handler(*pending);
}

std::optional<QString> SdlMixer::TakeNotice() {
    std::lock_guard lock(noticeMutex_);
    std::optional<QString> pending;
    pending.swap(pendingNotice_);
    return pending;
}

}  // namespace playback
