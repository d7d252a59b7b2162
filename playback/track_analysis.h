#pragma once
// What one pass over a track finds out for playing it well: its loudness (EBU R128, or ReplayGain
// from its ID3v2 tag), its peak, and where its audible content starts and ends.
#include <atomic>
#include <filesystem>
#include <optional>
#include <string>

namespace playback {

struct TrackAnalysis {
    bool ok = false;      // false: the file could not be analysed, `error` says why
    std::string error;
    // Integrated loudness in LUFS; none for silence or a file too short to measure.
    std::optional<double> loudness;
    double peak = 0;      // highest sample magnitude, full scale 1
    bool fromTags = false;  // the loudness comes from the file's ReplayGain values
    int lengthMs = 0;     // what was decoded
    // First and last moment above kAudibleDbfs; both 0 when nothing is.
    int audibleStartMs = 0, audibleEndMs = 0;

    bool operator==(const TrackAnalysis&) const = default;
};

// Below this a stretch of a track counts as silence (room noise, dither, the hiss of a master).
inline constexpr double kAudibleDbfs = -50;
// The loudness ReplayGain values are relative to.
inline constexpr double kReplayGainReferenceLufs = -18;
// Leveling never lifts a track by more than this: enough for the quietest masters (about -30
// LUFS to a target of -14), while a near-silent recording stays quiet rather than turning its
// noise floor into music-loud hiss.
inline constexpr double kMaxLiftDb = 20;
// The highest peak leveling may aim at, a little under full scale.
inline constexpr double kPeakCeilingDbfs = -0.1;

// Decodes the file once, as the decks decode it. Never throws: a file that cannot be read gives
// ok false. A set `cancel` ends the pass early (ok false).
TrackAnalysis AnalyseTrack(const std::filesystem::path& path, const std::atomic<bool>* cancel = nullptr);

struct ReplayGain {
    double trackGainDb = 0;
    std::optional<double> trackPeak;
};
// REPLAYGAIN_TRACK_GAIN (and _PEAK) from the ID3v2 tag's user text frames; the description in
// any case, values such as "-6.48 dB" and "0.988"; none when absent or not a sensible number.
std::optional<ReplayGain> ReadReplayGain(const std::filesystem::path& path);

// The gain in dB that brings the track to `targetLufs`, lowered where its peak would pass
// kPeakCeilingDbfs and capped at kMaxLiftDb; 0 for a track that was not measured or failed.
double LevelingGainDb(const TrackAnalysis& a, double targetLufs);
// Where to start playing: the first audible moment (0 when unknown or silent throughout).
int AudibleStartMs(const TrackAnalysis& a);
// Where the music ends for a hand-over: the last audible moment, or `lengthMs` when unknown.
int AudibleEndMs(const TrackAnalysis& a, int lengthMs);

}  // namespace playback
