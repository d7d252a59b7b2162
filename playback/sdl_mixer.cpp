#include "playback/sdl_mixer.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <stdexcept>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace playback {

namespace {
// The callback wakes the decoder when a voice runs low; this round is only a safety net.
constexpr auto kDecoderPeriod = std::chrono::seconds(2);
// About 186 ms per callback: the output thread wakes rarely (each wake-up costs more than the
// mixing), and Pause and Stop are still heard within a fifth of a second.
constexpr Uint16 kDeviceFrames = 8192;

// Attach and Detach run on the UI thread; this only keeps them whole if that ever changes.
std::mutex& LifecycleMutex() {
    static std::mutex m;
    return m;
}

constexpr float kShortScale = 32767.0f;

std::int16_t FloatToShort(float v) noexcept {
    v = v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : v);
    return static_cast<std::int16_t>(std::lrint(v * kShortScale));
}
}  // namespace

SubnormalsAsZero::SubnormalsAsZero() noexcept {
#if defined(__SSE__)
    saved_ = _mm_getcsr();
    _mm_setcsr(saved_ | 0x8040);  // flush-to-zero and denormals-are-zero
#endif
}

SubnormalsAsZero::~SubnormalsAsZero() {
#if defined(__SSE__)
    _mm_setcsr(saved_);
#endif
}

void FloatsToShorts(std::int16_t* __restrict out, const float* __restrict in, std::size_t count) noexcept {
    std::size_t i = 0;
#if defined(__SSE2__)
    // Up to a 16-byte boundary one by one, then eight at a time with stores that bypass the cache:
    // the ring is read back seconds later, so fetching its old contents first is wasted time.
    for (; i < count && reinterpret_cast<std::uintptr_t>(out + i) % 16 != 0; ++i) out[i] = FloatToShort(in[i]);
    const __m128 top = _mm_set1_ps(1.0f), bottom = _mm_set1_ps(-1.0f), scale = _mm_set1_ps(kShortScale);
    auto scaled = [&](const float* p) {
        return _mm_cvtps_epi32(_mm_mul_ps(_mm_max_ps(_mm_min_ps(_mm_loadu_ps(p), top), bottom), scale));
    };
    for (; i + 8 <= count; i += 8)
        _mm_stream_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(scaled(in + i), scaled(in + i + 4)));
    _mm_sfence();  // visible before the caller publishes them
#endif
    for (; i < count; ++i) out[i] = FloatToShort(in[i]);
}

void AddShorts(std::int16_t* __restrict out, const std::int16_t* __restrict in, std::size_t count) noexcept {
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= count; i += 8) {
        auto* o = reinterpret_cast<__m128i*>(out + i);
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        _mm_storeu_si128(o, _mm_adds_epi16(_mm_loadu_si128(o), v));
    }
#endif
    for (; i < count; ++i) {
        const int v = out[i] + in[i];
        out[i] = static_cast<std::int16_t>(v > 32767 ? 32767 : (v < -32768 ? -32768 : v));
    }
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
    want.format = AUDIO_S16SYS;
    want.channels = kChannels;
    want.samples = kDeviceFrames;
    want.callback = &SdlMixer::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the hardware takes, so the mix is always
    // 16-bit stereo at kRate.
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
    auto* out = reinterpret_cast<std::int16_t*>(stream);
    const int frames = len / static_cast<int>(sizeof(std::int16_t) * kChannels);
    static_cast<SdlMixer*>(self)->Mix(out, frames);
}

void SdlMixer::Mix(std::int16_t* out, int frames) noexcept {
    // The first voice writes over the buffer instead of adding to cleared memory: one pass less
    // over it in every callback.
    bool refill = false, wrote = false;
    for (MixerVoice* v : voices_) {
        const MixerVoice::Mixed m = v->MixInto(out, frames, !wrote);
        if (m.underrun) underruns_.fetch_add(1, std::memory_order_relaxed);
        wrote = wrote || m.wrote;
        refill = refill || v->WantsRefill();
    }
    if (refill) WakeDecoder();
    if (!wrote) std::memset(out, 0, static_cast<std::size_t>(frames) * kChannels * sizeof(std::int16_t));
}

void SdlMixer::DecoderLoop() {
    const SubnormalsAsZero fast;
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
