#include "playback/probe_deck.h"
#include "playback/real_deck.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

using namespace playback;

namespace {

// A few seconds of two drifting tones with a little noise, so that a VBR encoder varies its frames.
bool WriteAudio(const QString& path, int format, int rate, int channels, double seconds,
                std::optional<int> bitrateMode = std::nullopt) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f) return false;
    if (bitrateMode) {
        int mode = *bitrateMode;
        sf_command(f, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
        if (sf_error(f) != SF_ERR_NO_ERROR) {
            sf_close(f);
            return false;
        }
    }
    const auto frames = static_cast<sf_count_t>(rate * seconds);
    std::vector<float> data(static_cast<size_t>(frames * channels));
    unsigned noise = 1;
    for (sf_count_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1103515245u + 12345u;
            const double hz = (c ? 330 : 220) * (1 + 0.5 * std::sin(t));
            data[static_cast<size_t>(i * channels + c)] = static_cast<float>(
                0.3 * std::sin(2 * std::numbers::pi * hz * t) * (0.5 + 0.5 * std::sin(3 * t)) +
                0.02 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5));
        }
    }
    const bool ok = sf_writef_float(f, data.data(), frames) == frames;
    sf_close(f);
    return ok;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray Id3v2Tag(int padding) {
    QByteArray frame("TIT2");
    const QByteArray text = QByteArray(1, '\0') + "A title";
    frame += QByteArray(3, '\0') + char(text.size()) + QByteArray(2, '\0') + text;
    const int size = static_cast<int>(frame.size()) + padding;
    QByteArray tag("ID3\x03\x00\x00", 6);
    for (int shift : {21, 14, 7, 0}) tag += char((size >> shift) & 0x7F);
    return tag + frame + QByteArray(padding, '\0');
}

QByteArray Id3v1Trailer() {
    QByteArray t("TAG");
    t += QByteArray("Title").leftJustified(30, ' ') + QByteArray(30 + 30, ' ') + "1999" + QByteArray(30, '\0');
    return t + char(17);
}

// Bytes of the first MPEG frame at `at` (a Layer III frame of MPEG-1 or MPEG-2).
int FrameBytes(const QByteArray& b, int at) {
    const auto p = reinterpret_cast<const unsigned char*>(b.constData() + at);
    const bool mpeg1 = ((p[1] >> 3) & 3) == 3;
    static const int k1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int k2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int r1[] = {44100, 48000, 32000}, r2[] = {22050, 24000, 16000};
    const int kbps = (mpeg1 ? k1 : k2)[p[2] >> 4], rate = (mpeg1 ? r1 : r2)[(p[2] >> 2) & 3];
    return (mpeg1 ? 144 : 72) * 1000 * kbps / rate + ((p[2] >> 1) & 1);
}

struct Measured {
    std::optional<int> ms;
    std::string error;
};

Measured Measure(AudioDeck& deck, const QString& path) {
    Measured m;
    deck.SetFileName(path);
    try {
        deck.Open();
        m.ms = deck.Length();
        EXPECT_TRUE(deck.IsOpen());
    } catch (const DeckError& e) {
        m.error = e.what();
        EXPECT_FALSE(deck.IsOpen());
        EXPECT_EQ(deck.Length(), 0);
    }
    deck.Close();
    return m;
}

// What the decoder really delivers, read to the end.
std::optional<int> DecodedMs(const QString& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f) return std::nullopt;
    std::vector<float> buf(static_cast<size_t>(4096 * info.channels));
    sf_count_t frames = 0, got = 0;
    while ((got = sf_readf_float(f, buf.data(), 4096)) > 0) frames += got;
    sf_close(f);
    return static_cast<int>(frames * 1000 / info.samplerate);
}

// Both decks give the same length, or fail with the same text. Where the frame headers give a
// length the decks' length is within `slackMs` of what the decoder delivers; elsewhere both take
// libsndfile's count, which can be wrong for a cut or damaged file.
void ExpectSameAsRealDeck(const QString& path, int slackMs, const char* what) {
    TRealDeck real;
    TProbeDeck probe;
    const Measured a = Measure(real, path), b = Measure(probe, path);
    SCOPED_TRACE(std::string(what) + " " + path.toStdString());
    ASSERT_EQ(a.ms.has_value(), b.ms.has_value()) << "real: " << a.error << " probe: " << b.error;
    if (!a.ms) {
        EXPECT_EQ(a.error, b.error);
        return;
    }
    EXPECT_EQ(*a.ms, *b.ms);
    if (MeasureMpeg(QFile::encodeName(path).toStdString())) {
        const std::optional<int> decoded = DecodedMs(path);
        ASSERT_TRUE(decoded);
        EXPECT_NEAR(*b.ms, *decoded, slackMs);
    }
}

constexpr int kMp3 = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;

