// Measuring tracks: loudness, peak and audible bounds of files of known content, the cache
// across runs, and the background analyser.
#include "playback/track_analyser.h"
#include "tags/ID3v2Tag.h"
#include "tests/support/sound_files.h"

#include <QTemporaryDir>

#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

using namespace playback;
using namespace test_support;
namespace fs = std::filesystem;

namespace {

fs::path PathOf(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

// A 997 Hz tone (what loudness meters are calibrated with) at `dbfs` between digital silences;
// in both channels, or dual mono, it reads `dbfs` LUFS.
QString WriteToneInSilence(const QTemporaryDir& dir, const QString& name, int format, int rate, int channels, double lead,
                  double tone, double trail, double dbfs) {
    const QString path = dir.filePath(name);
    WriteSound(path, format, rate, channels, lead + tone + trail, [=](sf_count_t i, int) {
        const double t = static_cast<double>(i) / rate - lead;
        return t >= 0 && t < tone ? std::pow(10.0, dbfs / 20) * std::sin(2 * std::numbers::pi * 997 * t) : 0.0;
    });
    return path;
}

TEST(TrackAnalysis, LoudnessPeakAndAudibleBoundsOfKnownFiles) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        int format, rate, channels;
        double lead, tone, trail, dbfs;
        std::vector<std::pair<const char16_t*, const char16_t*>> tags;  // ID3v2 user texts
        std::optional<double> loudness;
        bool fromTags;
        double peak;
    };
    const Case cases[] = {
        {"a WAV tone filling the file", kWav16, 44100, 2, 0, 5, 0, -20, {}, -20, false, 0.1},
        {"an MP3 between silences (gated out)", kMp3, 44100, 2, 1.5, 4, 6, -12, {}, -12, false, 0.2512},
        {"mono is heard on both sides", kWavFloat, 48000, 1, 0.25, 3, 0, -30, {}, -30, false, 0.0316},
        {"ReplayGain stands for the loudness; the higher peak counts", kMp3, 44100, 2, 0.5, 3, 1, -20,
         {{u"REPLAYGAIN_TRACK_GAIN", u"-4.50 dB"}, {u"REPLAYGAIN_TRACK_PEAK", u"0.5"}}, -13.5, true, 0.5},
        {"ReplayGain in lower case, a plus sign, no peak", kMp3, 44100, 2, 0, 3, 0, -20,
         {{u"replaygain_track_gain", u"+2.5 dB"}}, -20.5, true, 0.1},
        {"a ReplayGain value that is no number is measured over", kMp3, 44100, 2, 0, 3, 0, -20,
         {{u"REPLAYGAIN_TRACK_GAIN", u"loud"}}, -20, false, 0.1},
        {"silence throughout", kWav16, 44100, 2, 3, 0, 0, 0, {}, std::nullopt, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = WriteToneInSilence(dir, QString::fromLatin1(c.name) + (c.format == kMp3 ? ".mp3" : ".wav"), c.format,
                                       c.rate, c.channels, c.lead, c.tone, c.trail, c.dbfs);
        tags::TID3v2Tag tag;
        for (const auto& [description, value] : c.tags) tag.SetUserText(description, value);
        if (!c.tags.empty()) {
            ASSERT_EQ(tag.WriteToFile(PathOf(path)), tags::MP3ERR_None);
        }
        const TrackAnalysis a = AnalyseTrack(PathOf(path));
        ASSERT_TRUE(a.ok) << a.error;
        EXPECT_EQ(a.fromTags, c.fromTags);
        EXPECT_NEAR(a.loudness.value_or(-99), c.loudness.value_or(-99), 0.5);
        EXPECT_NEAR(a.peak, c.peak, c.peak * 0.03 + 0.001);
        EXPECT_NEAR(a.lengthMs, (c.lead + c.tone + c.trail) * 1000, 60);
        EXPECT_NEAR(AudibleStartMs(a), c.lead * 1000 * (c.tone > 0), 30);
        // Nothing audible: a hand-over counts from the file's end, and leveling leaves it alone.
        EXPECT_NEAR(AudibleEndMs(a, a.lengthMs), c.tone > 0 ? (c.lead + c.tone) * 1000 : a.lengthMs, 30);
        if (!c.loudness) {
            EXPECT_EQ(LevelingGainDb(a, -14), 0);
        }
    }

    // A file's rate does not change how loud it is heard: a 3 kHz tone, where the meter's
    // weighting rises, reads the same at 8 kHz as at 44.1 kHz (the weighting strays near the top
    // of a low rate's band unless the file is resampled first, as the decks resample it).
    std::optional<double> reference;
    for (int rate : {44100, 8000, 16000, 22050, 48000}) {
        const QString path = dir.filePath(QStringLiteral("high%1.wav").arg(rate));
        WriteTone(path, kWavFloat, rate, 1, 3000, 3, 0.1);
        const TrackAnalysis a = AnalyseTrack(PathOf(path));
        ASSERT_TRUE(a.loudness) << rate;
        if (!reference) reference = a.loudness;
        EXPECT_NEAR(*a.loudness, *reference, 0.2) << rate << " Hz";
    }

    // What cannot be analysed is a result that says why, not a crash, and plays at 0 dB.
    std::ofstream(PathOf(dir.filePath("notes.mp3"))) << "This is a text file, not audio.\n";
    for (const char* bad : {"notes.mp3", "missing.mp3"}) {
        const TrackAnalysis a = AnalyseTrack(PathOf(dir.filePath(bad)));
        EXPECT_FALSE(a.ok) << bad;
        EXPECT_NE(a.error.find(bad), std::string::npos) << a.error;
        EXPECT_EQ(LevelingGainDb(a, -14), 0) << bad;
        EXPECT_EQ(AudibleEndMs(a, 5000), 5000) << bad;
    }
}

TEST(TrackAnalysis, LevelingGainReachesTheTargetWithinItsLimits) {
    struct Case {
        const char* name;
        bool ok;
        std::optional<double> loudness;
        double peak, gain;  // the target is -14 LUFS
    };
    const Case cases[] = {
        {"a quiet track is lifted", true, -20, 0.1, 6},
        {"a loud track is lowered", true, -8, 1.0, -6},
        {"a lift stops just below full scale", true, -20, 0.8, 1.84},
        {"the quietest of masters is lifted all the way", true, -30, 0.1, 16},
        {"a near-silent track is lifted no more than 20 dB", true, -50, 0.003, 20},
        {"a peak over full scale lowers even a quiet track", true, -20, 1.5, -3.62},
        {"no loudness measured", true, std::nullopt, 0.5, 0},
        {"a failed analysis", false, -30, 0.1, 0},
    };
    for (const Case& c : cases) {
        TrackAnalysis a;
        a.ok = c.ok;
        a.loudness = c.loudness;
        a.peak = c.peak;
        EXPECT_NEAR(LevelingGainDb(a, -14), c.gain, 0.01) << c.name;
    }
}

TEST(AnalysisCache, FindsOnlyWhatStillMatchesAndSurvivesDamage) {
    QTemporaryDir dir;
    const fs::path folder = PathOf(dir.filePath("cache")), file = folder / AnalysisCache::kFileName;
    const fs::path track = PathOf(WriteToneInSilence(dir, "a\ttrack\nwith odd\\name.wav", kWav16, 44100, 2, 0.5, 1, 0.5, -20));
    const TrackAnalysis measured = AnalyseTrack(track);
    ASSERT_TRUE(measured.ok);

    AnalysisCache cache(folder);
    cache.Load();  // nothing there yet
    EXPECT_FALSE(cache.Lookup(track));
    cache.Store(track, measured);
    ASSERT_TRUE(cache.Save());
    AnalysisCache nextRun(folder);
    nextRun.Load();
    EXPECT_EQ(nextRun.Lookup(track), measured);
    // A changed file is measured anew: by its time, or by its size with the old time put back.
    const auto time = fs::last_write_time(track);
    fs::last_write_time(track, time + std::chrono::seconds(5));
    EXPECT_FALSE(cache.Lookup(track)) << "a newer file";
    fs::last_write_time(track, time);
    EXPECT_TRUE(cache.Lookup(track));
    std::ofstream(track, std::ios::app) << 'x';
    fs::last_write_time(track, time);
    EXPECT_FALSE(cache.Lookup(track)) << "a longer file";
    cache.Store(track, measured);
    ASSERT_TRUE(cache.Save());

    // Damage: every line that does not read back whole is skipped, the rest still count.
    std::string text((std::istreambuf_iterator<char>(std::ifstream(file, std::ios::binary).rdbuf())), {});
    const std::string header = text.substr(0, text.find('\n') + 1), line = text.substr(header.size());
    auto changed = [&](std::vector<std::pair<size_t, std::string>> fields) {  // `line`, used last, fields replaced
        std::vector<std::string> f(1);
        for (char ch : line.substr(0, line.size() - 1)) ch == '\t' ? void(f.emplace_back()) : f.back().push_back(ch);
        f[0] = "999999";
        for (const auto& [i, value] : fields) f.at(i) = value;
        std::string out;
        for (const std::string& x : f) out += (out.empty() ? "" : "\t") + x;
        return out + "\n";
    };
    struct Damage {
        const char* name;
        std::string text;
        bool found;
    };
    const Damage damages[] = {
        {"a cut line", header + line.substr(0, line.size() - 5), false},
        {"noise and broken lines", header + "\x01\x02 junk\n" + line.substr(line.find('\t') + 1) + "x" + line +
                                       std::string(300, '\0') + "\n" + line, true},
        {"a newer line whose end comes before its start", header + line + changed({{7, "8"}, {8, "5"}}), true},
        {"a newer line with a peak that is no number", header + line + changed({{4, "nan"}}), true},
        {"another program's file", "[settings]\n" + line, false},
    };
    for (const Damage& d : damages) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << d.text;
        AnalysisCache read(folder);
        read.Load();
        EXPECT_EQ(read.Lookup(track), d.found ? std::optional(measured) : std::nullopt) << d.name;
    }

