#include "effects/ring_pulses.h"

#include "assets/scene.h"
#include "music/clock.h"
#include "noise/noise.h"
#include "platform/gl_api.h"

#include <cstdint>

namespace {
// Music ms, strictly ascending.
const std::uint32_t RingPulseCues[116] = {
    69820,  70060,  70300,  70880,  71720,  71960,  72200,  72800,
    73640,  73880,  74120,  74720,  75560,  75800,  76040,  76640,
    77480,  77720,  77960,  78560,  79400,  79620,  79860,  80460,
    81300,  81540,  81780,  82380,  83220,  83460,  83700,  84060,
    85140,  85380,  85620,  86220,  87060,  87300,  87540,  88140,
    88960,  89200,  89440,  90040,  90880,  91120,  91360,  94960,
    95200,  95800,  96640,  96880,  97100,  97700,  98540,  98780,
    99020,  99620,  100460, 100700, 100940, 101540, 102380, 102620,
    102860, 106440, 106680, 120700, 120820, 121780, 122140, 122380,
    123460, 123680, 123920, 124520, 125360, 125600, 125840, 126440,
    127280, 127520, 127760, 128360, 129200, 129440, 129680, 130280,
    131120, 131360, 131600, 132200, 132660, 133140, 133740, 134100,
    134940, 135180, 135420, 136020, 136860, 137100, 137340, 137940,
    138780, 139020, 139260, 139860, 140700, 140940, 141160, 144760,
    145000, 179120, 179480, 179840,
};
constexpr std::uint32_t LastRing = 115;
constexpr std::uint32_t FirstFlash = 44;  // 90880 ms
constexpr std::uint32_t LastFlash = 47;   // 94960 ms

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
