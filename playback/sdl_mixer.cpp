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

void AddShortsToMix(float* __restrict out, const std::int16_t* __restrict in, std::size_t count, float gain) noexcept {
    const float scale = gain / kShortScale;
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128 k = _mm_set1_ps(scale);
    for (; i + 8 <= count; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        // Sign-extended to 32 bits by placing each sample in the top half and shifting back.
        const __m128 lo = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16));
        const __m128 hi = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16));
        _mm_storeu_ps(out + i, _mm_add_ps(_mm_loadu_ps(out + i), _mm_mul_ps(lo, k)));
        _mm_storeu_ps(out + i + 4, _mm_add_ps(_mm_loadu_ps(out + i + 4), _mm_mul_ps(hi, k)));
    }
#endif
    for (; i < count; ++i) out[i] += static_cast<float>(in[i]) * scale;
}

void AddShortsToMixGliding(float* __restrict out, const std::int16_t* __restrict in, std::size_t frames, float g0,
                           float g1) noexcept {
    if (frames == 0) return;
    const float from = g0 / kShortScale, step = (g1 - g0) / kShortScale / static_cast<float>(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const float g = from + step * static_cast<float>(i);
        out[2 * i] += static_cast<float>(in[2 * i]) * g;
        out[2 * i + 1] += static_cast<float>(in[2 * i + 1]) * g;
    }
}

namespace {

// Largest magnitude among `count` samples.
float PeakOf(const float* in, std::size_t count) noexcept {
    float peak = 0.0f;
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    __m128 m = _mm_setzero_ps();
    for (; i + 4 <= count; i += 4) m = _mm_max_ps(m, _mm_and_ps(_mm_loadu_ps(in + i), magnitude));
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, m);
    peak = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
#endif
    for (; i < count; ++i) peak = std::max(peak, std::fabs(in[i]));
    return peak;
}

// The limited mix as the output's 16-bit samples.
void MixToShorts(std::int16_t* __restrict out, const float* __restrict in, std::size_t count) noexcept {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128 top = _mm_set1_ps(1.0f), bottom = _mm_set1_ps(-1.0f), scale = _mm_set1_ps(kShortScale);
    auto scaled = [&](const float* p) {
        return _mm_cvtps_epi32(_mm_mul_ps(_mm_max_ps(_mm_min_ps(_mm_loadu_ps(p), top), bottom), scale));
    };
    for (; i + 8 <= count; i += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(scaled(in + i), scaled(in + i + 4)));
#endif
    for (; i < count; ++i) out[i] = FloatToShort(in[i]);
}

}  // namespace

Limiter::Limiter(int rate)
    // Back to full gain with a time constant of 150 ms: quick enough to be unheard after a peak,
    // slow enough not to follow the waveform itself.
    : releaseCoef_(static_cast<float>(std::exp(-1.0 / (0.15 * rate)))),
      delay_(std::size_t{kLookahead} * SdlMixer::kChannels),
      reduction_(kLookahead),
      wedgeAt_(kLookahead),
      wedgeGain_(kLookahead) {}

void Limiter::Reset() noexcept {
    std::fill(delay_.begin(), delay_.end(), 0.0f);
    std::fill(reduction_.begin(), reduction_.end(), 0.0f);
    wedgeHead_ = wedgeSize_ = 0;
    reductionSum_ = 0;
    reductionCount_ = 0;
    gain_ = 1.0f;
    at_ = 0;
}