TEST(ProbeDeck, MeasuresLikeTheRealDeckWithoutPlaying) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Kind {
        int rate, channels;
        std::optional<int> mode;
    };
    const Kind kinds[] = {{44100, 2, SF_BITRATE_MODE_CONSTANT}, {44100, 1, SF_BITRATE_MODE_VARIABLE},
                          {48000, 2, SF_BITRATE_MODE_VARIABLE}, {48000, 1, SF_BITRATE_MODE_CONSTANT},
                          {22050, 2, SF_BITRATE_MODE_VARIABLE}, {16000, 1, SF_BITRATE_MODE_CONSTANT},
                          {32000, 2, std::nullopt}};
    int n = 0;
    for (const Kind& k : kinds) {
        const QString base = dir.filePath(QStringLiteral("k%1").arg(n++));
        const QString mp3 = base + ".mp3";
        ASSERT_TRUE(WriteAudio(mp3, kMp3, k.rate, k.channels, 2.3, k.mode)) << sf_strerror(nullptr);
        // Within one frame of the decoder's count (without an Info frame it keeps the encoder's
        // delay); with one, exactly.
        const int frameMs = 1152 * 1000 / k.rate + 1;
        ExpectSameAsRealDeck(mp3, 1, "as encoded");
        if (k.rate >= 44100) {
            TProbeDeck probe;
            const Measured m = Measure(probe, mp3);
            ASSERT_TRUE(m.ms);
            EXPECT_NEAR(*m.ms, 2300, 1) << "the encoder's delay and padding are not part of the length";
        }

        const QByteArray audio = ReadAll(mp3);
        const QString tagged = base + "-tagged.mp3";
        WriteAll(tagged, Id3v2Tag(700) + audio + Id3v1Trailer());
        ExpectSameAsRealDeck(tagged, 1, "with ID3v2 and ID3v1");

        // Without the Info frame the frames are counted; libsndfile then estimates the length from
        // the file's size and stops decoding there, which for VBR can be well before the end.
        const int infoBytes = FrameBytes(audio, 0);
        const QString bare = base + "-bare.mp3";
        WriteAll(bare, Id3v2Tag(10) + audio.mid(infoBytes) + Id3v1Trailer());
        ExpectSameAsRealDeck(bare, frameMs, "without Info frame");

        // Cut in the middle of a frame, junk at the end: the header's counts no longer hold.
        const QString cut = base + "-cut.mp3";
        WriteAll(cut, audio.left(audio.size() * 2 / 3 + 7));
        ExpectSameAsRealDeck(cut, frameMs, "cut short");
        const QString junk = base + "-junk.mp3";
        WriteAll(junk, audio + QByteArray(3000, 'x'));
        ExpectSameAsRealDeck(junk, frameMs, "junk after the audio");

        const QString wav = base + ".wav";
        ASSERT_TRUE(WriteAudio(wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, k.rate, k.channels, 1.7));
        ExpectSameAsRealDeck(wav, 0, "wav");
        EXPECT_EQ(DecodedMs(wav), 1700);
    }

    // Files that are not audio, or not there: the same error as the real deck.
    WriteAll(dir.filePath("text.mp3"), "This is a text file, not audio.\n");
    WriteAll(dir.filePath("empty.mp3"), QByteArray());
    WriteAll(dir.filePath("tag-only.mp3"), Id3v2Tag(100) + Id3v1Trailer());
    // A stray sync pattern followed by nothing like a second frame.
    WriteAll(dir.filePath("sync.mp3"), QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(5000, 'y'));
    for (const char* name : {"text.mp3", "empty.mp3", "tag-only.mp3", "sync.mp3", "missing.mp3"})
        ExpectSameAsRealDeck(dir.filePath(name), 0, "not audio");

    TProbeDeck probe;
    probe.SetFileName(dir.filePath("k0.mp3"));
    probe.Open();
    probe.Play();  // it never plays
    EXPECT_EQ(probe.Mode(), mpStopped);
    EXPECT_EQ(probe.Position(), 0);
    probe.SetFileName(dir.filePath("text.mp3"));
    EXPECT_THROW(probe.Open(), DeckError);  // a failed Open leaves the deck closed
    EXPECT_FALSE(probe.IsOpen());
    EXPECT_EQ(probe.Length(), 0);
}

TEST(ProbeDeck, CorpusFilesMeasureLikeTheRealDeck) {
    const QString corpus = QStringLiteral(QMM_CORPUS_DIR);
    if (!QDir(corpus).exists()) GTEST_SKIP() << "no corpus at " << corpus.toStdString();
    int files = 0;
    QDirIterator it(corpus, {QStringLiteral("*.mp3"), QStringLiteral("*.wav")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        ExpectSameAsRealDeck(it.next(), 27, "corpus");
        ++files;
    }
    EXPECT_GT(files, 20);
}

TEST(ProbeDeck, OnlyTheRealDeckFactoryGetsTheMeasuringDeck) {
    EXPECT_NE(dynamic_cast<TProbeDeck*>(MakeProbeDeckFor(MakeRealDeck).get()), nullptr);
    int made = 0;
    const DeckFactory other = [&made]() -> std::unique_ptr<AudioDeck> {
        ++made;
        return std::make_unique<TProbeDeck>();
    };
    MakeProbeDeckFor(other);
    EXPECT_EQ(made, 1);
}

}  // namespace
