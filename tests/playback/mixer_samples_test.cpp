#include "playback/sdl_mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <vector>

using namespace playback;

// The vector path takes eight samples at a time and the rest one by one; 19 samples go through
// both, and every check below must hold for either.
TEST(MixerSamples, ConversionClipsInsteadOfWrapping) {
    const std::vector<float> in = {0.0f, 1.0f,  -1.0f, 0.5f, -0.5f, 1.5f,   -7.0f,  1e-30f, 0.25f, -0.25f,
                                   2.0f, -2.0f, 1e9f,  -1e9f, 0.999f, 0.1f, -0.1f, 0.75f, -0.75f};
    std::vector<std::int16_t> shorts(in.size());
    FloatsToShorts(shorts.data(), in.data(), in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        const float clipped = in[i] > 1.0f ? 1.0f : (in[i] < -1.0f ? -1.0f : in[i]);
        EXPECT_NEAR(shorts[i], clipped * 32767.0f, 0.5f) << "sample " << i;
    }
    EXPECT_EQ(shorts[5], 32767);
    EXPECT_EQ(shorts[6], -32767);
    EXPECT_EQ(shorts[12], 32767);
    EXPECT_EQ(shorts[13], -32767);

}

// The mix stage's limiter on a few kinds of sum. Below full scale it must change nothing (only
// delay); above it the output stays under full scale and the gain moves smoothly, never sample by
// sample as a clipper's does.
TEST(MixerSamples, LimiterLeavesQuietSumsAloneAndTamesLoudOnes) {
    constexpr int rate = 44100, frames = rate / 2, delay = Limiter::kLookahead - 1;
    auto sine = [](double hz, double amp) {
        return [=](int i) { return amp * std::sin(2 * std::numbers::pi * hz * i / rate); };
    };
    struct Case {
        const char* name;
        std::function<double(int)> left, right;
        bool untouched;
    };
    const auto quiet = sine(440, 0.7), other = sine(1000, 0.29);
    const Case cases[] = {
        {"one track just under full scale", sine(440, 0.999), sine(440, 0.999), true},
        {"two tracks whose sum stays below full scale", [&](int i) { return quiet(i) + other(i); }, quiet, true},
        {"two full-scale tracks overlapping", [s1 = sine(440, 0.98), s2 = sine(659, 0.97)](int i) { return s1(i) + s2(i); },
         sine(300, 1.6), false},
        {"a lone spike in a quiet track", [q = sine(200, 0.3)](int i) { return i == rate / 4 ? 3.0 : q(i); },
         sine(200, 0.3), false},
    };
    for (const Case& c : cases) {
        std::vector<float> in(2 * frames), out;
        for (int i = 0; i < frames; ++i) {
            in[2 * i] = static_cast<float>(c.left(i));
            in[2 * i + 1] = static_cast<float>(c.right(i));
        }
        out = in;
        Limiter limiter(rate);
        // In uneven pieces, as the callback may hand them over.
        for (int at = 0, piece = 1; at < frames; at += piece, piece = piece * 7 % 4099 + 1)
            limiter.Process(&out[2 * at], std::min(piece, frames - at));

        float peak = 0, worstStep = 0;
        bool same = true;
        for (int i = delay; i < frames; ++i) {
            for (int ch = 0; ch < 2; ++ch) {
                peak = std::max(peak, std::fabs(out[2 * i + ch]));
                same = same && in[2 * (i - delay) + ch] == out[2 * i + ch];
            }
            if (i == delay) continue;
            // The gain from one frame to the next, where it can be read off the left channel.
            const float x = in[2 * (i - delay)], x0 = in[2 * (i - delay - 1)];
            if (std::fabs(x) > 0.2f && std::fabs(x0) > 0.2f)
                worstStep = std::max(worstStep, std::fabs(out[2 * i] / x - out[2 * (i - 1)] / x0));
        }
        EXPECT_LE(peak, Limiter::kCeiling) << c.name;
        EXPECT_EQ(same, c.untouched) << c.name;
        EXPECT_LT(worstStep, 0.01f) << c.name << ": the gain jumps";
    }
}
