#include "effects/vertical_bands.h"

#include "music/clock.h"
#include "noise/noise.h"
#include "platform/gl_api.h"

#include <cmath>
#include <cstdint>

namespace {
struct BandWindow {
    std::uint32_t start;  // music ms, inclusive
    std::uint32_t end;    // music ms, inclusive
};

// Starts about 3840 ms apart. Entry 7 is kept in that rhythm; stored with its
// ends the wrong way round it could never draw and left a 10 s gap.
const BandWindow VerticalBandCues[41] = {
    {15580, 16780},   {19160, 20600},   {23000, 24440},   {26820, 28260},   {30660, 32100},
    {34500, 35920},   {38320, 39760},   {42160, 43600},   {49820, 51260},   {53640, 55080},
    {57480, 58920},   {61320, 62740},   {65140, 66580},   {69040, 70420},   {72860, 74240},
    {76700, 78080},   {80460, 81900},   {84300, 85740},   {88140, 89560},   {91960, 93400},
    {95800, 97220},   {99620, 101060},  {103460, 104900}, {107280, 108720}, {111120, 112560},
    {114940, 116380}, {118780, 120220}, {122620, 124040}, {126440, 127880}, {130280, 131720},
    {134100, 135540}, {137940, 139380}, {141760, 143200}, {145600, 147040}, {149440, 150860},
    {153260, 154700}, {157100, 158540}, {183980, 185340}, {187740, 189180}, {191580, 193020},
    {199240, 200680},
};
constexpr std::uint32_t LastBand = 40;

std::uint32_t VerticalBandCursor = 0;  // only moves forward, one entry per frame

constexpr double Pi = 3.14159265358979323846;
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
