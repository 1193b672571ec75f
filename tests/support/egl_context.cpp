#include "tests/support/egl_context.h"

#include "platform/gl_api.h"
#include "platform/gl_loader.h"
#include "tools/capture/frame_targets.h"

#define EGL_NO_X11
#include <EGL/egl.h>
#include <EGL/eglext.h>


namespace {

EGLDisplay OffscreenDisplay = EGL_NO_DISPLAY;
EGLContext OffscreenContext = EGL_NO_CONTEXT;

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

    // The capture tool's framebuffers: the frames the tests probe are drawn
    // exactly as the tool draws its stills.
    if (!CreateFrameTargets(width, height))
        return false;
    UseFullFrame(PictureArea{0, 0, width, height});
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
    std::vector<std::uint8_t> rgb;
    ReadFullFrame(rgb);
    return rgb;
}
