#include "effects/square_stamps.h"

#include "assets/scene.h"
#include "music/clock.h"
#include "noise/noise.h"
#include "platform/gl_api.h"

#include <cstdint>

namespace {
constexpr std::uint32_t StampLifetime = 500;
}  // namespace

void DrawSquareStamps()
{
    const std::uint32_t t = SceneTime();
    for (const std::uint32_t cue : SquareStampCues) {
        if (!(cue <= t && t < cue + StampLifetime))
            continue;
        const double tremor = 0.6 * PerlinNoise1(0.02 * t);
        glTranslatef(static_cast<float>(12.0 * PerlinNoise1(0.1234 * cue) + tremor),
                     static_cast<float>(9.0 * PerlinNoise1(0.764634 * cue)), 0.0f);
        glScalef(1.5f, 1.5f, 1.0f);
        glRotatef(static_cast<float>(21000.0 * PerlinNoise1(0.435 * cue)), 0.0f, 0.0f, 1.0f);
        glCallList(SquareList);
    }
}
