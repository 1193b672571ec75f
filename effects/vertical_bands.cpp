#include "effects/vertical_bands.h"

#include "music/clock.h"
#include "noise/noise.h"
#include "platform/pi.h"
#include "platform/gl_api.h"

#include <cmath>
#include <cstdint>

namespace {
constexpr std::uint32_t LastBand = VerticalBandCues.size() - 1;

std::uint32_t VerticalBandCursor = 0;  // only moves forward, one entry per frame

constexpr double HalfWidth = 1.5;
}  // namespace

void DrawVerticalBands()
{
    const std::uint32_t t = SceneTime();
    if (VerticalBandCursor < LastBand && VerticalBandCues[VerticalBandCursor + 1].start < t)
        ++VerticalBandCursor;
    const std::uint32_t s = VerticalBandCues[VerticalBandCursor].start;
    const std::uint32_t f = VerticalBandCues[VerticalBandCursor].end;
    if (!(s <= t && t <= f))
        return;

    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const double e = t - s;
    const float d = static_cast<float>(f - s);
    const float w = static_cast<float>(std::sin(Pi * e / d) / 2.0);
    // The place depends on the entry alone, so the band stands still.
    const float x0 = static_cast<float>(12.0 * PerlinNoise1(static_cast<double>(123 * s)));
    glColor4f(1.0f, 1.0f, 1.0f, static_cast<float>(1.0 - e / d));
    const float left = static_cast<float>(x0 - HalfWidth + w);
    const float right = static_cast<float>(x0 + HalfWidth - w);
    glBegin(GL_QUADS);
    glVertex2f(left, -3.0f);
    glVertex2f(right, -3.0f);
    glVertex2f(right, 3.0f);
    glVertex2f(left, 3.0f);
    glEnd();
}
