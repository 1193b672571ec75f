#include "effects/picture_zooms.h"

#include "assets/scene.h"
#include "music/clock.h"
#include "noise/noise.h"
#include "platform/gl_api.h"

#include <cstdint>

namespace {
const std::uint32_t PictureZoomTextures[PictureZoomCues.size()] = {TexResp, TexG0, TexG1, TexG2, TexG3};
constexpr float ZoomLifetime = 1000.0f;

struct Corner {
    float x, y, s, t;
};
const Corner QuadCorners[4] = {{-1, -1, 0, 0}, {1, -1, 1, 0}, {1, 1, 1, 1}, {-1, 1, 0, 1}};
}  // namespace

void DrawPictureZooms()
{
    // Times are whole numbers far below 2^24, exact as floats.
    const float t = static_cast<float>(SceneTime());
    for (std::size_t i = 0; i < PictureZoomCues.size(); ++i) {
        const std::uint32_t cue = PictureZoomCues[i];
        const float start = static_cast<float>(cue);
        if (!(start <= t && t < start + ZoomLifetime))
            continue;
        const double e = t - start;
        glTranslatef(static_cast<float>(12.0 * PerlinNoise1(static_cast<double>(7 * cue))),
                     static_cast<float>(8.0 * PerlinNoise1(0.34 * cue)), 0.0f);
        const float zoom = static_cast<float>(1.5 + e / 800.0);
        glScalef(zoom, zoom, 1.0f);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glColor4f(1.0f, 1.0f, 1.0f, static_cast<float>(1.0 - e / ZoomLifetime));
        glBindTexture(GL_TEXTURE_2D, PictureZoomTextures[i]);
        glEnable(GL_TEXTURE_2D);
        glBegin(GL_QUADS);
        for (const Corner& corner : QuadCorners) {
            glTexCoord2f(corner.s, corner.t);
            glVertex3f(corner.x, corner.y, 0.0f);
        }
        glEnd();
        glDisable(GL_TEXTURE_2D);
    }
}
