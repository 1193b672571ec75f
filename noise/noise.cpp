#include "noise/noise.h"

#include <cmath>
#include <cstdint>

namespace {
const double NoisePersistence = 0.25;  // amplitude of octave 0, and the ratio between octaves
const int NoiseOctaves = 4;

// Truncation toward zero; NaN and values outside int32 map to INT32_MIN, as
// the hardware conversion does, but without the undefined behaviour of a cast.
std::int32_t TruncateToInt32(double x)
{
    if (x > -2147483649.0 && x < 2147483648.0)
        return static_cast<std::int32_t>(x);
    return INT32_MIN;
}
}  // namespace

double LatticeNoise1(double x)
{
    // The noise depends on 32-bit wrap-around, so the hash runs in uint32_t
    // (well-defined overflow) on the two's-complement bits of the index.
    std::uint32_t n = static_cast<std::uint32_t>(TruncateToInt32(x));
    n = (n << 13) ^ n;
    std::uint32_t v = n * n;
    v = v * 15731u;
    v = v + 789221u;
    v = v * n;
    v = v + 1376312589u;
    v = v & 2147483647u;
    return 1.0 - static_cast<double>(v) / 1073741824.0;
}

double SmoothedNoise1(double x)
{
    return LatticeNoise1(x) / 2 + LatticeNoise1(x - 1) / 4 + LatticeNoise1(x + 1) / 4;
}

double CosineInterpolate(double a, double b, double t)
{
    const double angle = t * 3.1415927;  // this decimal, not full-precision pi
    const double f = (1 - std::cos(angle)) * 0.5;
    return a * (1 - f) + b * f;
}

double InterpolatedNoise1(double x)
{
    const double i = static_cast<double>(TruncateToInt32(x));
    const double t = x - i;
    return CosineInterpolate(SmoothedNoise1(i), SmoothedNoise1(i + 1), t);
}

double PerlinNoise1(double x)
{
    double total = 0;
    double amplitude = NoisePersistence;
    for (int k = 0; k < NoiseOctaves; ++k) {
        const double frequency = static_cast<double>(1 << k);
        total = total + InterpolatedNoise1(x * frequency) * amplitude;
        amplitude = amplitude * NoisePersistence;
    }
    return total;
}
