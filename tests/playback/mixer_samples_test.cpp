#include "playback/sdl_mixer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace playback;

// The vector paths take eight samples at a time and the rest one by one; 19 samples go through
// both, and every check below must hold for either.
TEST(MixerSamples, ConversionAndMixingClipInsteadOfWrapping) {
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

    // Two decks near full scale add up beyond it: the sum clips at the limits.
    std::vector<std::int16_t> sum(shorts);
    AddShorts(sum.data(), shorts.data(), shorts.size());
    for (size_t i = 0; i < in.size(); ++i) {
        const int twice = 2 * shorts[i];
        EXPECT_EQ(sum[i], twice > 32767 ? 32767 : (twice < -32768 ? -32768 : twice)) << "sample " << i;
    }
    EXPECT_EQ(sum[17], 32767);
    EXPECT_EQ(sum[18], -32768);
}
