#include "playback/track_analysis.h"

#include "playback/real_deck.h"
#include "playback/sdl_mixer.h"
#include "tags/ID3v2Tag.h"

#include <QFile>
#include <ebur128.h>
#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <memory>
#include <vector>

namespace playback {

namespace {

constexpr sf_count_t kChunkFrames = 8192;

// The number at the start of a ReplayGain value ("-6.48 dB", "+2.1", "0,95"); nothing when there
// is none or something other than a unit follows it.
std::optional<double> ParseGainValue(std::u16string_view text) {
    std::string s;
    for (char16_t c : text) {
        if (c > 0x7f) return std::nullopt;
        s += static_cast<char>(c == u',' ? u'.' : c);
    }
    auto begin = s.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::nullopt;
    if (s[begin] == '+') ++begin;
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data() + begin, s.data() + s.size(), value);
    if (ec != std::errc() || !std::isfinite(value)) return std::nullopt;
    std::string rest(end, static_cast<const char*>(s.data() + s.size()));
    std::erase_if(rest, [](char c) { return c == ' ' || c == '\t'; });
    std::transform(rest.begin(), rest.end(), rest.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
    if (!rest.empty() && rest != "db") return std::nullopt;
    return value;
}

bool SameDescription(std::u16string_view a, std::u16string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char16_t x, char16_t y) {
        auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
        return lower(x) == lower(y);
    });
}

struct SndFileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

// libebur128 at the mix rate or above. Its weighting filter is made for the rate it is given and
// strays at low rates (a fuzzed 11 kHz file read 0.6 LU off), so a file below the mix rate is
// resampled first, as the decks resample it.
class LoudnessMeter {
public:
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;
    LoudnessMeter(int channels, int rate) : channels_(channels) {
        const int meterRate = std::max(rate, SdlMixer::kRate);
        state_ = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(meterRate), EBUR128_MODE_I);
        if (state_ && channels == 1) ebur128_set_channel(state_, 0, EBUR128_DUAL_MONO);
        if (meterRate == rate) return;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        resampler_ = soxr_create(rate, meterRate, static_cast<unsigned>(channels), nullptr, &io, &quality, nullptr);
        out_.resize(static_cast<size_t>(kOutFrames) * channels);
    }
    ~LoudnessMeter() {
        if (resampler_) soxr_delete(resampler_);
        if (state_) ebur128_destroy(&state_);
    }
    bool Ready() const { return state_ && (resampler_ || out_.empty()); }

    bool Add(const float* frames, size_t count) {
        if (!resampler_) return ebur128_add_frames_float(state_, frames, count) == EBUR128_SUCCESS;
        while (count > 0) {
            size_t used = 0, made = 0;
            if (soxr_process(resampler_, frames, count, &used, out_.data(), kOutFrames, &made)) return false;
            if (made > 0 && ebur128_add_frames_float(state_, out_.data(), made) != EBUR128_SUCCESS) return false;
            frames += used * channels_;
            count -= used;
            if (used == 0 && made == 0) return false;
        }
        return true;
    }

    // Integrated loudness; none below the absolute gate (-70 LUFS) or shorter than one 400 ms block.
    std::optional<double> Loudness() {
        // What the resampler still holds belongs to the end of the track.
        for (size_t made = 1; resampler_ && made > 0;) {
            made = 0;
            if (soxr_process(resampler_, nullptr, 0, nullptr, out_.data(), kOutFrames, &made)) break;
            if (made > 0) ebur128_add_frames_float(state_, out_.data(), made);
        }
        double lufs = -HUGE_VAL;
        if (ebur128_loudness_global(state_, &lufs) != EBUR128_SUCCESS || !std::isfinite(lufs) || lufs <= -70)
            return std::nullopt;
        return lufs;
    }

private:
    static constexpr size_t kOutFrames = 4 * kChunkFrames;
    const int channels_;
    ebur128_state* state_ = nullptr;
    soxr_t resampler_ = nullptr;
    std::vector<float> out_;
};

}  // namespace

std::optional<ReplayGain> ReadReplayGain(const std::filesystem::path& path) {
    tags::TID3v2Tag tag;
    if (tag.ReadFromFile(path) != tags::MP3ERR_None) return std::nullopt;
    std::optional<double> gain, peak;
    for (const tags::TID3v2Frame* f : tag.GetAllUserTextFrames()) {
        std::u16string description;
        const std::u16string value = f->GetUserText(description);
        if (!gain && SameDescription(description, u"REPLAYGAIN_TRACK_GAIN")) gain = ParseGainValue(value);
        if (!peak && SameDescription(description, u"REPLAYGAIN_TRACK_PEAK")) peak = ParseGainValue(value);
    }
    // Beyond these the value is a typing error, not a gain anyone would apply.
    if (!gain || std::fabs(*gain) > 60) return std::nullopt;
    ReplayGain rg;
    rg.trackGainDb = *gain;
    if (peak && *peak > 0 && *peak < 100) rg.trackPeak = peak;
    return rg;
}

