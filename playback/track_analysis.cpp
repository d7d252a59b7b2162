#include "playback/track_analysis.h"

#include "playback/real_deck.h"
#include "tags/ID3v2Tag.h"

#include <QFile>
#include <ebur128.h>
#include <sndfile.h>

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
struct LoudnessMeterCloser {
    void operator()(ebur128_state* s) const { ebur128_destroy(&s); }
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
    std::unique_ptr<ebur128_state, LoudnessMeterCloser> meter;
    if (!rg) {
        meter.reset(ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(info.samplerate),
                                 EBUR128_MODE_I));
        if (!meter) {
            a.error = "Cannot measure the loudness of this file.";
            return a;
        }
        if (channels == 1) ebur128_set_channel(meter.get(), 0, EBUR128_DUAL_MONO);
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
        if (meter && ebur128_add_frames_float(meter.get(), samples, static_cast<size_t>(got)) != EBUR128_SUCCESS) {
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
        double lufs = -HUGE_VAL;
        // Below the absolute gate (-70 LUFS) or shorter than one 400 ms block there is nothing to level.
        if (ebur128_loudness_global(meter.get(), &lufs) == EBUR128_SUCCESS && std::isfinite(lufs) && lufs > -70)
            a.loudness = lufs;
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
