#include "tests/support/egl_context.h"

#include "platform/gl_api.h"
#include "platform/gl_loader.h"
#include "platform/gles2.h"
#include "tools/capture/frame_targets.h"

#define EGL_NO_X11
#include <EGL/egl.h>
#include <EGL/eglext.h>


namespace {

EGLDisplay OffscreenDisplay = EGL_NO_DISPLAY;
EGLContext OffscreenContext = EGL_NO_CONTEXT;

// A surfaceless context of `api` (EGL_OPENGL_API or EGL_OPENGL_ES_API),
// made current.
bool OpenContext(EGLenum api, EGLint renderableType, const EGLint* contextAttributes)
{
    OffscreenDisplay = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (OffscreenDisplay == EGL_NO_DISPLAY || !eglInitialize(OffscreenDisplay, nullptr, nullptr))
        return false;
    if (!eglBindAPI(api))
        return false;
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, renderableType, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configCount = 0;
    eglChooseConfig(OffscreenDisplay, configAttributes, &config, 1, &configCount);
    OffscreenContext = eglCreateContext(OffscreenDisplay, configCount > 0 ? config : EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, contextAttributes);
    return OffscreenContext != EGL_NO_CONTEXT &&
           eglMakeCurrent(OffscreenDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, OffscreenContext);
}

// The capture tool's framebuffers: the frames the tests probe are drawn
// exactly as the tool draws its stills.
bool UseFrameTargets(int width, int height)
{
    if (!CreateFrameTargets(width, height))
        return false;
    UseFullFrame(PictureArea{0, 0, width, height});
    return true;
}

void* LookUp(const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); }
}  // namespace

bool OpenOffscreenGl(int width, int height)
{
    const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                        EGL_NONE};
    return OpenContext(EGL_OPENGL_API, EGL_OPENGL_BIT, contextAttributes) && LoadGlLibrary(GlLibraryNames()) &&
           UseFrameTargets(width, height);
}

bool OpenOffscreenGles2(int width, int height)
{
    const EGLint contextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    if (!OpenContext(EGL_OPENGL_ES_API, EGL_OPENGL_ES2_BIT, contextAttributes) || !LoadGles2Functions(LookUp))
        return false;
    InstallGles2Renderer();
    glutBitmapCharacter = Gles2BitmapCharacter;
    GLUT_BITMAP_TIMES_ROMAN_24 = Gles2ReadoutFont();
    return StartGles2Renderer() && UseFrameTargets(width, height);
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
