#pragma once
// Generated sound for the benchmarks: something with the spread of music rather than a pure tone.
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <random>
#include <stdexcept>
#include <vector>

namespace bench {

struct MusicRecipe {
    double seconds = 60, base = 220, level = 1;  // level scales the whole signal
    int rate = 44100, channels = 2;
    int format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    unsigned seed = 1;
    double leadSilence = 0, trailSilence = 0;
};

// A few drifting partials, a beat and some noise, so an encoder spends its bits as it would on a
// real track.
inline void WriteMusic(const std::filesystem::path& path, const MusicRecipe& m) {
    SF_INFO info{};
    info.samplerate = m.rate;
    info.channels = m.channels;
    info.format = m.format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) throw std::runtime_error(sf_strerror(nullptr));
    std::mt19937 rng(m.seed);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::vector<float> block(static_cast<size_t>(m.channels) * 4096);
    const auto total = static_cast<long>((m.leadSilence + m.seconds + m.trailSilence) * m.rate);
    for (long done = 0; done < total;) {
        const long n = std::min<long>(4096, total - done);
        for (long i = 0; i < n; ++i) {
            const double t = static_cast<double>(done + i) / m.rate - m.leadSilence;
            float v = 0;
            if (t >= 0 && t < m.seconds) {
                const double beat = std::exp(-8.0 * std::fmod(t, 0.5));
                double s = 0;
                for (int k = 1; k <= 5; ++k)
                    s += std::sin(2 * std::numbers::pi * m.base * k * (1 + 0.01 * std::sin(t * k))) / k;
                v = static_cast<float>(m.level * 0.15 * s * (0.5 + 0.5 * beat));
            }
            for (int c = 0; c < m.channels; ++c)
                block[static_cast<size_t>(i * m.channels + c)] =
                    v + (t >= 0 && t < m.seconds ? static_cast<float>(m.level) * 0.05f * noise(rng) : 0.0f);
        }
        sf_writef_float(f, block.data(), n);
        done += n;
    }
    sf_close(f);
}

}  // namespace bench
