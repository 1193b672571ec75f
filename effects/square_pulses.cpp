#include "effects/square_pulses.h"

#include "assets/scene.h"
#include "music/clock.h"
#include "noise/noise.h"
#include "platform/gl_api.h"

#include <cstdint>

namespace {
constexpr std::uint32_t PulseLength = 550;
}  // namespace

void DrawSquarePulses()
{
    const std::uint32_t t = SceneTime();
    for (const std::uint32_t c : SquarePulseCues) {
        if (!(c <= t && t < c + PulseLength))
            continue;
        const double e = t - c;
        const double growth = 1.0 + e / PulseLength;
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glColor4f(1.0f, 1.0f, 1.0f, static_cast<float>(1.0 - e / PulseLength));
        // Both coordinates come from the cue, so the square stands still.
        glTranslatef(static_cast<float>(10.0 * PerlinNoise1(c)),
                     static_cast<float>(8.0 * PerlinNoise1(static_cast<double>(3 * c))), 0.0f);
        glScalef(static_cast<float>(growth), static_cast<float>(growth), 1.0f);
        glCallList(SquareList);
    }
}
