#include "assets/scene.h"

#include "assets/pcx.h"
#include "assets/sphere.h"
#include "music/clock.h"
#include "music/music.h"
#include "platform/gl_api.h"
#include "platform/pi.h"

#include <cmath>
#include <memory>

std::uint32_t RingList = 0;
std::uint32_t SphereList = 0;
std::uint32_t SquareList = 0;

namespace {

constexpr int RingQuads = 30;
constexpr double RingInnerRadius = 0.6;

void LoadPictures()
{
    // One scratch image serves all seven pictures; GL copies it at each upload.
    auto imageBuffer = std::make_unique<std::uint8_t[]>(PcxImageBytes);
    for (const PictureTexture& picture : PictureTextures) {
        LoadPcx(picture.fileName, imageBuffer.get());
        glBindTexture(GL_TEXTURE_2D, picture.texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, PcxSide, PcxSide, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     imageBuffer.get());
    }
}

void RingVertex(int step, double radius)
{
    const double angle = step * 2.0 * Pi / RingQuads;
    glVertex2f(static_cast<float>(radius * std::sin(angle)), static_cast<float>(radius * std::cos(angle)));
}

// Sine as x and cosine as y: the ring starts at the top and runs clockwise.
void BuildRing()
{
    glBegin(GL_QUADS);
    for (int i = 0; i < RingQuads; ++i) {
        RingVertex(i, 1.0);
        RingVertex(i + 1, 1.0);
        RingVertex(i + 1, RingInnerRadius);
        RingVertex(i, RingInnerRadius);
    }
    glEnd();
}

void BuildSquare()
{
    glBegin(GL_QUADS);
    glVertex2f(-1.0f, -1.0f);
    glVertex2f(1.0f, -1.0f);
    glVertex2f(1.0f, 1.0f);
    glVertex2f(-1.0f, 1.0f);
    glEnd();
}

}  // namespace

void InitScene()
{
    LoadPictures();
    glClearColor(SceneClearColor[0], SceneClearColor[1], SceneClearColor[2], SceneClearColor[3]);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);

    const GLuint base = glGenLists(3);
    RingList = base;
    glNewList(RingList, GL_COMPILE);
    BuildRing();
    glEndList();

    SphereList = base + 1;
    glNewList(SphereList, GL_COMPILE);
    BuildSphere();
    glEndList();

    SquareList = base + 2;
    glNewList(SquareList, GL_COMPILE);
    BuildSquare();
    glEndList();

    // Music time starts only once everything is loaded.
    StartMusic();
    StartClock();
}
