#include "effects/ring_pulses.h"

#include "assets/scene.h"
#include "music/clock.h"
#include "noise/noise.h"
#include "platform/gl_api.h"

#include <cstdint>

namespace {
constexpr std::uint32_t LastRing = RingPulseCues.size() - 1;

constexpr std::uint32_t RingLifetime = 300;
constexpr double RingGrowthDivisor = 150.0;
constexpr std::uint32_t FlashLength = 280;

std::uint32_t RingPulseCursor = 0;  // only moves forward, one entry per frame
}  // namespace

void DrawRingPulses()
{
    const std::uint32_t t = SceneTime();
    if (RingPulseCursor < LastRing && RingPulseCues[RingPulseCursor + 1] < t)
        ++RingPulseCursor;
    const std::uint32_t c = RingPulseCursor;
    const std::uint32_t cue = RingPulseCues[c];
    if (!(cue <= t && t < cue + RingLifetime))
        return;

    const double e = t - cue;
    glTranslatef(static_cast<float>(10.0 * PerlinNoise1(cue)),
                 static_cast<float>(8.0 * PerlinNoise1(static_cast<double>(3 * cue))), 0.0f);
    glColor4f(1.0f, 1.0f, 1.0f, static_cast<float>(1.0 - e / RingLifetime));
    const float growth = static_cast<float>(1.0 + e / RingGrowthDivisor);
    glScalef(growth, growth, 1.0f);
    glCallList(RingList);
    if (FirstFlash <= c && c <= LastFlash)
        FlashScreen(cue, cue + FlashLength);  // over the ring
}

void FlashScreen(std::uint32_t start, std::uint32_t end)
{
    const std::uint32_t t = SceneTime();
    if (!(start <= t && t < end))
        return;
    const double e = t - start;
    glPushMatrix();
    glLoadIdentity();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.0f, 1.0f, 1.0f, static_cast<float>(1.0 - e / (end - start)));
    glRectf(-4.0f, -3.0f, 4.0f, 3.0f);  // exactly the view
    glPopMatrix();
}
