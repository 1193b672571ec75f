#include "effects/closing_scene.h"

#include "assets/scene.h"
#include "music/clock.h"
#include "noise/noise.h"
#include "platform/gl_api.h"

#include <cmath>

namespace {
struct Corner {
    float x, y, s, t;
};
const Corner QuadCorners[4] = {{-1, -1, 0, 0}, {1, -1, 1, 0}, {1, 1, 1, 1}, {-1, 1, 0, 1}};
}  // namespace

void DrawClosingScene()
{
    const std::uint32_t t = SceneTime();
    if (t < ClosingSceneStart || t > ClosingSceneEnd)
        return;
    const float a1 = static_cast<float>(PerlinNoise1(0.003 * t) + 0.7);

    // The sphere bobs over the view's full height and turns about a tilted axis.
    glTranslatef(2.0f, static_cast<float>(3.0 * std::sin(0.001 * t)), 0.0f);
    glRotatef(static_cast<float>(0.04 * t), 0.7f, 0.333f, 0.5f);
    glScalef(2.0f, 2.0f, 2.0f);
    glColor3f(0.0f, 0.0f, 0.0f);
    glPolygonMode(GL_FRONT, GL_FILL);
    glCallList(SphereList);
    glPolygonMode(GL_FRONT, GL_LINE);
    glColor4f(1.0f, 1.0f, 1.0f, a1);
    glCallList(SphereList);
    glPolygonMode(GL_FRONT, GL_FILL);

    glLoadIdentity();
    const float s1 = static_cast<float>(PerlinNoise1(0.003 * t) + 3.0);
    glScalef(s1, s1, 1.0f);
    DrawSprite(TexCreated, -0.25f, 0.15f, 0.0f, a1);

    glLoadIdentity();
    const float a2 = static_cast<float>(PerlinNoise1(0.003 * static_cast<double>(t + 1000)) + 0.7);
    const float s2 = static_cast<float>(PerlinNoise1(0.003 * t + 1000.0) + 3.0);
    glScalef(s2, s2, 1.0f);
    DrawSprite(TexSound, 0.2f, -0.25f, 0.0f, a2);
}

void DrawSprite(std::uint32_t texture, float x, float y, float z, float alpha)
{
    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4f(1.0f, 1.0f, 1.0f, alpha);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glTranslatef(x, y, z);
    glBegin(GL_QUADS);
    for (const Corner& corner : QuadCorners) {
        glTexCoord2f(corner.s, corner.t);
        glVertex3f(corner.x, corner.y, 0.0f);
    }
    glEnd();
    // Blending stays off after the picture: every later effect, in this
    // frame and the next ones, draws unblended.
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}