TrackAnalysis AnalyseTrack(const std::filesystem::path& path, const std::atomic<bool>* cancel) {
    TrackAnalysis a;
    const std::optional<ReplayGain> rg = ReadReplayGain(path);
    std::unique_ptr<SNDFILE, SndFileCloser> file;
    SF_INFO info{};
    try {
        file.reset(OpenSoundFile(QFile::decodeName(path.c_str()), info));
    } catch (const DeckError& e) {
        a.error = e.what();
        return a;
    }
    // The decks play the first two channels (a mono file on both sides), so that is what is
    // measured: a mono file counts as dual mono, as it is heard.
    const int channels = std::min(info.channels, 2);
    std::optional<LoudnessMeter> meter;
    if (!rg) {
        meter.emplace(channels, info.samplerate);
        if (!meter->Ready()) {
            a.error = "Cannot measure the loudness of this file.";
            return a;
        }
    }

    const float threshold = static_cast<float>(std::pow(10.0, kAudibleDbfs / 20));
    std::vector<float> decoded(static_cast<size_t>(kChunkFrames) * info.channels), picked;
    if (info.channels > 2) picked.resize(static_cast<size_t>(kChunkFrames) * 2);
    std::int64_t frames = 0, firstAudible = -1, lastAudible = -1;
    float peak = 0;
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            a.error = "The analysis was stopped.";
            return a;
        }
        const sf_count_t got = sf_readf_float(file.get(), decoded.data(), kChunkFrames);
        if (got <= 0) break;
        const float* samples = decoded.data();
        if (info.channels > 2) {
            for (sf_count_t i = 0; i < got; ++i) {
                picked[static_cast<size_t>(2 * i)] = decoded[static_cast<size_t>(i * info.channels)];
                picked[static_cast<size_t>(2 * i + 1)] = decoded[static_cast<size_t>(i * info.channels + 1)];
            }
            samples = picked.data();
        }
        const size_t count = static_cast<size_t>(got) * channels;
        float chunkPeak = 0;
        for (size_t i = 0; i < count; ++i) chunkPeak = std::max(chunkPeak, std::fabs(samples[i]));
        peak = std::max(peak, chunkPeak);
        if (chunkPeak > threshold) {
            // Only chunks with sound in them are searched for its first and last moment.
            size_t first = 0, last = count;
            if (firstAudible < 0) {
                while (std::fabs(samples[first]) <= threshold) ++first;
                firstAudible = frames + static_cast<std::int64_t>(first / channels);
            }
            while (std::fabs(samples[last - 1]) <= threshold) --last;
            lastAudible = frames + static_cast<std::int64_t>((last - 1) / channels);
        }
        if (meter && !meter->Add(samples, static_cast<size_t>(got))) {
            a.error = "Cannot measure the loudness of this file.";
            return a;
        }
        frames += got;
    }

    a.ok = true;
    a.lengthMs = FramesToMs(frames, info.samplerate);
    a.peak = peak;
    if (firstAudible >= 0) {
        a.audibleStartMs = FramesToMs(firstAudible, info.samplerate);
        // Rounded up: the end is where the last audible frame has been heard in full.
        const std::int64_t end = lastAudible + 1;
        a.audibleEndMs = std::min<std::int64_t>(a.lengthMs, (end * 1000 + info.samplerate - 1) / info.samplerate);
    }
    if (rg) {
        a.fromTags = true;
        a.loudness = kReplayGainReferenceLufs - rg->trackGainDb;
        // The tag's peak may come from another decoder: the higher of the two keeps the gain safe.
        if (rg->trackPeak) a.peak = std::max(a.peak, *rg->trackPeak);
    } else {
        a.loudness = meter->Loudness();
    }
    return a;
}

double LevelingGainDb(const TrackAnalysis& a, double targetLufs) {
    if (!a.ok || !a.loudness || !std::isfinite(*a.loudness)) return 0;
    double gain = std::min(targetLufs - *a.loudness, kMaxLiftDb);
    if (a.peak > 0) gain = std::min(gain, kPeakCeilingDbfs - 20 * std::log10(a.peak));
    return gain;
}

int AudibleStartMs(const TrackAnalysis& a) { return a.ok ? a.audibleStartMs : 0; }

int AudibleEndMs(const TrackAnalysis& a, int lengthMs) {
    if (!a.ok || a.audibleEndMs <= a.audibleStartMs) return lengthMs;
    return std::min(a.audibleEndMs, lengthMs);
}

}  // namespace playback
