#include "playback/queue_player.h"
#include "playback/real_deck.h"
#include "playback/sdl_mixer.h"
#include "playback/track_analysis.h"
#include "tests/support/fake_queue.h"
#include "tests/support/sound_files.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ebur128.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <numbers>
#include <optional>
#include <thread>
#include <vector>

using namespace playback;
using namespace test_support;
using test_support::FakeQueue;
using namespace std::chrono_literals;

namespace {

// Waits (bounded) until the deck has stopped by itself.
bool WaitStopped(const AudioDeck& deck, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (deck.Mode() == mpPlaying && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(10ms);
    return deck.Mode() == mpStopped;
}

// Strength of one frequency in a window (Goertzel), relative to a full-scale sine.
double ToneLevel(const float* left, size_t stride, size_t n, double hz, double rate) {
    const double k = 2 * std::cos(2 * std::numbers::pi * hz / rate);
    double s1 = 0, s2 = 0;
    for (size_t i = 0; i < n; ++i) {
        const double s = left[i * stride] + k * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
    return 2 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(n);
}

struct RealDeckTest : ::testing::Test {
    QTemporaryDir dir;
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

TEST_F(RealDeckTest, OpenGivesExactLengthOrAnError) {
    ASSERT_TRUE(dir.isValid());
    WriteTone(Path("a.wav"), kWav16, 44100, 1, 440, 1.5);
    WriteTone(Path("b.wav"), kWav16, 22050, 2, 1000, 1.2);
    const sf_count_t mp3Frames = WriteTone(Path("c.mp3"), kMp3, 48000, 2, 660, 2.0);

    TRealDeck deck;
    EXPECT_FALSE(deck.IsOpen());
    EXPECT_EQ(deck.Mode(), mpStopped);
    deck.SetFileName(Path("a.wav"));
    deck.Open();
    EXPECT_TRUE(deck.IsOpen());
    EXPECT_EQ(deck.Length(), 1500);
    EXPECT_EQ(deck.Position(), 0);
    EXPECT_EQ(deck.Mode(), mpStopped);

    deck.SetFileName(Path("b.wav"));  // an open deck is closed first
    deck.Open();
    EXPECT_EQ(deck.Length(), 1200);
    EXPECT_EQ(deck.FileName(), Path("b.wav"));

    deck.SetFileName(Path("c.mp3"));
    deck.Open();
    EXPECT_EQ(deck.Length(), mp3Frames * 1000 / 48000);

    QFile text(Path("notes.mp3"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("This is a text file, not audio.\n");
    text.close();
    // The message names the file and says what is wrong with it.
    const std::pair<const char*, const char*> failures[] = {{"missing.mp3", "does not exist"},
                                                            {"notes.mp3", "not a playable audio file"}};
    for (const auto& [bad, why] : failures) {
        deck.SetFileName(Path(bad));
        try {
            deck.Open();
            ADD_FAILURE() << bad << " opened";
        } catch (const DeckError& e) {
            EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
        }
        EXPECT_FALSE(deck.IsOpen()) << bad;
        EXPECT_EQ(deck.Mode(), mpStopped) << bad;
        EXPECT_EQ(deck.Length(), 0) << bad;
        deck.Play();  // on a deck that is not open: nothing
        deck.Stop();
        deck.Close();
        EXPECT_EQ(deck.Mode(), mpStopped);
    }
}

TEST_F(RealDeckTest, PlaysInRealTimePausesSeeksAndStopsAtTheEnd) {
    ASSERT_TRUE(dir.isValid());
    WriteTone(Path("a.wav"), kWav16, 44100, 2, 440, 2.0);
    TRealDeck deck;
    deck.SetFileName(Path("a.wav"));
    deck.SetWait(true);
    deck.Open();

    const auto start = std::chrono::steady_clock::now();
    deck.Play();
    EXPECT_EQ(deck.Mode(), mpPlaying);
    std::this_thread::sleep_for(400ms);
    const int pos = deck.Position();
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    // The mixer hands out one device buffer (about 186 ms) ahead of the clock.
    EXPECT_GT(pos, elapsed - 200);
    EXPECT_LT(pos, elapsed + 300);

    deck.Pause();
    EXPECT_EQ(deck.Mode(), mpPaused);
    const int paused = deck.Position();
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(deck.Position(), paused);
    deck.Play();  // resumes
    EXPECT_EQ(deck.Mode(), mpPlaying);
    std::this_thread::sleep_for(150ms);
    EXPECT_GT(deck.Position(), paused);

    deck.SetPosition(1600);  // halts until the next Play
    EXPECT_EQ(deck.Mode(), mpStopped);
    EXPECT_EQ(deck.Position(), 1600);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(deck.Position(), 1600);

    deck.Play();
    EXPECT_TRUE(WaitStopped(deck, 2000ms));
    EXPECT_EQ(deck.Position(), 2000);
    EXPECT_TRUE(deck.IsOpen());
    deck.Play();  // at the end: stays stopped
    EXPECT_EQ(deck.Mode(), mpStopped);

    deck.SetPosition(1900);  // a new position can be played again
    deck.Play();
    EXPECT_EQ(deck.Mode(), mpPlaying);
    deck.Stop();
    EXPECT_EQ(deck.Mode(), mpStopped);
    EXPECT_TRUE(deck.IsOpen());
    deck.Close();
    EXPECT_FALSE(deck.IsOpen());
    EXPECT_EQ(deck.Position(), 0);

    // A low rate is resampled to the mix rate; it still plays to its exact end.
    WriteTone(Path("low.wav"), kWav16, 8000, 1, 300, 0.3);
    deck.SetFileName(Path("low.wav"));
    deck.Open();
    deck.Play();
    EXPECT_TRUE(WaitStopped(deck, 1500ms));
    EXPECT_EQ(deck.Position(), 300);
}

// Both decks are heard together while they overlap: the disk driver's output holds both tones.
TEST_F(RealDeckTest, OverlappingDecksAreMixed) {
    ASSERT_TRUE(dir.isValid());
    ASSERT_FALSE(SdlMixer::Instance().IsOpen()) << "a deck of another test is still attached";
    WriteTone(Path("low.mp3"), kMp3, 44100, 1, 440, 1.5);
    WriteTone(Path("high.wav"), kWav16, 22050, 2, 1000, 1.2);  // resampled to the mix rate
    const QByteArray out = QFile::encodeName(Path("out.raw"));
    const char* oldDriver = std::getenv("SDL_AUDIODRIVER");
    const std::string restore = oldDriver ? oldDriver : "";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.constData(), 1);
    {
        TRealDeck one, two;
        one.SetFileName(Path("low.mp3"));
        one.Open();
        two.SetFileName(Path("high.wav"));
        two.Open();
        one.Play();
        EXPECT_EQ(SdlMixer::Instance().DriverName(), "disk");
        std::this_thread::sleep_for(800ms);
        two.Play();
        EXPECT_TRUE(WaitStopped(one, 2000ms));
        EXPECT_TRUE(WaitStopped(two, 2000ms));
        EXPECT_EQ(two.Position(), 1200);
    }  // the last deck gone closes the device and the file
    if (restore.empty())
        unsetenv("SDL_AUDIODRIVER");
    else
        setenv("SDL_AUDIODRIVER", restore.c_str(), 1);
    EXPECT_FALSE(SdlMixer::Instance().IsOpen());

    std::ifstream in(out.constData(), std::ios::binary | std::ios::ate);
    ASSERT_TRUE(in);
    std::vector<std::int16_t> raw(static_cast<size_t>(in.tellg()) / sizeof(std::int16_t));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(raw.size() * sizeof(std::int16_t)));
    std::vector<float> pcm(raw.begin(), raw.end());
    for (float& v : pcm) v /= 32767.0f;
    const size_t frames = pcm.size() / 2;
    ASSERT_GT(frames, size_t(SdlMixer::kRate * 3 / 2));

    constexpr size_t kWindow = 1024;  // about 23 ms
    int lowOnly = 0, highOnly = 0, both = 0, lowWindows = 0, highWindows = 0;
    for (size_t at = 0; at + kWindow <= frames; at += kWindow) {
        const double low = ToneLevel(&pcm[at * 2], 2, kWindow, 440, SdlMixer::kRate);
        const double high = ToneLevel(&pcm[at * 2], 2, kWindow, 1000, SdlMixer::kRate);
        const bool hasLow = low > 0.25, hasHigh = high > 0.25;  // each tone is 0.4 of full scale
        lowWindows += hasLow;
        highWindows += hasHigh;
        both += hasLow && hasHigh;
        lowOnly += hasLow && !hasHigh;
        highOnly += hasHigh && !hasLow;
    }
    const double windowMs = 1000.0 * kWindow / SdlMixer::kRate;
    EXPECT_GT(lowOnly * windowMs, 500);
    EXPECT_GT(highOnly * windowMs, 300);
    EXPECT_GT(both * windowMs, 300);  // about 700 ms of overlap
    // Each tone is heard for as long as its file lasts (give or take a window at each edge).
    EXPECT_NEAR(lowWindows * windowMs, 1500, 3 * windowMs);
    EXPECT_NEAR(highWindows * windowMs, 1200, 3 * windowMs);
}

// Level of `hz` in the left channel of `frames` stereo samples from `from`, Hann-windowed so that a
// strong tone elsewhere does not leak into it; in dB below full scale.
double LevelDb(const std::vector<std::int16_t>& pcm, size_t from, size_t frames, double hz) {
    const double k = 2 * std::cos(2 * std::numbers::pi * hz / SdlMixer::kRate);
    double s1 = 0, s2 = 0;
    for (size_t i = 0; i < frames; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(frames));
        const double s = w * pcm[2 * (from + i)] / 32767.0 + k * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    const double amplitude = 4 * std::sqrt(std::max(s1 * s1 + s2 * s2 - k * s1 * s2, 0.0)) / static_cast<double>(frames);
    return 20 * std::log10(std::max(amplitude, 1e-12));
}

// The strongest level of `hz` in any window from `from` on: a busy machine may start a track a
// little late in the recording.
double PeakLevelDb(const std::vector<std::int16_t>& pcm, size_t from, size_t frames, double hz) {
    double best = -240;
    for (size_t at = from; at + frames <= pcm.size() / 2; at += frames / 2)
        best = std::max(best, LevelDb(pcm, at, frames, hz));
    return best;
}

// Two full-scale tracks overlap, both are paused and go on, one is stopped, the other ends; the
// output written meanwhile must hold no clipped sample and no click.
TEST_F(RealDeckTest, DiskOutputNeitherClipsNorClicks) {
    ASSERT_TRUE(dir.isValid());
    ASSERT_FALSE(SdlMixer::Instance().IsOpen()) << "a deck of another test is still attached";
    WriteTone(Path("a.wav"), kWavFloat, 44100, 2, 440, 2.0, 0.98);
    WriteTone(Path("b.wav"), kWavFloat, 44100, 1, 550, 2.0, 0.98);
    DiskOutput out(Path("out.raw"));
    TRealDeck one, two;
    one.SetFileName(Path("a.wav"));
    one.Open();
    two.SetFileName(Path("b.wav"));
    two.Open();
    one.Play();
    std::this_thread::sleep_for(400ms);
    two.Play();
    std::this_thread::sleep_for(400ms);
    one.Pause();
    two.Pause();
    std::this_thread::sleep_for(300ms);  // shorter than it takes the output to close
    one.Play();
    two.Play();
    std::this_thread::sleep_for(300ms);
    two.Stop();
    EXPECT_TRUE(WaitStopped(one, 3000ms));
    one.Close();
    two.Close();

    const std::vector<std::int16_t> pcm = out.Samples();
    ASSERT_GT(pcm.size(), size_t(2 * SdlMixer::kRate * 2));
    size_t clipped = 0, clicks = 0;
    for (size_t i = 0; i < pcm.size(); ++i) clipped += std::abs(int(pcm[i])) >= 32767;
    // A tone's second difference stays near 0.01 of full scale here; a hard cut jumps by the level.
    for (size_t i = 4; i < pcm.size(); ++i) clicks += std::abs(pcm[i] - 2 * pcm[i - 2] + pcm[i - 4]) > 3000;
    EXPECT_EQ(clipped, 0u);
    EXPECT_EQ(clicks, 0u);
    // The overlap is heard as both tracks (the limiter lowers, it does not drop either).
    const size_t overlap = static_cast<size_t>(SdlMixer::kRate) * 6 / 10;
    EXPECT_GT(LevelDb(pcm, overlap, 4096, 440), -12);
    EXPECT_GT(LevelDb(pcm, overlap, 4096, 550), -12);
}

// Once nothing plays, a sound device is given back within a few device buffers. A recording
// (the disk driver) goes on instead, silent, and the next Play List continues the same file:
// opened anew it would start over and lose the night so far.
TEST_F(RealDeckTest, AnIdleDeviceClosesAnIdleRecordingGoesOn) {
    ASSERT_TRUE(dir.isValid());
    WriteTone(Path("a.wav"), kWav16, 44100, 1, 440, 0.5);
    WriteTone(Path("b.wav"), kWav16, 44100, 1, 660, 0.5);
    for (const char* driver : {"dummy", "disk"}) {
        ASSERT_FALSE(SdlMixer::Instance().IsOpen()) << driver << ": a deck of another test is still attached";
        const bool recording = std::string(driver) == "disk";
        DiskOutput out(Path((std::string(driver) + ".raw").c_str()));
        setenv("SDL_AUDIODRIVER", driver, 1);
        {
            TRealDeck one, two;
            one.SetFileName(Path("a.wav"));
            one.Open();
            one.Play();
            EXPECT_TRUE(WaitStopped(one, 2000ms)) << driver;
            one.Close();  // as Stop does
            two.Close();
            const auto until = std::chrono::steady_clock::now() + 3s;
            while (SdlMixer::Instance().IsOpen() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(20ms);
            EXPECT_EQ(SdlMixer::Instance().IsOpen(), recording) << driver;
            if (!recording) continue;

            // Silence is recorded while nothing plays, then the next track follows in the same file.
            const std::int64_t idle = out.Size();
            EXPECT_GT(idle, std::int64_t{SdlMixer::kRate} * 4 * 2) << "half a second of sound and the pause after it";
            two.SetFileName(Path("b.wav"));
            two.Open();
            two.Play();
            EXPECT_TRUE(WaitStopped(two, 2000ms));
            two.Close();
            std::this_thread::sleep_for(300ms);
            const std::vector<std::int16_t> pcm = out.Samples();
            const size_t second = static_cast<size_t>(idle / 4);
            ASSERT_GT(pcm.size() / 2, second + SdlMixer::kRate / 2);
            EXPECT_GT(PeakLevelDb(pcm, 0, 4096, 440), -20) << "the first track was lost";
            EXPECT_GT(PeakLevelDb(pcm, second, 4096, 660), -20) << "the second track is missing";
        }
        EXPECT_FALSE(SdlMixer::Instance().IsOpen()) << driver << ": the decks are gone, the output closes";
    }
}

// Files at other rates are resampled without audible images: a 3 kHz tone at 48 and 32 kHz,
// played to the disk driver, has nothing above -90 dB where interpolation leaves its images.
TEST_F(RealDeckTest, ResamplingLeavesNoImages) {
    ASSERT_TRUE(dir.isValid());
    ASSERT_FALSE(SdlMixer::Instance().IsOpen()) << "a deck of another test is still attached";
    struct Case {
        int rate;
        double images[2];  // where rate - 3 kHz and rate + 3 kHz fold into the output's band
    };
    for (const Case& c : {Case{48000, {900, 6900}}, Case{32000, {15100, 9100}}}) {
        const QString name = QStringLiteral("tone%1.wav").arg(c.rate);
        WriteTone(dir.filePath(name), kWavFloat, c.rate, 1, 3000, 1.0, 0.5);
        std::vector<std::int16_t> pcm;
        {
            DiskOutput out(dir.filePath(name + ".raw"));
            TRealDeck deck;
            deck.SetFileName(dir.filePath(name));
            deck.Open();
            deck.Play();
            EXPECT_TRUE(WaitStopped(deck, 3000ms)) << c.rate;
            EXPECT_EQ(deck.Position(), 1000) << c.rate;
            deck.Close();
            pcm = out.Samples();
        }
        ASSERT_GT(pcm.size(), size_t(2 * SdlMixer::kRate)) << c.rate;
        const size_t from = SdlMixer::kRate / 4, frames = 16384;  // well inside the tone
        const double tone = LevelDb(pcm, from, frames, 3000);
        EXPECT_NEAR(tone, -6, 1) << c.rate;
        for (double hz : c.images) EXPECT_LT(LevelDb(pcm, from, frames, hz) - tone, -90) << c.rate << " Hz file, " << hz << " Hz";
    }
}

// What a deck plays of a file, as 16-bit stereo: libsndfile's decoding, mono on both sides.
std::vector<std::int16_t> Decoded(const QString& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f) return {};
    std::vector<float> in(static_cast<size_t>(info.frames + 1) * info.channels), stereo;
    const sf_count_t got = sf_readf_float(f, in.data(), info.frames + 1);
    sf_close(f);
    for (sf_count_t i = 0; i < got; ++i)
        for (int c = 0; c < 2; ++c) stereo.push_back(in[static_cast<size_t>(i * info.channels + std::min(c, info.channels - 1))]);
    std::vector<std::int16_t> out(stereo.size());
    FloatsToShorts(out.data(), stereo.data(), stereo.size());
    return out;
}

// After `lead` seconds of faint noise (-60 dBFS, below audible) a rising tone, so output and file
// line up in one way only. (A pure tone is what MPEG decoding after a plain seek garbles most.)
void WriteMarked(const QString& path, int format, int channels, double lead, double seconds) {
    unsigned noise = 7;
    WriteSound(path, format, 44100, channels, lead + seconds, [&](sf_count_t i, int) {
        const double t = static_cast<double>(i) / 44100 - lead;
        noise = noise * 1103515245u + 12345u;
        const double n = (noise >> 16) / 32768.0 - 1;
        return t < 0 ? 0.001 * (n < 0 ? n - 0.3 : n + 0.3)
                     : 0.3 * std::sin(2 * std::numbers::pi * (300 + 900 * t) * t);
    });
}

// Loudness of stereo 16-bit frames [from, from + count), as a meter hears them.
double HeardLufs(const std::vector<std::int16_t>& pcm, size_t from, size_t count) {
    ebur128_state* meter = ebur128_init(2, SdlMixer::kRate, EBUR128_MODE_I);
    std::vector<float> frames(2 * count);
    for (size_t i = 0; i < 2 * count; ++i) frames[i] = pcm[2 * from + i] / 32767.0f;
    ebur128_add_frames_float(meter, frames.data(), count);
    double lufs = -HUGE_VAL;
    ebur128_loudness_global(meter, &lufs);
    ebur128_destroy(&meter);
    return lufs;
}

// First and last stereo frame above `level` (full scale 1); -1 when there is none.
std::pair<std::ptrdiff_t, std::ptrdiff_t> AudibleFrames(const std::vector<std::int16_t>& pcm, double level) {
    std::ptrdiff_t first = -1, last = -1;
    for (size_t i = 0; i < pcm.size(); ++i) {
        if (std::abs(pcm[i]) <= level * 32767) continue;
        if (first < 0) first = static_cast<std::ptrdiff_t>(i / 2);
        last = static_cast<std::ptrdiff_t>(i / 2);
    }
    return {first, last};
}

// Without gain and fades a deck is heard exactly as the file decodes: after the start's few
// milliseconds of ramp, every sample bit for bit. Started at its first audible moment, it starts
// there: nothing before it is heard and nothing of it is lost. Started in the middle (as Forward
// does), the first sound heard is already the file's.
TEST_F(RealDeckTest, WithoutGainOrFadeTheFileIsHeardBitForBit) {
    ASSERT_TRUE(dir.isValid());
    using Step = std::function<void(AudioDeck&)>;
    struct Case {
        const char* name;
        int format, channels;
        Step before, during;
        int startAt;    // kFileStart, kAudibleStart, or ms into the sound
        int tolerance;  // in 16-bit steps
    };
    constexpr int kFileStart = -2, kAudibleStart = -1;
    const Case cases[] = {
        {"nothing set", kWav16, 2, {}, {}, kFileStart, 0},
        {"0 dB before and while playing", kWav16, 2, [](AudioDeck& d) { d.SetGain(0); }, [](AudioDeck& d) { d.SetGain(0); }, kFileStart, 0},
        {"-6 dB taken back before Play", kWav16, 2, [](AudioDeck& d) { d.SetGain(-6); d.SetGain(0); }, {}, kFileStart, 0},
        {"a fade-in called off", kWavFloat, 1, [](AudioDeck& d) { d.FadeIn(800); d.FadeIn(0); }, {}, kFileStart, 0},
        {"started at its first audible moment", kWavFloat, 1, {}, {}, kAudibleStart, 0},
        // After a seek the decoder may round a float the other way.
        {"an MP3 started at its first audible moment", kMp3, 2, {}, {}, kAudibleStart, 1},
        {"an MP3 started in the middle of its sound", kMp3, 2, {}, {}, 250, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(SdlMixer::Instance().IsOpen()) << "a deck of another test is still attached";
        const QString path = Path(c.format == kMp3 ? "marked.mp3" : "marked.wav");
        // Started later on, past where libsndfile still decodes an MPEG file from its beginning
        // to seek (about a second), or from its start with a short lead.
        const double lead = c.startAt == kFileStart ? 0.3 : 1.5;
        WriteMarked(path, c.format, c.channels, lead, 0.6);
        const std::vector<std::int16_t> file = Decoded(path);
        const auto [firstAudible, lastAudible] = AudibleFrames(file, 0.00316);  // -50 dBFS
        ASSERT_GT(firstAudible, 0);
        std::vector<std::int16_t> pcm;
        {
            DiskOutput out(Path("identity.raw"));
            TRealDeck deck;
            deck.SetFileName(path);
            deck.Open();
            if (c.before) c.before(deck);
            if (c.startAt != kFileStart) {
                const TrackAnalysis a = AnalyseTrack(QFile::encodeName(path).toStdString());
                ASSERT_TRUE(a.ok) << a.error;
                const int ms = c.startAt == kAudibleStart ? AudibleStartMs(a) : static_cast<int>(lead * 1000) + c.startAt;
                deck.SetPosition(ms);
                EXPECT_EQ(deck.Position(), ms) << "the position reads back exactly";
            }
            deck.Play();
            if (c.during) c.during(deck);
            EXPECT_TRUE(WaitStopped(deck, 3000ms));
            deck.Close();
            pcm = out.Samples();
        }
        // Line the output up with the file by a stretch well inside the sound; the deck's first
        // frame is the output's first that is not zero (the lead's faint noise), give or take the
        // few frames its short ramp rounds to nothing.
        const auto [heardFrom, heardTo] = AudibleFrames(pcm, 0.00316);
        ASSERT_GT(heardFrom, 0);
        const std::ptrdiff_t probe = heardFrom + 1000, frames = static_cast<std::ptrdiff_t>(file.size() / 2);
        auto differ = [&](std::ptrdiff_t outAt, std::ptrdiff_t fileAt, std::ptrdiff_t count) {
            size_t bad = 0;
            for (std::ptrdiff_t k = 0; k < 2 * count; ++k) bad += std::abs(pcm[2 * outAt + k] - file[2 * fileAt + k]) > c.tolerance;
            return bad;
        };
        std::optional<std::ptrdiff_t> found;  // file frame minus output frame
        for (std::ptrdiff_t f = firstAudible; f < frames - 2000 && !found; ++f)
            if (differ(probe, f, 2000) == 0) found = f - probe;
        ASSERT_TRUE(found) << "the sound heard is not the file's";
        const std::ptrdiff_t shift = *found;
        std::ptrdiff_t deckFrom = 0;
        while (pcm[2 * deckFrom] == 0 && pcm[2 * deckFrom + 1] == 0) ++deckFrom;
        const std::ptrdiff_t start = deckFrom + shift, ramp = SdlMixer::kRampFrames;
        if (c.startAt == kAudibleStart) {
            EXPECT_LE(start, firstAudible) << "the start of the sound is cut";
            EXPECT_GE(start + SdlMixer::kRate / 1000 + 8, firstAudible) << "inaudible lead played first";
        } else {
            const double at = c.startAt == kFileStart ? 0 : (lead * 1000 + c.startAt) * SdlMixer::kRate / 1000;
            EXPECT_NEAR(start, at, 8) << "not started where asked";
        }
        ASSERT_GE(static_cast<std::ptrdiff_t>(pcm.size() / 2) + shift, frames) << "the end is missing";
        EXPECT_EQ(differ(start + ramp - shift, start + ramp, frames - start - ramp), 0u) << "samples differ from the file";
    }
}

// Two tracks of very different levels, each leveled to the target by its measured loudness, are
// heard equally loud (measured on the output as a loudness meter measures).
TEST_F(RealDeckTest, LeveledDecksAreHeardEquallyLoud) {
    ASSERT_TRUE(dir.isValid());
    struct Track {
        int format, rate, channels;
        double hz, dbfs;
    };
    struct Case {
        const char* name;
        Track one, two;
        double target;
    };
    const Case cases[] = {
        {"a loud WAV, then a quiet MP3", {kWav16, 44100, 2, 1000, -6}, {kMp3, 44100, 2, 300, -28}, -18},
        {"a mono file at 48 kHz, then a stereo one", {kWavFloat, 48000, 1, 2500, -20}, {kWav16, 44100, 2, 500, -10}, -16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(SdlMixer::Instance().IsOpen()) << "a deck of another test is still attached";
        std::vector<std::int16_t> pcm;
        {
            DiskOutput out(Path("level.raw"));
            TRealDeck decks[2];
            int n = 0;
            for (const Track& t : {c.one, c.two}) {
                const QString path = Path(t.format == kMp3 ? "level.mp3" : n ? "level2.wav" : "level1.wav");
                WriteTone(path, t.format, t.rate, t.channels, t.hz, 1.3, std::pow(10.0, t.dbfs / 20));
                const TrackAnalysis a = AnalyseTrack(QFile::encodeName(path).toStdString());
                ASSERT_TRUE(a.ok) << a.error;
                TRealDeck& deck = decks[n++];
                deck.SetFileName(path);
                deck.Open();
                deck.SetGain(LevelingGainDb(a, c.target));
                deck.Play();
                EXPECT_TRUE(WaitStopped(deck, 3000ms));
            }
            for (TRealDeck& d : decks) d.Close();
            pcm = out.Samples();
        }
        const auto [first, last] = AudibleFrames(pcm, 0.01);
        ASSERT_GT(last - first, SdlMixer::kRate * 2);
        const size_t tenth = SdlMixer::kRate / 10, second = SdlMixer::kRate;
        const double one = HeardLufs(pcm, static_cast<size_t>(first) + tenth, second);
        const double two = HeardLufs(pcm, static_cast<size_t>(last) - tenth - second, second);
        EXPECT_NEAR(one, c.target, 1);
        EXPECT_NEAR(two, c.target, 1);
        EXPECT_NEAR(one, two, 1);
    }
}

// One track fades out while the next fades in, both over 1.5 s: on the equal-power curve the
// power of the sum stays where it was (a straight-line crossfade dips 3 dB halfway), and where
// the two cross each is 3 dB down. Pausing on the way and going on keeps both; nothing clicks.
TEST_F(RealDeckTest, EqualPowerCrossfadeKeepsTheSumSteady) {
    ASSERT_TRUE(dir.isValid());
    WriteTone(Path("out.wav"), kWav16, 44100, 2, 500, 4, 0.35);
    WriteTone(Path("in.wav"), kWav16, 44100, 2, 1300, 4, 0.35);
    struct Case {
        const char* name;
        double gainDb;
        bool pauseMidway;
    };
    const Case cases[] = {{"fades begun together", 0, false}, {"at -8 dB, paused on the way and going on", -8, true}};
    constexpr int kFadeMs = 1500;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(SdlMixer::Instance().IsOpen()) << "a deck of another test is still attached";
        std::vector<std::int16_t> pcm;
        {
            DiskOutput out(Path("fade.raw"));
            TRealDeck one, two;
            one.SetFileName(Path("out.wav"));
            one.Open();
            two.SetFileName(Path("in.wav"));
            two.Open();
            one.SetGain(c.gainDb);
            two.SetGain(c.gainDb);
            one.Play();
            std::this_thread::sleep_for(700ms);
            const int fadeFrom = one.Position();
            two.FadeIn(kFadeMs);
            two.Play();
            one.FadeOut(kFadeMs);
            if (c.pauseMidway) {
                std::this_thread::sleep_for(400ms);
                one.Pause();
                two.Pause();
                std::this_thread::sleep_for(300ms);
                one.Play();
                two.Play();
            }
            EXPECT_TRUE(WaitStopped(one, 3000ms)) << "the faded deck stops by itself";
            EXPECT_NEAR(one.Position(), fadeFrom + kFadeMs, 300) << "it stands where it fell silent";
            EXPECT_EQ(two.Mode(), mpPlaying);
            std::this_thread::sleep_for(500ms);
            two.Stop();
            one.Close();
            two.Close();
            pcm = out.Samples();
        }
        constexpr size_t kWindow = 1024;
        auto powerDb = [&](size_t frame) {
            double sum = 0;
            for (size_t i = 0; i < kWindow; ++i) sum += std::pow(pcm[2 * (frame + i)] / 32767.0, 2);
            return 10 * std::log10(sum / kWindow + 1e-20);
        };
        const auto [first, last] = AudibleFrames(pcm, 0.01);
        ASSERT_GT(last - first, SdlMixer::kRate * 2);
        const size_t begin = static_cast<size_t>(first) + SdlMixer::kRate / 5, end = static_cast<size_t>(last) - SdlMixer::kRate / 5;
        const double reference = powerDb(begin);
        // Through the whole crossfade; a paused stretch and the windows beside it (its ramps) aside.
        size_t checked = 0;
        std::vector<double> power;
        for (size_t at = begin; at + kWindow < end; at += kWindow) power.push_back(powerDb(at));
        for (size_t i = 1; i + 1 < power.size(); ++i) {
            if (power[i - 1] < reference - 6 || power[i] < reference - 6 || power[i + 1] < reference - 6) continue;
            EXPECT_NEAR(power[i], reference, 1) << "window " << i;
            ++checked;
        }
        EXPECT_GT(checked * kWindow, size_t(SdlMixer::kRate) * 2);
        // Where the two tones are equally strong, each is 3 dB below its full level.
        const double fullOut = LevelDb(pcm, begin, 4096, 500), fullIn = LevelDb(pcm, end - 4096, 4096, 1300);
        bool crossed = false;
        for (size_t at = begin; at + 4096 < end && !crossed; at += 512) {
            const double o = LevelDb(pcm, at, 4096, 500), i = LevelDb(pcm, at, 4096, 1300);
            if (i < o || o < fullOut - 6) continue;  // not yet, or (partly) paused
            crossed = true;
            EXPECT_NEAR(o - fullOut, -3, 0.6);
            EXPECT_NEAR(i - fullIn, -3, 0.6);
        }
        EXPECT_TRUE(crossed);
        size_t clicks = 0;
        for (size_t i = 4; i < pcm.size(); ++i) clicks += std::abs(pcm[i] - 2 * pcm[i - 2] + pcm[i - 4]) > 3000;
        EXPECT_EQ(clicks, 0u);
    }
}

// The queue player hands a 500 Hz track over to a 700 Hz one on the real decks, one option or
// all three on, and the disk output is judged as a listener would: leveled tracks equally loud,
// a crossfade without a dip or a bulge, and a track ending in 6 s of silence handed over where
// its tone stops, with no dead air in the mix.
TEST_F(RealDeckTest, TheQueueHandsOverAsTheSoundOptionsSay) {
    ASSERT_TRUE(dir.isValid());
    struct Tone {
        double lead, seconds, trail, dbfs;
    };
    struct Case {
        const char* name;
        bool leveling, crossfade, noDeadAir;
        Tone one, two;
        double heardSeconds;  // from the first sound to the last
    } cases[] = {
        {"leveling: a quiet track, then a loud one", true, false, false, {0, 2.5, 0, -30}, {0, 2.5, 0, -6}, 4.0},
        {"crossfade", false, true, false, {0, 2.5, 0, -12}, {0, 2.5, 0, -12}, 4.0},
        {"all three: the quiet track ends in 6 s of silence", true, true, true, {0.5, 2, 6, -30}, {0.8, 2, 0, -6},
         3.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(SdlMixer::Instance().IsOpen()) << "a deck of another test is still attached";
        FakeQueue q;
        q.fade = 1;
        q.leveling = c.leveling;
        q.crossfade = c.crossfade;
        q.noDeadAir = c.noDeadAir;
        int n = 0;
        for (const auto& [t, hz] : {std::pair{c.one, 500.0}, std::pair{c.two, 700.0}}) {
            const QString path = Path(n++ ? "two.wav" : "one.wav");
            const double amplitude = std::pow(10.0, t.dbfs / 20);
            WriteSound(path, kWav16, 44100, 2, t.lead + t.seconds + t.trail, [&](sf_count_t i, int) {
                const double s = static_cast<double>(i) / 44100 - t.lead;
                return s < 0 || s > t.seconds ? 0 : amplitude * std::sin(2 * std::numbers::pi * hz * s);
            });
            q.files.push_back(path);
            q.status.push_back(FakeQueue::St::Ready);
            q.analyses[path] = AnalyseTrack(QFile::encodeName(path).toStdString());
            ASSERT_TRUE(q.analyses[path].ok);
        }
        std::vector<std::int16_t> pcm;
        {
            DiskOutput out(Path("queue.raw"));
            TRealDeck one, two;
            QueuePlayer player(one, two, q, q);
            player.PlayList();
            const auto end = std::chrono::steady_clock::now() + 20s;
            while (q.stopped == 0 && std::chrono::steady_clock::now() < end) {
                std::this_thread::sleep_for(10ms);
                player.HandOver();
            }
            EXPECT_EQ(q.stopped, 1);
            player.StopPlayback();
            one.Close();
            two.Close();
            pcm = out.Samples();
        }
        const auto [first, last] = AudibleFrames(pcm, 0.003);
        ASSERT_GT(first, -1);
        const size_t from = static_cast<size_t>(first), to = static_cast<size_t>(last), rate = SdlMixer::kRate;
        EXPECT_NEAR(static_cast<double>(to - from) / rate, c.heardSeconds, 0.25) << "from the first sound to the last";
        // No 100 ms between the first sound and the last without one.
        size_t quiet = 0, longest = 0;
        for (size_t f = from; f < to; ++f) {
            quiet = std::abs(pcm[2 * f]) + std::abs(pcm[2 * f + 1]) < 20 ? quiet + 1 : 0;
            longest = std::max(longest, quiet);
        }
        EXPECT_LT(longest, rate / 10) << "dead air";
        if (c.leveling) {
            const double a = HeardLufs(pcm, from + rate / 10, rate / 2), b = HeardLufs(pcm, to - rate / 10 - rate / 2, rate / 2);
            EXPECT_NEAR(a, -14, 1);
            EXPECT_NEAR(b, -14, 1);
            EXPECT_NEAR(a, b, 1);
        }
        if (c.crossfade) {
            // The power of the sum stays at the solo level through the fade (23 ms windows).
            constexpr size_t kWindow = 1024;
            const auto powerDb = [&](size_t frame) {
                double sum = 0;
                for (size_t i = 0; i < kWindow; ++i) sum += std::pow(pcm[2 * (frame + i)] / 32767.0, 2);
                return 10 * std::log10(sum / kWindow + 1e-20);
            };
            const double reference = powerDb(from + rate / 10);
            for (size_t at = from + rate / 10; at + kWindow < to - rate / 10; at += kWindow)
                EXPECT_NEAR(powerDb(at), reference, 1) << "at " << static_cast<double>(at - from) / rate << " s";
        }
    }
}

// In a child process, since the audio driver is chosen once per opening of the device.
TEST(RealDeckFallback, SilentDriverWhenNoOutputOpens) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
            QTemporaryDir dir;
            const QString path = dir.filePath("a.wav");
            WriteTone(path, kWav16, 44100, 1, 440, 0.3);
            auto& mixer = SdlMixer::Instance();
            QStringList notices;
            for (int round = 0; round < 2; ++round) {
                auto deck = MakeRealDeck();
                deck->SetFileName(path);
                deck->Open();
                deck->Play();
                if (mixer.DriverName() != "dummy") std::exit(2);
                if (!WaitStopped(*deck, 1000ms) || deck->Position() != 300) std::exit(3);
                // The notice waits for a handler that comes later.
                if (round == 0) SetAudioNoticeHandler([&](const QString& text) { notices << text; });
            }
            // Said once, even though the device was opened twice.
            if (notices.size() != 1 || !notices[0].contains("no-such-driver", Qt::CaseInsensitive))
                std::exit(4);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
