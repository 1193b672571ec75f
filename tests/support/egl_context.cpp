#include "tests/support/egl_context.h"

#include "platform/gl_api.h"
#include "platform/gl_loader.h"

#define EGL_NO_X11
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <algorithm>

namespace {

EGLDisplay OffscreenDisplay = EGL_NO_DISPLAY;
EGLContext OffscreenContext = EGL_NO_CONTEXT;
int Width = 0;
int Height = 0;

}  // namespace

bool OpenOffscreenGl(int width, int height)
{
    OffscreenDisplay = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (OffscreenDisplay == EGL_NO_DISPLAY || !eglInitialize(OffscreenDisplay, nullptr, nullptr))
        return false;
    if (!eglBindAPI(EGL_OPENGL_API))
        return false;
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configCount = 0;
    eglChooseConfig(OffscreenDisplay, configAttributes, &config, 1, &configCount);
    const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                        EGL_NONE};
    OffscreenContext = eglCreateContext(OffscreenDisplay, configCount > 0 ? config : EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, contextAttributes);
    if (OffscreenContext == EGL_NO_CONTEXT || !eglMakeCurrent(OffscreenDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, OffscreenContext))
        return false;
    if (!LoadGlLibrary(GlLibraryNames()))
        return false;

    GLuint framebuffer = 0;
    GLuint renderbuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glGenRenderbuffers(1, &renderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffer);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        return false;
    glViewport(0, 0, width, height);
    Width = width;
    Height = height;
    return true;
}

void CloseOffscreenGl()
{
    if (OffscreenDisplay != EGL_NO_DISPLAY) {
        eglMakeCurrent(OffscreenDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (OffscreenContext != EGL_NO_CONTEXT)
            eglDestroyContext(OffscreenDisplay, OffscreenContext);
        // No eglTerminate: it unloads Mesa's driver, and the leak check at
        // exit could then no longer tell the driver's allocations from ours.
    }
    OffscreenDisplay = EGL_NO_DISPLAY;
    OffscreenContext = EGL_NO_CONTEXT;
    ResetGraphicsEntryPoints();
}

std::vector<std::uint8_t> ReadOffscreenRgb()
{
    std::vector<std::uint8_t> bottomUp(static_cast<std::size_t>(Width) * Height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, Width, Height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<std::uint8_t> topDown(bottomUp.size());
    const std::size_t row = static_cast<std::size_t>(Width) * 3;
    for (int y = 0; y < Height; ++y)
        std::copy_n(&bottomUp[(Height - 1 - y) * row], row, &topDown[y * row]);
    return topDown;
}
