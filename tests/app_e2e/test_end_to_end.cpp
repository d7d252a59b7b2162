// Queues of generated tracks play through on the real decks, driven by the real playback timer,
// into SDL's disk driver; the written mix shows each hand-over's overlap.
// Its own program: the output driver must be chosen before a deck opens the output.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "app/main_window.h"
#include "tests/support/recording_user_interface.h"
#include "playback/audio_deck.h"
#include "tests/support/qt_app.h"
#include "tests/support/tone.h"

namespace {

constexpr int kRate = 44100;

// A mono sine tone of `seconds` at `hz`, written in `format`.
bool WriteTone(const QString& path, int format, double hz, double seconds) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = format;
    SNDFILE* f = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    if (!f) return false;
    std::vector<float> samples(static_cast<size_t>(seconds * kRate));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * hz * double(i) / kRate));
    const sf_count_t written = sf_writef_float(f, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(f);
    return written == static_cast<sf_count_t>(samples.size());
}

double Strength(const std::vector<float>& mono, size_t from, size_t count, double hz) {
    return test_support::ToneStrength(mono, from, count, hz, kRate);
}

// Real decks writing their mix through SDL's disk driver into a file of the test's own.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", output.toLocal8Bit().constData(), 1);
        test_support::EnsureApplication();
    }

    QTemporaryDir dir;
    const QString output = dir.filePath("mix.raw");
    platform::ScopedRecorder rec;
};

TEST_F(EndToEnd, AQueueOfThreeTracksPlaysWithOverlapsAndStops) {

    const double tones[3] = {300, 700, 1500};
    const QString files[3] = {dir.filePath("one.mp3"), dir.filePath("two.wav"), dir.filePath("three.wav")};
    ASSERT_TRUE(WriteTone(files[0], SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, tones[0], 2.5));
    ASSERT_TRUE(WriteTone(files[1], SF_FORMAT_WAV | SF_FORMAT_PCM_16, tones[1], 2.5));
    ASSERT_TRUE(WriteTone(files[2], SF_FORMAT_WAV | SF_FORMAT_FLOAT, tones[2], 2.5));

    auto form = app::CreateWindows(playback::MakeRealDeck);
    for (const QString& f : files) rec->openAnswers.push_back({f.toStdU16String()});
    for (int i = 0; i < 3; ++i) form->M11Click();
    ASSERT_TRUE(rec->errors.empty()) << QString::fromStdU16String(rec->errors[0]).toStdString();
    ASSERT_EQ(form->ListView_soon->Count(), 3);
    EXPECT_EQ(form->ListView_soon->Row(1).Time, QStringLiteral("00:02"));

    form->TrackBar_fader->setValue(1);
    form->ListView_soon->SelectRow(0);
    form->Button_PlayListClick();
    ASSERT_EQ(form->MediaPlayer1->Mode(), playback::mpPlaying);

    QElapsedTimer deadline;
    deadline.start();
    while (form->Timer1->isActive() && deadline.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_FALSE(form->Timer1->isActive()) << "the queue did not end in time";
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("Mediaplayer stopped"));
    EXPECT_TRUE(rec->errors.empty());
    form.reset();  // closes the decks, which flushes and closes the output

    QFile raw(output);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    // The output is 16-bit stereo.
    std::vector<float> mono(static_cast<size_t>(bytes.size()) / (2 * sizeof(std::int16_t)));
    const auto* frames = reinterpret_cast<const std::int16_t*>(bytes.constData());
    for (size_t i = 0; i < mono.size(); ++i) mono[i] = 0.5f * (frames[2 * i] + frames[2 * i + 1]) / 32767.0f;
    ASSERT_GT(mono.size(), size_t(6 * kRate)) << "less than six seconds were written";

    // Which tones sound in each 50 ms window, and how long two neighbours sound together.
    const size_t window = kRate / 20;
    double together[2] = {0, 0};
    int firstHeard[3] = {-1, -1, -1};
    for (size_t w = 0; (w + 1) * window <= mono.size(); ++w) {
        bool on[3];
        for (int t = 0; t < 3; ++t) {
            on[t] = Strength(mono, w * window, window, tones[t]) > 0.05;
            if (on[t] && firstHeard[t] < 0) firstHeard[t] = int(w);
        }
        if (on[0] && on[1]) together[0] += 0.05;
        if (on[1] && on[2]) together[1] += 0.05;
    }
    RecordProperty("overlap_1_2_ms", int(together[0] * 1000));
    RecordProperty("overlap_2_3_ms", int(together[1] * 1000));
    EXPECT_GE(firstHeard[0], 0);
    EXPECT_LT(firstHeard[0], firstHeard[1]);
    EXPECT_LT(firstHeard[1], firstHeard[2]);
    EXPECT_GE(together[0], 0.2) << "tracks one and two overlap";
    EXPECT_GE(together[1], 0.2) << "tracks two and three overlap";
    EXPECT_LE(together[0], 1.2);
    EXPECT_LE(together[1], 1.2);
}

