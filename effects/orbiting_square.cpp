#include "effects/orbiting_square.h"

#include "assets/scene.h"
#include "music/clock.h"
#include "noise/noise.h"
#include "platform/gl_api.h"

#include <cmath>
#include <cstdint>

namespace {
// Below this size change the square is not drawn at all.
constexpr double VisibilityThreshold = 0.02;

void DrawOrbitingSquareNow()
{
    const float s = static_cast<float>(2.0 * PerlinNoise1(0.04 * SceneTime()));
    // The vertical term is read first, the horizontal one after it.
    const double y = 2.0 * std::sin(0.002 * SceneTime());
    const double x = 3.0 * std::cos(0.002 * SceneTime());
    glTranslatef(static_cast<float>(x), static_cast<float>(y), 0.0f);
    const float size = static_cast<float>(1.0 + s);
    glScalef(size, size, 1.0f);
    // The spin flips direction with the sign of s.
    const double spin = 0.01 * SceneTime();
    glRotatef(static_cast<float>(s < 0.0f ? -spin : spin), 0.0f, 0.0f, 1.0f);
    if (std::fabs(static_cast<double>(s)) > VisibilityThreshold)
        glCallList(SquareList);
}
}  // namespace

void DrawOrbitingSquare()
{
    const std::uint32_t t = SceneTime();
    for (const OrbitWindow& window : OrbitingSquareWindows) {
        if (window.start <= t && t < window.end)
            DrawOrbitingSquareNow();
    }
}
