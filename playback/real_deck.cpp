#include "playback/real_deck.h"

#include "playback/probe_deck.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>

namespace playback {

SNDFILE* OpenSoundFile(const QString& path, SF_INFO& info) {
    info = SF_INFO{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f) throw DeckError(sf_strerror(nullptr));
    if (info.channels <= 0 || info.samplerate < TRealDeck::kMinRate || info.samplerate > TRealDeck::kMaxRate) {
        sf_close(f);
        throw DeckError(QStringLiteral("Unsupported audio format (%1 channels at %2 Hz).")
                            .arg(info.channels)
                            .arg(info.samplerate)
                            .toStdString());
    }
    return f;
}

int FramesToMs(std::int64_t frames, int rate) {
    // Split so that a frame count near the type's limit (an unknown length) cannot overflow.
    frames = std::max<std::int64_t>(frames, 0);
    const std::int64_t ms = frames / rate * 1000 + frames % rate * 1000 / rate;
    return static_cast<int>(std::min<std::int64_t>(ms, INT32_MAX));
}

int SoundFileLengthMs(const SF_INFO& info, const std::optional<MpegLength>& mpeg) {
    const int ms = FramesToMs(info.frames, info.samplerate);
    // For MPEG audio without a usable Xing header libsndfile estimates the length from the file's
    // size (tags included) and stops decoding there: the track ends at the shorter of the two.
    if (mpeg && (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) return std::min(ms, mpeg->ms);
    return ms;
}

TRealDeck::TRealDeck() : ring_(new std::int16_t[kRingFrames * SdlMixer::kChannels]()) {
    static_assert((kRingFrames & (kRingFrames - 1)) == 0, "the ring size must be a power of two");
}

TRealDeck::~TRealDeck() { Release(); }

void TRealDeck::Halt() {
    SdlMixer::Instance().WithCallbackHeld([this] { playing_.store(false, std::memory_order_release); });
}

void TRealDeck::Release() {
    Halt();
    if (attached_) {
        SdlMixer::Instance().Detach(this);
        attached_ = false;
    }
    std::lock_guard lock(decodeMutex_);
    if (file_) sf_close(file_);
    file_ = nullptr;
    mode_ = mpStopped;
    length_ = 0;
    startFrame_ = 0;
}

void TRealDeck::Open() {
    Release();
    SF_INFO info{};
    SNDFILE* f = OpenSoundFile(fileName_, info);
    std::lock_guard lock(decodeMutex_);
    file_ = f;
    fileRate_ = info.samplerate;
    fileChannels_ = info.channels;
    step_ = static_cast<double>(fileRate_) / SdlMixer::kRate;
    decoded_.assign(static_cast<size_t>(kChunkFrames) * fileChannels_, 0.0f);
    stereo_.assign(static_cast<size_t>(kChunkFrames + 1) * SdlMixer::kChannels, 0.0f);
    converted_.assign(static_cast<size_t>(kOutFrames) * SdlMixer::kChannels, 0.0f);
    length_ = SoundFileLengthMs(info, MeasureMpeg(QFile::encodeName(fileName_).toStdString()));
    startFrame_ = 0;
    mode_ = mpStopped;
    SdlMixer::Instance().WithCallbackHeld([this] { ResetStreamLocked(); });
}

void TRealDeck::ResetStreamLocked() noexcept {
    playing_.store(false, std::memory_order_relaxed);
    readPos_.store(0, std::memory_order_relaxed);
    writePos_.store(0, std::memory_order_relaxed);
    played_.store(0, std::memory_order_relaxed);
    eof_.store(false, std::memory_order_relaxed);
    finished_.store(false, std::memory_order_relaxed);
    hasLast_ = false;
    phase_ = 0.0;
}

void TRealDeck::Play() {
    if (!file_) return;
    if (finished_.load(std::memory_order_acquire)) {
        mode_ = mpStopped;  // at the end: nothing left until the position moves
        return;
    }
    auto& mixer = SdlMixer::Instance();
    if (!attached_) {
        try {
            mixer.Attach(this);
        } catch (const std::exception& e) {
            throw DeckError(e.what());
        }
        attached_ = true;
    }
    {
        // Start with enough buffered that the first callbacks never find it empty.
        std::lock_guard lock(decodeMutex_);
        const SubnormalsAsZero fast;
        FillLocked(kStartFrames);
    }
    playing_.store(true, std::memory_order_release);
    mode_ = mpPlaying;
    mixer.WakeDecoder();
}

void TRealDeck::Pause() {
    if (Mode() != mpPlaying) return;
    Halt();
    mode_ = mpPaused;
}

void TRealDeck::Stop() {
    if (!file_) return;
    Halt();
    mode_ = mpStopped;
}

void TRealDeck::Close() {
    if (!file_) return;
    Release();
}

TMPModes TRealDeck::Mode() const {
    if (!file_) return mpStopped;
    if (mode_ == mpPlaying && finished_.load(std::memory_order_acquire)) return mpStopped;
    return mode_;
}

int TRealDeck::Position() const {
    if (!file_) return 0;
    if (finished_.load(std::memory_order_acquire)) return length_;
    const std::int64_t played = static_cast<std::int64_t>(played_.load(std::memory_order_acquire));
    const std::int64_t ms = startFrame_ * 1000 / fileRate_ + played * 1000 / SdlMixer::kRate;
    return static_cast<int>(std::min<std::int64_t>(ms, length_));
}

void TRealDeck::SetPosition(int ms) {
    if (!file_) return;
    ms = std::clamp(ms, 0, length_);
    const std::int64_t frame = static_cast<std::int64_t>(ms) * fileRate_ / 1000;
    mode_ = mpStopped;
    std::lock_guard lock(decodeMutex_);
    SdlMixer::Instance().WithCallbackHeld([this] { ResetStreamLocked(); });
    if (sf_seek(file_, frame, SEEK_SET) < 0) {
        const std::string error = sf_strerror(file_);
        sf_seek(file_, 0, SEEK_SET);
        startFrame_ = 0;
        throw DeckError(error);
    }
    startFrame_ = frame;
}

bool TRealDeck::WantsRefill() const noexcept {
    if (!playing_.load(std::memory_order_relaxed) || eof_.load(std::memory_order_relaxed)) return false;
    const std::uint64_t buffered =
        writePos_.load(std::memory_order_relaxed) - readPos_.load(std::memory_order_relaxed);
    return buffered < kRingFrames / 2;
}

void TRealDeck::Refill() noexcept {
    // Topping up a little at every pass would make many short decoding runs, each of them slow.
    if (!WantsRefill()) return;
    std::lock_guard lock(decodeMutex_);
    FillLocked();
}

void TRealDeck::FillLocked(std::uint64_t limit) noexcept {
    if (!file_ || eof_.load(std::memory_order_relaxed)) return;
    constexpr int ch = SdlMixer::kChannels;
    for (;;) {
        const std::uint64_t w = writePos_.load(std::memory_order_relaxed);
        const std::uint64_t r = readPos_.load(std::memory_order_acquire);
        if (w - r >= limit) return;
        const std::uint64_t room = kRingFrames - (w - r);
        if (room < kChunkFrames) return;  // wait until a worthwhile piece is free

        const float* frames = decoded_.data();  // interleaved stereo at the mix rate
        std::uint64_t count = 0;
        if (step_ == 1.0 && fileChannels_ == ch) {
            const auto want = static_cast<sf_count_t>(std::min(kChunkFrames, limit - (w - r)));
            const sf_count_t got = sf_readf_float(file_, decoded_.data(), want);
            if (got <= 0) {
                eof_.store(true, std::memory_order_release);
                return;
            }
            count = static_cast<std::uint64_t>(got);
        } else {
            count = ConvertChunkLocked(std::min(room, kOutFrames));
            if (count == 0) return;
            frames = converted_.data();
        }

        const std::uint64_t at = w & kRingMask;
        const std::uint64_t first = std::min(count, kRingFrames - at);
        FloatsToShorts(&ring_[at * ch], frames, first * ch);
        FloatsToShorts(&ring_[0], frames + first * ch, (count - first) * ch);
        writePos_.store(w + count, std::memory_order_release);
    }
}

std::uint64_t TRealDeck::ConvertChunkLocked(std::uint64_t space) noexcept {
    constexpr int ch = SdlMixer::kChannels;
    // As many input frames as fit `space` once resampled (two frames spare for rounding).
    const auto want = static_cast<sf_count_t>(
        std::min<double>(kChunkFrames, std::floor(static_cast<double>(space - 2) * step_)));
    if (want < 1) return 0;
    const sf_count_t got = sf_readf_float(file_, decoded_.data(), want);
    if (got <= 0) {
        eof_.store(true, std::memory_order_release);
        return 0;
    }

    // To stereo, after the frame carried over from the previous chunk.
    const size_t carry = hasLast_ ? 1 : 0;
    float* in = stereo_.data();
    for (sf_count_t i = 0; i < got; ++i) {
        const float* src = &decoded_[static_cast<size_t>(i) * fileChannels_];
        float* dst = &in[(carry + static_cast<size_t>(i)) * ch];
        dst[0] = src[0];
        dst[1] = fileChannels_ > 1 ? src[1] : src[0];
    }
    const size_t n = carry + static_cast<size_t>(got);

    float* out = converted_.data();
    if (step_ == 1.0) {
        for (size_t i = carry; i < n; ++i, out += ch) {
            out[0] = in[i * ch];
            out[1] = in[i * ch + 1];
        }
    } else {
        // Linear interpolation; phase_ is measured from in[0].
        double pos = phase_;
        while (pos < static_cast<double>(n - 1)) {
            const size_t i = static_cast<size_t>(pos);
            const float f = static_cast<float>(pos - static_cast<double>(i));
            const float* a = &in[i * ch];
            const float* b = a + ch;
            out[0] = a[0] + (b[0] - a[0]) * f;
            out[1] = a[1] + (b[1] - a[1]) * f;
            out += ch;
            pos += step_;
        }
        phase_ = pos - static_cast<double>(n - 1);
    }
    in[0] = in[(n - 1) * ch];
    in[1] = in[(n - 1) * ch + 1];
    hasLast_ = true;
    return static_cast<std::uint64_t>(out - converted_.data()) / ch;
}

MixerVoice::Mixed TRealDeck::MixInto(std::int16_t* out, int frames, bool overwrite) noexcept {
    if (!playing_.load(std::memory_order_acquire)) return {};
    // Reading eof_ first: once it is seen, every frame the decoder wrote is visible.
    const bool eof = eof_.load(std::memory_order_acquire);
    const std::uint64_t r = readPos_.load(std::memory_order_relaxed);
    const std::uint64_t avail = writePos_.load(std::memory_order_acquire) - r;
    const std::uint64_t n = std::min<std::uint64_t>(avail, static_cast<std::uint64_t>(frames));
    constexpr int ch = SdlMixer::kChannels;
    // At most two spans: up to the ring's end, then from its start.
    const std::uint64_t at = r & kRingMask;
    const std::uint64_t first = std::min<std::uint64_t>(n, kRingFrames - at);
    if (overwrite) {
        std::memcpy(out, &ring_[at * ch], first * ch * sizeof(std::int16_t));
        std::memcpy(out + first * ch, &ring_[0], (n - first) * ch * sizeof(std::int16_t));
        std::memset(out + n * ch, 0, (static_cast<std::uint64_t>(frames) - n) * ch * sizeof(std::int16_t));
    } else {
        AddShorts(out, &ring_[at * ch], first * ch);
        AddShorts(out + first * ch, &ring_[0], (n - first) * ch);
    }
    readPos_.store(r + n, std::memory_order_release);
    played_.fetch_add(n, std::memory_order_release);
    Mixed m;
    m.wrote = true;
    if (n == static_cast<std::uint64_t>(frames)) return m;
    if (eof) {
        finished_.store(true, std::memory_order_release);
        playing_.store(false, std::memory_order_release);
        return m;
    }
    m.underrun = true;
    return m;
}

std::unique_ptr<AudioDeck> MakeRealDeck() { return std::make_unique<TRealDeck>(); }

void SetAudioNoticeHandler(std::function<void(const QString&)> handler) {
    SdlMixer::Instance().SetNoticeHandler(std::move(handler));
}

}  // namespace playback
