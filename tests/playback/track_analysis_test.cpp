// Measuring tracks: loudness, peak and audible bounds of files of known content, the cache
// across runs, and the background analyser.
#include "playback/analysis_cache.h"
#include "playback/track_analyser.h"
#include "playback/track_analysis.h"
#include "tags/ID3v2Tag.h"
#include "tests/support/sound_files.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <numbers>
#include <optional>
#include <thread>
#include <vector>

using namespace playback;
using namespace test_support;
namespace fs = std::filesystem;

namespace {

fs::path PathOf(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

// A 997 Hz tone (the frequency loudness meters are calibrated with) at `dbfs`, between stretches
// of digital silence. In both channels, or dual mono, it reads `dbfs` LUFS.
void WriteToneBetweenSilence(const QString& path, int format, int rate, int channels, double lead, double tone,
                             double trail, double dbfs) {
    const double amplitude = std::pow(10.0, dbfs / 20);
    WriteSound(path, format, rate, channels, lead + tone + trail, [=](sf_count_t i, int) {
        const double t = static_cast<double>(i) / rate - lead;
        return t >= 0 && t < tone ? amplitude * std::sin(2 * std::numbers::pi * 997 * t) : 0.0;
    });
}

struct Tagged {
    const char16_t* description;
    const char16_t* value;
};

TEST(TrackAnalysis, LoudnessPeakAndAudibleBoundsOfKnownFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char* name;
        int format, rate, channels;
        double lead, tone, trail, dbfs;
        std::vector<Tagged> tags;
        std::optional<double> loudness;  // expected, LUFS
        bool fromTags;
        double peak;
    };
    const Case cases[] = {
        {"a WAV tone filling the file", kWav16, 44100, 2, 0, 5, 0, -20, {}, -20, false, 0.1},
        {"an MP3 between silences (gated out)", kMp3, 44100, 2, 1.5, 4, 6, -12, {}, -12, false, 0.2512},
        {"mono is heard on both sides", kWavFloat, 48000, 1, 0.25, 3, 0, -30, {}, -30, false, 0.0316},
        {"ReplayGain stands for the loudness; the higher peak counts",
         kMp3, 44100, 2, 0.5, 3, 1, -20,
         {{u"REPLAYGAIN_TRACK_GAIN", u"-4.50 dB"}, {u"REPLAYGAIN_TRACK_PEAK", u"0.5"}}, -13.5, true, 0.5},
        {"ReplayGain in lower case, a plus sign and no peak",
         kMp3, 44100, 2, 0, 3, 0, -20, {{u"replaygain_track_gain", u"+2.5 dB"}}, -20.5, true, 0.1},
        {"a ReplayGain value that is no number is measured over",
         kMp3, 44100, 2, 0, 3, 0, -20, {{u"REPLAYGAIN_TRACK_GAIN", u"loud"}}, -20, false, 0.1},
        {"silence throughout", kWav16, 44100, 2, 3, 0, 0, 0, {}, std::nullopt, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name).replace(' ', '_') +
                                          ((c.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG ? ".mp3" : ".wav"));
        WriteToneBetweenSilence(path, c.format, c.rate, c.channels, c.lead, c.tone, c.trail, c.dbfs);
        if (!c.tags.empty()) {
            tags::TID3v2Tag tag;
            for (const Tagged& t : c.tags) tag.SetUserText(t.description, t.value);
            ASSERT_EQ(tag.WriteToFile(PathOf(path)), tags::MP3ERR_None);
        }
        const TrackAnalysis a = AnalyseTrack(PathOf(path));
        ASSERT_TRUE(a.ok) << a.error;
        EXPECT_EQ(a.fromTags, c.fromTags);
        ASSERT_EQ(a.loudness.has_value(), c.loudness.has_value());
        if (c.loudness) {
            EXPECT_NEAR(*a.loudness, *c.loudness, 0.5);
        }
        EXPECT_NEAR(a.peak, c.peak, c.peak * 0.03 + 0.001);
        // MP3 adds the encoder's delay and some padding; that is what the decks play too.
        EXPECT_NEAR(a.lengthMs, (c.lead + c.tone + c.trail) * 1000, 60);
        if (c.tone > 0) {
            EXPECT_NEAR(a.audibleStartMs, c.lead * 1000, 30);
            EXPECT_NEAR(a.audibleEndMs, (c.lead + c.tone) * 1000, 30);
            EXPECT_EQ(AudibleEndMs(a, a.lengthMs), a.audibleEndMs);
        } else {
            EXPECT_EQ(AudibleStartMs(a), 0);
            EXPECT_EQ(AudibleEndMs(a, a.lengthMs), a.lengthMs) << "nothing audible: the file's own end";
            EXPECT_EQ(LevelingGainDb(a, -14), 0);
        }
    }

    // A file's rate does not change how loud it is heard: a 3 kHz tone, where the meter's
    // weighting rises, reads the same at 8 kHz as at 44.1 kHz (the weighting strays near the top of
    // a low rate's band unless the file is resampled first, as the decks resample it).
    std::optional<double> reference;
    for (int rate : {44100, 8000, 16000, 22050, 48000}) {
        const QString path = dir.filePath(QStringLiteral("high%1.wav").arg(rate));
        WriteTone(path, kWavFloat, rate, 1, 3000, 3, 0.1);
        const TrackAnalysis a = AnalyseTrack(PathOf(path));
        ASSERT_TRUE(a.ok && a.loudness) << rate;
        if (!reference) reference = a.loudness;
        EXPECT_NEAR(*a.loudness, *reference, 0.2) << rate << " Hz";
    }

    // What cannot be analysed is a result that says why, not a crash.
    QFile text(dir.filePath("notes.mp3"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("This is a text file, not audio.\n");
    text.close();
    for (const char* bad : {"notes.mp3", "missing.mp3"}) {
        const TrackAnalysis a = AnalyseTrack(PathOf(dir.filePath(bad)));
        EXPECT_FALSE(a.ok) << bad;
        EXPECT_NE(a.error.find(bad), std::string::npos) << a.error;
        EXPECT_EQ(LevelingGainDb(a, -14), 0) << bad << ": an unmeasured track plays at 0 dB";
        EXPECT_EQ(AudibleEndMs(a, 5000), 5000) << bad;
    }
}

TEST(TrackAnalysis, LevelingGainReachesTheTargetWithinItsLimits) {
    struct Case {
        const char* name;
        bool ok;
        std::optional<double> loudness;
        double peak, target, gain;
    };
    const Case cases[] = {
        {"a quiet track is lifted", true, -20, 0.1, -14, 6},
        {"a loud track is lowered", true, -8, 1.0, -14, -6},
        {"a lift stops just below full scale", true, -20, 0.8, -14, 1.84},
        {"the quietest of masters is lifted all the way", true, -30, 0.1, -14, 16},
        {"a near-silent track is lifted no more than 20 dB", true, -50, 0.003, -14, 20},
        {"a peak over full scale lowers even a quiet track", true, -20, 1.5, -14, -3.62},
        {"no loudness measured", true, std::nullopt, 0.5, -14, 0},
        {"a failed analysis", false, -30, 0.1, -14, 0},
    };
    for (const Case& c : cases) {
        TrackAnalysis a;
        a.ok = c.ok;
        a.loudness = c.loudness;
        a.peak = c.peak;
        const double gain = LevelingGainDb(a, c.target);
        EXPECT_NEAR(gain, c.gain, 0.01) << c.name;
        if (c.loudness && c.peak > 0) {
            EXPECT_LE(20 * std::log10(c.peak) + gain, -0.09) << c.name << ": peaks above full scale";
        }
    }
}

// A cache line with some of its tab-separated fields replaced.
std::string Fields(const std::string& line, const std::vector<std::pair<size_t, std::string>>& replace) {
    std::vector<std::string> f(1);
    for (char c : line.substr(0, line.size() - 1)) {
        if (c == '\t')
            f.emplace_back();
        else
            f.back().push_back(c);
    }
    for (const auto& [i, value] : replace) f.at(i) = value;
    std::string out;
    for (const std::string& field : f) out += (out.empty() ? "" : "\t") + field;
    return out + "\n";
}

// Sets a file's modification time `seconds` later than it is.
void Touch(const fs::path& file, int seconds) {
    fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(seconds));
}

TEST(AnalysisCache, FindsOnlyWhatStillMatchesAndSurvivesDamage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path folder = PathOf(dir.filePath("cache"));
    const fs::path track = PathOf(dir.filePath("a\ttrack\nwith odd\\name.wav"));
    WriteToneBetweenSilence(QFile::decodeName(track.c_str()), kWav16, 44100, 2, 0.5, 1, 0.5, -20);
    const TrackAnalysis measured = AnalyseTrack(track);
    ASSERT_TRUE(measured.ok);

    AnalysisCache cache(folder);
    cache.Load();  // nothing there yet
    EXPECT_FALSE(cache.Lookup(track));
    cache.Store(track, measured);
    ASSERT_TRUE(cache.Save());
    {
        AnalysisCache again(folder);  // the next run
        again.Load();
        EXPECT_EQ(again.Lookup(track), measured);
    }
    // A changed file is measured anew: by its time, or by its size with the old time put back.
    const auto time = fs::last_write_time(track);
    Touch(track, 5);
    EXPECT_FALSE(cache.Lookup(track)) << "a newer file";
    fs::last_write_time(track, time);
    EXPECT_TRUE(cache.Lookup(track));
    std::ofstream(track, std::ios::app) << 'x';
    fs::last_write_time(track, time);
    EXPECT_FALSE(cache.Lookup(track)) << "a longer file";
    cache.Store(track, measured);  // as it is now
    ASSERT_TRUE(cache.Save());

    // Damage: every line that does not read back whole is skipped, the rest still count.
    std::string good;
    {
        std::ifstream in(folder / AnalysisCache::kFileName, std::ios::binary);
        good.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_GT(good.size(), 20u);
    const size_t headerEnd = good.find('\n') + 1;
    const std::string header = good.substr(0, headerEnd), line = good.substr(headerEnd);
    struct Damage {
        const char* name;
        std::string text;
        bool found;
    };
    const Damage damages[] = {
        {"a cut line", header + line.substr(0, line.size() - 5), false},
        {"noise between good lines", header + "\x01\x02 junk\n" + line + std::string(300, '\0') + "\n", true},
        {"a field too few", header + line.substr(line.find('\t') + 1) + line, true},
        {"a number that is not one", header + "x" + line + line, true},
        {"an escape that means nothing", header + line.substr(0, line.size() - 1) + "\\q\n" + line, true},
        {"a newer line whose end comes before its start", header + line + Fields(line, {{0, "999999"}, {7, "8"}, {8, "5"}}), true},
        {"a newer line with a peak that is no number", header + line + Fields(line, {{0, "999999"}, {4, "nan"}}), true},
        {"another program's file", "[settings]\n" + line, false},
        {"an empty file", "", false},
    };
    for (const Damage& d : damages) {
        std::ofstream(folder / AnalysisCache::kFileName, std::ios::binary | std::ios::trunc) << d.text;
        AnalysisCache damaged(folder);
        damaged.Load();
        EXPECT_EQ(damaged.Lookup(track).has_value(), d.found) << d.name;
        if (d.found) {
            EXPECT_EQ(damaged.Lookup(track), measured) << d.name;
        }
    }

    // Bounded: a cache grown past its size keeps the entries used last.
    {
        std::string big = header;
        big += line;  // used first of all, so it goes
        for (size_t i = 0; i < AnalysisCache::kMaxEntries + 100; ++i)
            big += std::to_string(100 + i) + "\t1\t1\t-14\t0.5\t0\t1000\t0\t900\t/music/" + std::to_string(i) + ".mp3\n";
        std::ofstream(folder / AnalysisCache::kFileName, std::ios::binary | std::ios::trunc) << big;
        AnalysisCache full(folder);
        full.Load();
        EXPECT_LE(full.Size(), AnalysisCache::kMaxEntries);
        EXPECT_GT(full.Size(), AnalysisCache::kMaxEntries / 2);
        EXPECT_FALSE(full.Lookup(track)) << "the oldest entry stays";
    }

    // A folder that cannot be written: Save says so and keeps what it has for the next try.
    AnalysisCache blocked(PathOf(dir.filePath("blocked")) / "cache");
    std::ofstream(PathOf(dir.filePath("blocked"))) << "a file where the folder should be";
    blocked.Store(track, measured);
    EXPECT_FALSE(blocked.Save());
    EXPECT_TRUE(blocked.Lookup(track));
}

TEST(TrackAnalyser, DeliversEveryTrackFromTheCacheNextTimeAndStopsCleanly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::vector<fs::path> tracks;
    for (int i = 0; i < 3; ++i) {
        const QString path = dir.filePath(QStringLiteral("t%1.mp3").arg(i));
        WriteToneBetweenSilence(path, kMp3, 44100, 2, 0.2, 1, 0.2, -10 - 5 * i);
        tracks.push_back(PathOf(path));
    }
    QFile text(dir.filePath("notes.mp3"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not audio");
    text.close();
    const std::vector<fs::path> failing = {PathOf(dir.filePath("notes.mp3")), PathOf(dir.filePath("gone.mp3"))};

    struct Received {
        std::mutex mutex;
        std::vector<std::pair<fs::path, TrackAnalysis>> results;
        size_t Count() {
            std::lock_guard lock(mutex);
            return results.size();
        }
    };
    auto run = [&](Received& got, const std::vector<fs::path>& paths) -> size_t {
        auto cache = std::make_shared<AnalysisCache>(PathOf(dir.filePath("cache")));
        TrackAnalyser analyser(cache, [&](const fs::path& p, const TrackAnalysis& a) {
            std::lock_guard lock(got.mutex);
            got.results.emplace_back(p, a);
        });
        for (const fs::path& p : paths) analyser.Add(p);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (got.Count() < paths.size() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return analyser.Decoded();
    };

    std::vector<fs::path> all = tracks;
    all.insert(all.end(), failing.begin(), failing.end());
    Received first;
    EXPECT_EQ(run(first, all), all.size());
    ASSERT_EQ(first.results.size(), all.size());
    for (const auto& [path, a] : first.results) {
        const bool fails = std::find(failing.begin(), failing.end(), path) != failing.end();
        EXPECT_EQ(a.ok, !fails) << path << ": " << a.error;
        if (!fails) {
            EXPECT_TRUE(a.loudness) << path;
        }
    }

    // The next run finds the tracks in the cache, as they were; only the failures are tried again.
    Received second;
    EXPECT_EQ(run(second, all), failing.size());
    ASSERT_EQ(second.results.size(), all.size());
    for (const auto& [path, a] : second.results) {
        const auto before = std::find_if(first.results.begin(), first.results.end(),
                                         [&](const auto& r) { return r.first == path; });
        ASSERT_NE(before, first.results.end());
        EXPECT_EQ(a, before->second) << path;
    }

    // Stopped with work waiting: it ends without delivering the rest and without hanging.
    const QString longTrack = dir.filePath("long.wav");
    WriteToneBetweenSilence(longTrack, kWav16, 44100, 2, 0, 60, 0, -20);
    Received third;
    {
        TrackAnalyser analyser(nullptr, [&](const fs::path& p, const TrackAnalysis& a) {
            std::lock_guard lock(third.mutex);
            third.results.emplace_back(p, a);
        });
        for (int i = 0; i < 20; ++i) {
            const QString copy = dir.filePath(QStringLiteral("long%1.wav").arg(i));
            QFile::link(longTrack, copy);
            analyser.Add(PathOf(copy));
        }
        analyser.Add(tracks[0], /*first=*/true);
        analyser.Stop();
        EXPECT_TRUE(analyser.Idle());
        analyser.Add(tracks[1]);  // after Stop: ignored
        EXPECT_EQ(analyser.Waiting(), 0u);
    }
    EXPECT_LT(third.Count(), 20u);
}

}  // namespace
