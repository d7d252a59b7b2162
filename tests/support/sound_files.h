#pragma once
// Sound for tests: audio files written with libsndfile, and SDL's disk driver recording what the
// decks mix, read back as 16-bit stereo samples.
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace test_support {

constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
constexpr int kMp3 = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
constexpr int kWavFloat = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

// Writes `seconds` of sound, sample(frame, channel) at a time; returns the number of frames written.
inline sf_count_t WriteSound(const QString& path, int format, int rate, int channels, double seconds,
                             const std::function<double(sf_count_t, int)>& sample) {
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
        for (int c = 0; c < channels; ++c) data[static_cast<size_t>(i * channels + c)] = static_cast<float>(sample(i, c));
    EXPECT_EQ(sf_writef_float(f, data.data(), frames), frames);
    sf_close(f);
    return frames;
}

// A sine tone in every channel.
inline sf_count_t WriteTone(const QString& path, int format, int rate, int channels, double hz, double seconds,
                            double amplitude = 0.4) {
    return WriteSound(path, format, rate, channels, seconds, [=](sf_count_t i, int) {
        return amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate);
    });
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

}  // namespace test_support
