// The page's program: the show as the desktop starts it, on the page's
// canvas; or, with "--at MS", the one frame that orvane-capture --still MS
// draws, by the same run of frames from 0 ms at 60 frames per second.
// web/page.js starts a fresh one for every run and learns of its end, with
// the exit code, through Module.onProgramEnd.

#include "assets/scene.h"
#include "music/clock.h"
#include "music/offline_clock.h"
#include "platform/gl_api.h"
#include "platform/gl_loader.h"
#include "shell/startup.h"
#include "tools/capture/frame_targets.h"
#include "tools/capture/show_run.h"

#include <emscripten.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
constexpr int FrameWidth = 800;
constexpr int FrameHeight = 600;
constexpr int StillFps = 60;  // orvane-capture's default

// Tells the page of every frame shown, with its scene time (its tests and
// bench keep these; nothing else does).
EM_JS(void, ReportFrameShown, (std::uint32_t sceneMs), {
    if (Module['onFrameShown'])
        Module['onFrameShown'](sceneMs);
});

// Tells the page how long a still's run of frames took (the bench reads it).
EM_JS(void, ReportStillDrawn, (std::uint32_t frames, double ms), {
    if (Module['onStillDrawn'])
        Module['onStillDrawn'](frames, ms);
});

// The program ends through exit() whichever way it ends (Quit, the run-time
// error report, a still's return from main); the toolchain's runtime then
// exits (-sEXIT_RUNTIME) and calls Module.onExit with the exit code, which
// goes on to the page.
EM_JS(void, PassEndToPage, (), {
    Module['onExit'] = function(status) {
        if (Module['onProgramEnd'])
            Module['onProgramEnd'](status);
    };
});

void (*GlutSwapBuffers)() = nullptr;

void SwapAndReport()
{
    ReportFrameShown(SceneTime());
    GlutSwapBuffers();
}

int RunShow(int argc, char** argv)
{
    LoadGraphicsLibraries();
    GlutSwapBuffers = glutSwapBuffers;
    glutSwapBuffers = SwapAndReport;
    return RunProgram(argc, argv);
}

// A whole number of ms, or -1.
long long ParseMs(const char* text)
{
    if (*text == '\0' || std::strlen(text) > 10 || std::strspn(text, "0123456789") != std::strlen(text))
        return -1;
    const long long ms = std::strtoll(text, nullptr, 10);
    return ms <= 0xFFFFFFFFLL ? ms : -1;
}

int DrawStill(const char* msText)
{
    const long long ms = ParseMs(msText);
    if (ms < 0) {
        std::printf("?at= wants a music time in whole milliseconds, not \"%s\"\n", msText);
        return 2;
    }
    LoadGraphicsLibraries();
    // The canvas with no callbacks: nothing but this run draws on it.
    int argc = 1;
    char name[] = "orvane";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitWindowSize(FrameWidth, FrameHeight);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    if (glutCreateWindow("Orvane") <= 0 || !CreateFrameTargets(FrameWidth, FrameHeight)) {
        std::printf("This browser gives the page no WebGL to draw with.\n");
        return 1;
    }
    UseOfflineClock();  // no sound: the time is this run's
    InitScene();        // a missing picture ends here with the show's own report
    if (ms >= OfflineShowLength()) {
        std::printf("%lld ms is not inside the show, which ends at %u ms\n", ms, OfflineShowLength());
        return 2;
    }
    StartShowRun(StillFps, PictureArea{0, 0, FrameWidth, FrameHeight});
    const double started = emscripten_get_now();
    DrawShowFrameAt(static_cast<std::uint32_t>(ms));
    glFinish();
    ReportStillDrawn(static_cast<std::uint32_t>(ms * StillFps / 1000 + 1), emscripten_get_now() - started);
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    PassEndToPage();
    if (argc == 3 && std::strcmp(argv[1], "--at") == 0)
        return DrawStill(argv[2]);
    return RunShow(argc, argv);
}