    // Bounded: a cache grown past its size keeps the entries used last.
    std::string big = header + line;  // used before all the others
    for (size_t i = 0; i < AnalysisCache::kMaxEntries + 100; ++i)
        big += std::to_string(100 + i) + "\t1\t1\t-14\t0.5\t0\t1000\t0\t900\t/music/" + std::to_string(i) + ".mp3\n";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << big;
    AnalysisCache full(folder);
    full.Load();
    EXPECT_LE(full.Size(), AnalysisCache::kMaxEntries);
    EXPECT_GT(full.Size(), AnalysisCache::kMaxEntries / 2);
    EXPECT_FALSE(full.Lookup(track)) << "the oldest entry stays";

    // A folder that cannot be made: Save says so and keeps what it has for the next try.
    std::ofstream(PathOf(dir.filePath("blocked"))) << "a file where the folder should be";
    AnalysisCache blocked(PathOf(dir.filePath("blocked")) / "cache");
    blocked.Store(track, measured);
    EXPECT_FALSE(blocked.Save());
    EXPECT_TRUE(blocked.Lookup(track));
}

TEST(TrackAnalyser, DeliversEveryTrackFromTheCacheNextTimeAndStopsCleanly) {
    QTemporaryDir dir;
    std::vector<fs::path> paths;
    for (int i = 0; i < 3; ++i)
        paths.push_back(PathOf(WriteToneInSilence(dir, QStringLiteral("t%1.mp3").arg(i), kMp3, 44100, 2, 0.2, 1, 0.2, -10 - 5 * i)));
    std::ofstream(PathOf(dir.filePath("notes.mp3"))) << "not audio";
    paths.push_back(PathOf(dir.filePath("notes.mp3")));
    paths.push_back(PathOf(dir.filePath("gone.mp3")));

    std::mutex mutex;
    std::map<fs::path, TrackAnalysis> first, got;
    int delivered = 0;
    auto run = [&](std::shared_ptr<AnalysisCache> cache, const std::vector<fs::path>& add, bool batch = false) {
        got.clear();
        delivered = 0;
        TrackAnalyser analyser(std::move(cache), [&](const fs::path& p, const TrackAnalysis& a) {
            std::lock_guard lock(mutex);
            got.emplace(p, a);
            ++delivered;
        });
        if (batch) {
            // Made on the analyser's thread: a batch that fails is dropped, a path in it twice is
            // measured once.
            analyser.Add(TrackAnalyser::Batch([]() -> std::vector<fs::path> { throw std::runtime_error("gone"); }));
            analyser.Add(TrackAnalyser::Batch([add] {
                std::vector<fs::path> twice = add;
                twice.push_back(add.front());
                return twice;
            }));
        } else {
            for (const fs::path& p : add) analyser.Add(p);
        }
        for (int i = 0; i < 3000 && !analyser.Idle(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return analyser.Decoded();
    };
    const auto cache = [&] { return std::make_shared<AnalysisCache>(PathOf(dir.filePath("cache"))); };
    EXPECT_EQ(run(cache(), paths), 5u);
    ASSERT_EQ(got.size(), 5u);
    for (const auto& [path, a] : got) EXPECT_EQ(a.ok && a.loudness, path.stem() != "notes" && path.stem() != "gone") << path;
    first = got;
    // The next run finds the tracks in the cache as they were; only the failures are tried again.
    EXPECT_EQ(run(cache(), paths, true), 2u);
    EXPECT_EQ(got, first);
    EXPECT_EQ(delivered, 5);

    // Stopped with work waiting: it ends without delivering the rest and without hanging.
    const QString longTrack = WriteToneInSilence(dir, "long.wav", kWav16, 44100, 2, 0, 60, 0, -20);
    got.clear();
    TrackAnalyser analyser(nullptr, [&](const fs::path& p, const TrackAnalysis& a) {
        std::lock_guard lock(mutex);
        got.emplace(p, a);
    });
    for (int i = 0; i < 20; ++i) {
        QFile::link(longTrack, dir.filePath(QStringLiteral("long%1.wav").arg(i)));
        analyser.Add(PathOf(dir.filePath(QStringLiteral("long%1.wav").arg(i))));
    }
    analyser.Add(paths[0], /*first=*/true);
    analyser.Stop();
    EXPECT_TRUE(analyser.Idle());
    analyser.Add(paths[1]);  // after Stop: ignored
    EXPECT_EQ(analyser.Waiting(), 0u);
    EXPECT_LT(got.size(), 20u);
}

}  // namespace
