#include "playback/real_deck.h"

#include "playback/probe_deck.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>

namespace playback {

SNDFILE* OpenSoundFile(const QString& path, SF_INFO& info) {
    info = SF_INFO{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f) {
        // libsndfile's own text for a file it does not recognise speaks of pipes: say what the
        // DJ needs to know instead.
        const QFileInfo fi(path);
        const QString name = fi.fileName().isEmpty() ? path : fi.fileName();
        QString what;
        if (!fi.exists())
            what = QStringLiteral("Cannot play \"%1\": the file does not exist.").arg(name);
        else if (!fi.isFile())
            what = QStringLiteral("Cannot play \"%1\": it is not a file.").arg(name);
        else if (!fi.isReadable())
            what = QStringLiteral("Cannot play \"%1\": the file cannot be read.").arg(name);
        else
            what = QStringLiteral("Cannot play \"%1\": it is not a playable audio file.").arg(name);
        throw DeckError(what.toStdString());
    }
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

TRealDeck::~TRealDeck() { Release(true); }

void TRealDeck::Halt(bool endFade) {
    auto& mixer = SdlMixer::Instance();
    mixer.WithCallbackHeld([this, &mixer, endFade] {
        if (playing_.load(std::memory_order_relaxed)) {
            // What the next callback would have played goes out fading to nothing, and counts as
            // played: the position stands still from here on.
            constexpr int ch = SdlMixer::kChannels, ramp = SdlMixer::kRampFrames;
            const std::uint64_t r = readPos_.load(std::memory_order_relaxed);
            const std::uint64_t avail = writePos_.load(std::memory_order_acquire) - r;
            const int n = static_cast<int>(std::min<std::uint64_t>(avail, ramp));
            const float level = LevelNow();
            for (int i = 0; i < n; ++i) {
                const float in = rampIn_ > i ? 1.0f - static_cast<float>(rampIn_ - i) / ramp : 1.0f;
                const float g = level * in * static_cast<float>(ramp - i) / ramp / 32767.0f;
                const std::int16_t* f = &ring_[((r + static_cast<std::uint64_t>(i)) & kRingMask) * ch];
                mixer.AddToTail(i, f[0] * g, f[1] * g);
            }
            readPos_.store(r + static_cast<std::uint64_t>(n), std::memory_order_release);
            played_.fetch_add(static_cast<std::uint64_t>(n), std::memory_order_release);
            rampIn_ = 0;
        }
        playing_.store(false, std::memory_order_release);
        if (endFade) {
            CancelFade();
            fadedOut_.store(false, std::memory_order_relaxed);
        }
    });
}

void TRealDeck::Release(bool forGood) {
    Halt();
    // A deck that goes lets a recording kept open for it end, attached or not.
    if (attached_ || forGood) {
        SdlMixer::Instance().Detach(this, forGood);
        attached_ = false;
    }
    std::lock_guard lock(decodeMutex_);
    if (file_) sf_close(file_);
    file_ = nullptr;
    if (resampler_) soxr_delete(resampler_);
    resampler_ = nullptr;
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
    mpeg_ = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
    step_ = static_cast<double>(fileRate_) / SdlMixer::kRate;
    if (fileRate_ != SdlMixer::kRate) {
        // High quality (images and aliases below -100 dB); libsoxr's default single thread.
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_error_t error = nullptr;
        resampler_ = soxr_create(fileRate_, SdlMixer::kRate, SdlMixer::kChannels, &error, &io, &quality, nullptr);
        if (!resampler_) {
            sf_close(file_);
            file_ = nullptr;
            throw DeckError(std::string("Cannot resample the file: ") + (error ? error : "unknown error"));
        }
    }
    decoded_.assign(static_cast<size_t>(kChunkFrames) * fileChannels_, 0.0f);
    stereo_.assign(static_cast<size_t>(kChunkFrames) * SdlMixer::kChannels, 0.0f);
    converted_.assign(static_cast<size_t>(kOutFrames) * SdlMixer::kChannels, 0.0f);
    length_ = SoundFileLengthMs(info, MeasureMpeg(QFile::encodeName(fileName_).toStdString()));
    startFrame_ = 0;
    mode_ = mpStopped;
    SdlMixer::Instance().WithCallbackHeld([this] {
        ResetStreamLocked();
        // A new track starts at 0 dB and without a fade until told otherwise.
        gain_ = gainTarget_ = 1.0f;
        gainStep_ = 0.0f;
        gainGlide_ = 0;
        CancelFade();
        fadedOut_.store(false, std::memory_order_relaxed);
    });
}

void TRealDeck::ResetStreamLocked() noexcept {
    playing_.store(false, std::memory_order_relaxed);
    readPos_.store(0, std::memory_order_relaxed);
    writePos_.store(0, std::memory_order_relaxed);
    played_.store(0, std::memory_order_relaxed);
    eof_.store(false, std::memory_order_relaxed);
    finished_.store(false, std::memory_order_relaxed);
    rampIn_ = 0;
    pendingAt_ = pendingFrames_ = 0;
    drained_ = false;
    if (resampler_) soxr_clear(resampler_);
}

void TRealDeck::Play() {
    if (!file_) return;
    if (finished_.load(std::memory_order_acquire)) {
        mode_ = mpStopped;  // at the end: nothing left until the position moves
        return;
    }
    auto& mixer = SdlMixer::Instance();
    if (!attached_) {
        mixer.Attach(this);
        attached_ = true;
    }
    {
        // Start with enough buffered that the first callbacks never find it empty.
        std::lock_guard lock(decodeMutex_);
        const SubnormalsAsZero fast;
        FillLocked(kStartFrames);
    }
    mixer.WithCallbackHeld([this] {
        // After a fade-out the track goes on at its full level.
        if (fadedOut_.exchange(false, std::memory_order_relaxed)) CancelFade();
        // From silence the sound comes in over a few milliseconds rather than in one step.
        if (!playing_.load(std::memory_order_relaxed)) rampIn_ = SdlMixer::kRampFrames;
        playing_.store(true, std::memory_order_release);
    });
    mode_ = mpPlaying;
    try {
        mixer.Start();
    } catch (const std::exception& e) {
        Halt();
        mode_ = mpStopped;
        throw DeckError(e.what());
    }
    mixer.WakeDecoder();
}

void TRealDeck::Pause() {
    if (Mode() != mpPlaying) return;
    Halt();
    mode_ = mpPaused;
}

void TRealDeck::Stop() {
    if (!file_) return;
    Halt(true);
    mode_ = mpStopped;
}

void TRealDeck::Close() {
    if (!file_) return;
    Release();
}

TMPModes TRealDeck::Mode() const {
    if (!file_) return mpStopped;
    if (mode_ == mpPlaying &&
        (finished_.load(std::memory_order_acquire) || fadedOut_.load(std::memory_order_acquire)))
        return mpStopped;
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
    // Rounded up, so that Position reads back exactly `ms` (rounded down it would read one less
    // at 44.1 kHz for most values).
    const std::int64_t frame = (static_cast<std::int64_t>(ms) * fileRate_ + 999) / 1000;
    Halt();
    mode_ = mpStopped;
    std::lock_guard lock(decodeMutex_);
    SdlMixer::Instance().WithCallbackHeld([this] { ResetStreamLocked(); });
    // MPEG audio decoded straight after a seek is wrong for a few frames (they draw on data of
    // frames before them, which the decoder has not seen): seek further back and decode up to it.
    const std::int64_t from = mpeg_ ? std::max<std::int64_t>(0, frame - kSeekPrerollFrames) : frame;
    if (sf_seek(file_, from, SEEK_SET) < 0) {
        const std::string error = sf_strerror(file_);
        sf_seek(file_, 0, SEEK_SET);
        startFrame_ = 0;
        throw DeckError(error);
    }
    for (std::int64_t skip = frame - from; skip > 0;) {
        const sf_count_t got =
            sf_readf_float(file_, decoded_.data(), static_cast<sf_count_t>(std::min<std::int64_t>(skip, kChunkFrames)));
        if (got <= 0) break;
        skip -= got;
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
    for (;;) {
        if (pendingFrames_ == 0 && !drained_) {
            const sf_count_t got = sf_readf_float(file_, decoded_.data(), static_cast<sf_count_t>(kChunkFrames));
            if (got <= 0) {
                drained_ = true;
            } else {
                // To stereo first: the mix is stereo and the resampler then runs one way for all.
                float* dst = stereo_.data();
                for (sf_count_t i = 0; i < got; ++i, dst += ch) {
                    const float* src = &decoded_[static_cast<size_t>(i) * fileChannels_];
                    dst[0] = src[0];
                    dst[1] = fileChannels_ > 1 ? src[1] : src[0];
                }
                pendingAt_ = 0;
                pendingFrames_ = static_cast<std::uint64_t>(got);
            }
        }
        if (!resampler_) {
            const std::uint64_t n = std::min(pendingFrames_, space);
            std::memcpy(converted_.data(), &stereo_[pendingAt_ * ch], n * ch * sizeof(float));
            pendingAt_ += n;
            pendingFrames_ -= n;
            if (n == 0 && drained_) eof_.store(true, std::memory_order_release);
            if (n > 0 || drained_) return n;
            continue;
        }
        size_t used = 0, made = 0;
        // A null input tells the resampler the file has ended, so it gives out what it holds.
        const float* in = drained_ ? nullptr : &stereo_[pendingAt_ * ch];
        const soxr_error_t error = soxr_process(resampler_, in, drained_ ? 0 : pendingFrames_, &used,
                                                converted_.data(), space, &made);
        pendingAt_ += used;
        pendingFrames_ -= used;
        if (error || (made == 0 && drained_)) {
            eof_.store(true, std::memory_order_release);
            return 0;
        }
        if (made > 0) return made;
    }
}

MixerVoice::Mixed TRealDeck::MixInto(float* out, int frames) noexcept {
    if (!playing_.load(std::memory_order_acquire)) return {};
    // Reading eof_ first: once it is seen, every frame the decoder wrote is visible.
    const bool eof = eof_.load(std::memory_order_acquire);
    const std::uint64_t r = readPos_.load(std::memory_order_relaxed);
    const std::uint64_t avail = writePos_.load(std::memory_order_acquire) - r;
    const std::uint64_t n = std::min<std::uint64_t>(avail, static_cast<std::uint64_t>(frames));
    constexpr int ch = SdlMixer::kChannels;
    std::uint64_t done = 0;
    bool silent = false;  // a fade-out reached silence
    // The fade-in after Play, frame by frame.
    for (; done < n && rampIn_ > 0 && !silent; ++done, --rampIn_) {
        const float g = static_cast<float>(SdlMixer::kRampFrames - rampIn_ + 1) / SdlMixer::kRampFrames;
        AddShortsToMix(out + done * ch, &ring_[((r + done) & kRingMask) * ch], ch, g * LevelNow());
        AdvanceLevel(1);
        silent = fadeStep_ < 0 && fadePhase_ <= 0;
    }
    // Then in pieces while the level moves, and in one go once it holds still.
    while (done < n && !silent) {
        if (LevelSteady()) {
            AddRingFrames(out + done * ch, r + done, n - done, LevelNow(), LevelNow());
            done = n;
            break;
        }
        std::uint64_t k = std::min<std::uint64_t>(n - done, kLevelStepFrames);
        if (fadeStep_ < 0) {
            const auto left = static_cast<std::uint64_t>(std::max(1.0, std::ceil(fadePhase_ / -fadeStep_)));
            if (left <= k) {
                k = left;
                silent = true;
            }
        }
        const float g0 = LevelNow();
        AdvanceLevel(static_cast<int>(k));
        if (silent) fadePhase_ = 0;
        AddRingFrames(out + done * ch, r + done, k, g0, LevelNow());
        done += k;
    }
    readPos_.store(r + done, std::memory_order_release);
    played_.fetch_add(done, std::memory_order_release);
    Mixed m;
    m.wrote = true;
    if (silent) {
        // Faded out: the deck halts where its sound ended, as Stop would.
        fadeStep_ = 0;
        fadedOut_.store(true, std::memory_order_release);
        playing_.store(false, std::memory_order_release);
        return m;
    }
    if (n == static_cast<std::uint64_t>(frames)) return m;
    if (eof) {
        finished_.store(true, std::memory_order_release);
        playing_.store(false, std::memory_order_release);
        return m;
    }
    m.underrun = true;
    return m;
}

void TRealDeck::AddRingFrames(float* out, std::uint64_t at, std::uint64_t count, float g0, float g1) noexcept {
    constexpr int ch = SdlMixer::kChannels;
    // At most two spans: up to the ring's end, then from its start.
    const std::uint64_t from = at & kRingMask;
    const std::uint64_t first = std::min<std::uint64_t>(count, kRingFrames - from);
    if (g0 == g1) {
        AddShortsToMix(out, &ring_[from * ch], first * ch, g0);
        AddShortsToMix(out + first * ch, &ring_[0], (count - first) * ch, g0);
        return;
    }
    const float mid = g0 + (g1 - g0) * static_cast<float>(first) / static_cast<float>(count);
    AddShortsToMixGliding(out, &ring_[from * ch], first, g0, mid);
    AddShortsToMixGliding(out + first * ch, &ring_[0], count - first, mid, g1);
}

float TRealDeck::LevelNow() const noexcept {
    if (fadePhase_ >= 1.0) return gain_;
    return gain_ * static_cast<float>(std::sin(fadePhase_ * (std::numbers::pi / 2)));
}

void TRealDeck::AdvanceLevel(int frames) noexcept {
    if (gainGlide_ > 0) {
        if (frames >= gainGlide_) {
            gain_ = gainTarget_;
            gainGlide_ = 0;
        } else {
            gain_ += gainStep_ * static_cast<float>(frames);
            gainGlide_ -= frames;
        }
    }
    if (fadeStep_ != 0) {
        fadePhase_ += fadeStep_ * frames;
        if (fadePhase_ >= 1.0) {
            fadePhase_ = 1.0;
            fadeStep_ = 0;
        } else if (fadePhase_ < 0) {
            fadePhase_ = 0;
        }
    }
}

void TRealDeck::CancelFade() noexcept {
    fadePhase_ = 1.0;
    fadeStep_ = 0;
}

void TRealDeck::SetGain(double dB) {
    if (!std::isfinite(dB)) dB = 0;
    dB = std::clamp(dB, kMinGainDb, kMaxGainDb);
    const float target = dB == 0 ? 1.0f : static_cast<float>(std::pow(10.0, dB / 20));
    SdlMixer::Instance().WithCallbackHeld([this, target] {
        gainTarget_ = target;
        if (!playing_.load(std::memory_order_relaxed) || target == gain_) {
            gain_ = target;
            gainGlide_ = 0;
            return;
        }
        gainGlide_ = kGainGlideFrames;
        gainStep_ = (target - gain_) / kGainGlideFrames;
    });
}

namespace {
double MixFrames(int ms) { return static_cast<double>(ms) * SdlMixer::kRate / 1000; }
}  // namespace

void TRealDeck::FadeIn(int ms) {
    if (!file_) return;
    const bool paused = mode_ == mpPaused;
    SdlMixer::Instance().WithCallbackHeld([this, ms, paused] {
        if (playing_.load(std::memory_order_relaxed)) {
            // Already heard: only a fade under way turns up, never with a step.
            if (fadePhase_ < 1.0) fadeStep_ = 1.0 / std::max<double>(MixFrames(ms), SdlMixer::kRampFrames);
            return;
        }
        fadedOut_.store(false, std::memory_order_relaxed);
        if (ms <= 0) {
            CancelFade();
            return;
        }
        if (!paused) fadePhase_ = 0;  // a paused fade goes on from where it was
        fadeStep_ = 1.0 / MixFrames(ms);
    });
}

void TRealDeck::FadeOut(int ms) {
    if (!file_) return;
    bool heard = false;
    if (ms > 0 && Mode() == mpPlaying) {
        SdlMixer::Instance().WithCallbackHeld([this, ms, &heard] {
            heard = playing_.load(std::memory_order_relaxed);
            if (heard) fadeStep_ = -1.0 / std::max(1.0, MixFrames(ms));
        });
    }
    if (!heard) Stop();
}

std::unique_ptr<AudioDeck> MakeRealDeck() { return std::make_unique<TRealDeck>(); }

void SetAudioNoticeHandler(std::function<void(const QString&)> handler) {
    SdlMixer::Instance().SetNoticeHandler(std::move(handler));
}

}  // namespace playback
