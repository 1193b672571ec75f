#include "tools/capture/frame_targets.h"

#include "platform/gl_api.h"

#include <algorithm>

namespace {
GLuint FullFramebuffer = 0;
GLuint TinyFramebuffer = 0;
int FullWidth = 0;
int FullHeight = 0;
std::vector<std::uint8_t> BottomUp;

GLuint CreateFramebuffer(int width, int height)
{
    GLuint framebuffer = 0;
    GLuint renderbuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glGenRenderbuffers(1, &renderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffer);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        return 0;
    return framebuffer;
}
}  // namespace

bool CreateFrameTargets(int width, int height)
{
    FullWidth = width;
    FullHeight = height;
    FullFramebuffer = CreateFramebuffer(width, height);
    TinyFramebuffer = CreateFramebuffer(1, 1);
    if (FullFramebuffer == 0 || TinyFramebuffer == 0)
        return false;
    // Black bars around a picture narrower than the frame: cleared once here;
    // the scissor then keeps the show's own clear inside its picture.
    glBindFramebuffer(GL_FRAMEBUFFER, FullFramebuffer);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    return true;
}

void UseFullFrame(const PictureArea& area)
{
    glBindFramebuffer(GL_FRAMEBUFFER, FullFramebuffer);
    glViewport(area.x, area.y, area.width, area.height);
    glScissor(area.x, area.y, area.width, area.height);
}

void UseTinyFrame()
{
    glBindFramebuffer(GL_FRAMEBUFFER, TinyFramebuffer);
    glViewport(0, 0, 1, 1);
    glScissor(0, 0, 1, 1);
}

void ReadFullFrame(std::vector<std::uint8_t>& rgb)
{
    const std::size_t row = static_cast<std::size_t>(FullWidth) * 3;
    BottomUp.resize(row * FullHeight);
    rgb.resize(BottomUp.size());
    glBindFramebuffer(GL_FRAMEBUFFER, FullFramebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, FullWidth, FullHeight, GL_RGB, GL_UNSIGNED_BYTE, BottomUp.data());
    for (int y = 0; y < FullHeight; ++y)
        std::copy_n(&BottomUp[(FullHeight - 1 - y) * row], row, &rgb[y * row]);
}

void ReadFullFrameRgba(std::uint8_t* pixels)
{
    glBindFramebuffer(GL_FRAMEBUFFER, FullFramebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, FullWidth, FullHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}