void Limiter::Process(float* frames, int count) noexcept {
    constexpr int L = kLookahead, mask = kLookahead - 1;
    static_assert((L & mask) == 0, "the look-ahead must be a power of two");
    if (wedgeSize_ == 0 && reductionCount_ == 0 && gain_ == 1.0f &&
        PeakOf(frames, static_cast<std::size_t>(count) * 2) <= kCeiling) {
        // Nothing to limit, now or in the look-ahead: only the delay. Slot i & mask holds frame
        // i; the L - 1 frames before at_ are still to come out.
        constexpr int held = L - 1;
        if (count < L) {
            for (int k = 0; k < count; ++k, ++at_) {
                float* f = frames + 2 * k;
                float* in = &delay_[static_cast<std::size_t>(at_ & mask) * 2];
                const float* out = &delay_[static_cast<std::size_t>((at_ + 1) & mask) * 2];
                in[0] = f[0];
                in[1] = f[1];
                f[0] = out[0];
                f[1] = out[1];
            }
            return;
        }
        float before[2 * held];
        for (int k = 0; k < held; ++k) {
            const float* from = &delay_[static_cast<std::size_t>((at_ + 1 + k) & mask) * 2];
            before[2 * k] = from[0];
            before[2 * k + 1] = from[1];
        }
        for (int k = count - held; k < count; ++k) {
            float* to = &delay_[static_cast<std::size_t>((at_ + k) & mask) * 2];
            to[0] = frames[2 * k];
            to[1] = frames[2 * k + 1];
        }
        std::memmove(frames + 2 * held, frames, static_cast<std::size_t>(count - held) * 2 * sizeof(float));
        std::memcpy(frames, before, sizeof before);
        at_ += count;
        return;
    }
    // For frame i, m(i) is the least gain any of the last kLookahead frames needs (kept in a
    // wedge: a queue of rising gains), and the gain applied to frame i - kLookahead + 1 is the
    // mean of the last kLookahead m: every m in that mean covers that frame, so the mean is low
    // enough for it, and it moves in a ramp rather than a step.
    for (int k = 0; k < count; ++k, ++at_) {
        float* f = frames + 2 * k;
        const float peak = std::max(std::fabs(f[0]), std::fabs(f[1]));
        if (wedgeSize_ > 0 && wedgeAt_[wedgeHead_] <= at_ - L) {
            wedgeHead_ = (wedgeHead_ + 1) & mask;
            --wedgeSize_;
        }
        if (peak > kCeiling) {
            const float need = kCeiling / peak;
            while (wedgeSize_ > 0 && wedgeGain_[(wedgeHead_ + wedgeSize_ - 1) & mask] >= need) --wedgeSize_;
            const int slot = (wedgeHead_ + wedgeSize_) & mask;
            wedgeAt_[slot] = at_;
            wedgeGain_[slot] = need;
            ++wedgeSize_;
        }
        const float least = wedgeSize_ > 0 ? wedgeGain_[wedgeHead_] : 1.0f;

        const int slot = static_cast<int>(at_ & mask);
        const float old = reduction_[slot], now = 1.0f - least;
        reductionCount_ += (now != 0.0f) - (old != 0.0f);
        reductionSum_ += static_cast<double>(now) - old;
        reduction_[slot] = now;
        if (reductionCount_ == 0) reductionSum_ = 0;  // no drift once the window is clear
        const float wanted = 1.0f - static_cast<float>(reductionSum_ / L);
        gain_ = wanted < gain_ ? wanted : wanted - (wanted - gain_) * releaseCoef_;
        if (gain_ > 0.99999f) gain_ = 1.0f;  // a step of -0.0001 dB, and the quick path again

        // The delay line: frame at_ goes in, frame at_ - L + 1 comes out.
        float* in = &delay_[static_cast<std::size_t>(slot) * 2];
        float* out = &delay_[static_cast<std::size_t>((at_ + 1) & mask) * 2];
        in[0] = f[0];
        in[1] = f[1];
        f[0] = std::clamp(out[0] * gain_, -kCeiling, kCeiling);
        f[1] = std::clamp(out[1] * gain_, -kCeiling, kCeiling);
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
    // SDL would otherwise take over SIGINT and SIGTERM (its audio brings up its event queue) and
    // turn them into events no one reads: the program could no longer be stopped that way.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
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
    std::lock_guard life(LifecycleMutex());
    bool first = false;
    {
        std::lock_guard lock(voicesMutex_);
        if (std::find(voices_.begin(), voices_.end(), voice) != voices_.end()) return;
        if (device_) SDL_LockAudioDevice(device_);
        voices_.push_back(voice);
        if (device_) SDL_UnlockAudioDevice(device_);
        first = voices_.size() == 1;
    }
    if (first) {
        stopDecoder_.store(false);
        decoder_ = std::thread(&SdlMixer::DecoderLoop, this);
    }
}

void SdlMixer::Start() {
    std::optional<QString> notice;
    StartDevice(notice);
    // Outside the locks: the handler may well ask the mixer something.
    if (notice) Notify(*notice);
}

void SdlMixer::StartDevice(std::optional<QString>& notice) {
    std::lock_guard life(LifecycleMutex());
    std::lock_guard lock(voicesMutex_);
    if (device_ != 0) {
        // Running already; a closing decided before the voice sounded is called off.
        SDL_LockAudioDevice(device_);
        silentCallbacks_ = 0;
        idle_.store(false);
        SDL_UnlockAudioDevice(device_);
        return;
    }
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
    limiter_.Reset();
    tailFrames_ = 0;
    tailPending_.store(false);
    silentCallbacks_ = 0;
    idle_.store(false);
    SDL_PauseAudioDevice(device_, 0);
}

void SdlMixer::Detach(MixerVoice* voice, bool forGood) {
    std::lock_guard life(LifecycleMutex());
    bool last = false;
    {
        std::lock_guard lock(voicesMutex_);
        auto it = std::find(voices_.begin(), voices_.end(), voice);
        if (it == voices_.end()) {
            // A recording kept open after its last voice left ends when one of them goes.
            if (forGood && voices_.empty()) CloseDevice();
            return;
        }
        if (device_) SDL_LockAudioDevice(device_);
        voices_.erase(it);
        if (device_) SDL_UnlockAudioDevice(device_);
        last = voices_.empty();
    }
    if (!last) return;
    stopDecoder_.store(true);
    WakeDecoder();
    if (decoder_.joinable()) decoder_.join();
    while (wake_.try_acquire()) {
    }
    wakePending_.store(false);
    // A deck stopped just now still fades out in the next callback; let it be heard (the
    // callback comes within a device buffer, about 186 ms).
    for (int i = 0; i < 50 && device_ != 0 && tailPending_.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::lock_guard lock(voicesMutex_);
    if (!forGood && driver_ == QStringLiteral("disk")) return;  // the recording goes on, silent
    CloseDevice();
}

void SdlMixer::CloseIfIdle() {
    // Attach, Detach and Start hold this while they wait for the decoder thread or the device:
    // never wait for it here, the next silent callback asks again.
    std::unique_lock life(LifecycleMutex(), std::try_to_lock);
    if (!life.owns_lock()) return;
    std::lock_guard lock(voicesMutex_);
    if (device_ == 0 || driver_ == QStringLiteral("disk")) return;
    SDL_LockAudioDevice(device_);
    bool quiet = silentCallbacks_ >= kIdleCallbacks && tailFrames_ == 0;
    for (MixerVoice* v : voices_) quiet = quiet && !v->Sounding();
    SDL_UnlockAudioDevice(device_);
    if (quiet) CloseDevice();
}

void SdlMixer::WithCallbackHeld(const std::function<void()>& fn) {
    std::lock_guard life(LifecycleMutex());
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

void SdlMixer::AddToTail(int frame, float left, float right) noexcept {
    // Only heard while the output runs; a closed output has nothing to fade.
    if (device_ == 0 || frame < 0 || frame >= kRampFrames) return;
    tail_[static_cast<std::size_t>(frame) * 2] += left;
    tail_[static_cast<std::size_t>(frame) * 2 + 1] += right;
    tailFrames_ = std::max(tailFrames_, frame + 1);
    tailPending_.store(true, std::memory_order_relaxed);
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
    // The voices are summed in float and limited, then written as 16-bit samples.
    bool refill = false, sounded = tailFrames_ > 0;
    for (int done = 0; done < frames;) {
        const int n = std::min(frames - done, kMixFrames);
        float* mix = mix_.data();
        std::fill(mix, mix + static_cast<std::size_t>(n) * kChannels, 0.0f);
        if (tailFrames_ > 0) {
            const int t = std::min(tailFrames_, n);
            for (int i = 0; i < t * kChannels; ++i) mix[i] += tail_[static_cast<std::size_t>(i)];
            std::fill(tail_.begin(), tail_.end(), 0.0f);
            tailFrames_ = 0;
        }
        for (MixerVoice* v : voices_) {
            const MixerVoice::Mixed m = v->MixInto(mix, n);
            if (m.underrun) underruns_.fetch_add(1, std::memory_order_relaxed);
            sounded = sounded || m.wrote;
            refill = refill || v->WantsRefill();
        }
        limiter_.Process(mix, n);
        MixToShorts(out + static_cast<std::size_t>(done) * kChannels, mix, static_cast<std::size_t>(n) * kChannels);
        done += n;
    }
    tailPending_.store(false, std::memory_order_relaxed);
    if (sounded) {
        silentCallbacks_ = 0;
    } else if (++silentCallbacks_ >= kIdleCallbacks) {
        // Nothing to hear for a while: the decoder thread closes the output.
        idle_.store(true, std::memory_order_relaxed);
        refill = true;
    }
    if (refill) WakeDecoder();
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
        if (idle_.exchange(false)) CloseIfIdle();
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
