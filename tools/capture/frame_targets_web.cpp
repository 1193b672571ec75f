// The frame targets on the page: the full frame is the page's canvas itself,
// so the frame drawn stays on the page; the 1 by 1 frame is a framebuffer
// object. WebGL 1 has no 8-bit-per-channel renderbuffers, but a frame of
// one pixel that nobody looks at needs none.

#include "tools/capture/frame_targets.h"

#include "platform/gl_api.h"

#include <algorithm>

namespace {
constexpr GLenum GL_RGBA4 = 0x8056;
constexpr GLuint Canvas = 0;
GLuint TinyFramebuffer = 0;
int FullWidth = 0;
int FullHeight = 0;
std::vector<std::uint8_t> BottomUp;
}  // namespace

bool CreateFrameTargets(int width, int height)
{
    FullWidth = width;
    FullHeight = height;
    GLuint renderbuffer = 0;
    glGenFramebuffers(1, &TinyFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, TinyFramebuffer);
    glGenRenderbuffers(1, &renderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA4, 1, 1);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffer);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, Canvas);
    return complete;
}

void UseFullFrame(const PictureArea& area)
{
    glBindFramebuffer(GL_FRAMEBUFFER, Canvas);
    glViewport(area.x, area.y, area.width, area.height);
}

void UseTinyFrame()
{
    glBindFramebuffer(GL_FRAMEBUFFER, TinyFramebuffer);
    glViewport(0, 0, 1, 1);
}

void ReadFullFrame(std::vector<std::uint8_t>& rgb)
{
    const std::size_t row = static_cast<std::size_t>(FullWidth) * 4;
    BottomUp.resize(row * FullHeight);
    ReadFullFrameRgba(BottomUp.data());
    rgb.resize(static_cast<std::size_t>(FullWidth) * 3 * FullHeight);
    for (int y = 0; y < FullHeight; ++y)
        for (int x = 0; x < FullWidth; ++x)
            std::copy_n(&BottomUp[(FullHeight - 1 - y) * row + x * 4], 3, &rgb[(y * FullWidth + x) * 3]);
}

void ReadFullFrameRgba(std::uint8_t* pixels)
{
    // WebGL reads RGBA only.
    glBindFramebuffer(GL_FRAMEBUFFER, Canvas);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, FullWidth, FullHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}
