#pragma once
// How strongly one frequency sounds in a stretch of a written mix, so a test can tell its tracks apart.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace test_support {

// Goertzel over `count` mono samples from `from`; a full-scale-half sine gives about 0.25.
inline double ToneStrength(const std::vector<float>& mono, size_t from, size_t count, double hz, int rate) {
    const double w = 2 * std::numbers::pi * hz / rate, c = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (size_t i = from; i < from + count; ++i) {
        const double s0 = mono[i] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)) / double(count);
}

}  // namespace test_support