// Reads a 16-bit stereo mix as mono samples at full scale 1.
std::vector<float> ReadMix(const QString& path) {
    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = raw.readAll();
    std::vector<float> mono(static_cast<size_t>(bytes.size()) / (2 * sizeof(std::int16_t)));
    const auto* frames = reinterpret_cast<const std::int16_t*>(bytes.constData());
    for (size_t i = 0; i < mono.size(); ++i) mono[i] = 0.5f * (frames[2 * i] + frames[2 * i + 1]) / 32767.0f;
    return mono;
}

// A DJ's queue with a file in the middle that is no audio, and nobody at the computer to answer
// its error box: the track after it still starts while the one before plays, so the two overlap.
TEST_F(EndToEnd, AnUnansweredErrorBoxDoesNotStopTheQueue) {

    const QString a = dir.filePath("a.mp3"), bad = dir.filePath("bad.mp3"), c = dir.filePath("c.wav");
    ASSERT_TRUE(WriteTone(a, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 300, 6));
    ASSERT_TRUE(WriteTone(bad, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 500, 1));
    ASSERT_TRUE(WriteTone(c, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 700, 3));
    auto form = app::CreateWindows(playback::MakeRealDeck);
    for (const QString& f : {a, bad, c}) rec->openAnswers.push_back({f.toStdU16String()});
    for (int i = 0; i < 3; ++i) form->M11Click();
    ASSERT_EQ(form->ListView_soon->Count(), 3);
    {
        QFile text(bad);  // replaced after it was added: now a text file with an audio name
        ASSERT_TRUE(text.open(QIODevice::WriteOnly | QIODevice::Truncate));
        text.write("Setlist for Saturday\n");
    }

    // The box stays open until the next track plays, or for five seconds (longer than the track
    // before it has left) when nothing moves meanwhile.
    int boxes = 0;
    rec->whileOpen = [&](const std::u16string&) {
        ++boxes;
        QElapsedTimer open;
        open.start();
        while (open.elapsed() < 5000 && form->MediaPlayer2->FileName() != c)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    };
    form->TrackBar_fader->setValue(3);
    form->ListView_soon->SelectRow(0);
    form->Button_PlayListClick();
    QElapsedTimer deadline;
    deadline.start();
    while (form->Timer1->isActive() && deadline.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_FALSE(form->Timer1->isActive()) << "the queue did not end in time";
    EXPECT_EQ(boxes, 1);
    ASSERT_EQ(rec->errors.size(), 1u);
    EXPECT_NE(QString::fromStdU16String(rec->errors[0]).indexOf(QStringLiteral("bad.mp3")), -1);
    form.reset();

    const std::vector<float> mono = ReadMix(output);
    const size_t window = kRate / 20;
    double together = 0, cHeard = 0;
    for (size_t w = 0; (w + 1) * window <= mono.size(); ++w) {
        const bool aOn = Strength(mono, w * window, window, 300) > 0.05;
        const bool cOn = Strength(mono, w * window, window, 700) > 0.05;
        together += aOn && cOn ? 0.05 : 0;
        cHeard += cOn ? 0.05 : 0;
    }
    EXPECT_GE(together, 0.5) << "the track after the bad one did not overlap the one before";
    EXPECT_GE(cHeard, 2.5) << "the track after the bad one was not played";
}

}  // namespace
