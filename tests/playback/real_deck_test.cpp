#include "playback/real_deck.h"
#include "playback/sdl_mixer.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <thread>
#include <vector>

using namespace playback;
using namespace std::chrono_literals;

namespace {

// Writes a sine tone with libsndfile; returns the number of frames written.
sf_count_t WriteTone(const QString& path, int format, int rate, int channels, double hz, double seconds,
                     double amplitude = 0.4) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f) {
        ADD_FAILURE() << "cannot write " << path.toStdString() << ": " << sf_strerror(nullptr);
        return 0;
    }
    const auto frames = static_cast<sf_count_t>(rate * seconds);
    std::vector<float> data(static_cast<size_t>(frames * channels));
    for (sf_count_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            data[static_cast<size_t>(i * channels + c)] =
                static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate));
    EXPECT_EQ(sf_writef_float(f, data.data(), frames), frames);
    sf_close(f);
    return frames;
}

constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
constexpr int kMp3 = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
constexpr int kWavFloat = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

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

// SDL's disk driver for the life of the object; Samples reads what it wrote (16-bit stereo).
struct DiskOutput {
    explicit DiskOutput(const QString& path) : file(QFile::encodeName(path)) {
        const char* old = std::getenv("SDL_AUDIODRIVER");
        restore = old ? old : "";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", file.constData(), 1);
    }
    ~DiskOutput() {
        if (restore.empty())
            unsetenv("SDL_AUDIODRIVER");
        else
            setenv("SDL_AUDIODRIVER", restore.c_str(), 1);
    }
    std::int64_t Size() const { return QFileInfo(QString::fromLocal8Bit(file)).size(); }
    std::vector<std::int16_t> Samples() const {
        QFile f(QString::fromLocal8Bit(file));
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray bytes = f.readAll();
        std::vector<std::int16_t> v(static_cast<size_t>(bytes.size()) / sizeof(std::int16_t));
        std::memcpy(v.data(), bytes.constData(), v.size() * sizeof(std::int16_t));
        return v;
    }
    QByteArray file;
    std::string restore;
};

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
