// pinned-show MS [the show's options]: the show's own start-up, window and
// frame code, with the music time held at MS by the offline sound library,
// so that a test can compare the window with orvane-capture's still of MS.
// The frame at MS is drawn again and again (the effects' cursors step one
// entry a frame, as they would have on the way there); after PinnedFrames of
// them it prints "pinned at MS" and waits for Escape, which ends it through
// Quit as in the show.

#include "assets/scene.h"
#include "music/offline_clock.h"
#include "platform/gl_api.h"
#include "platform/gl_loader.h"
#include "shell/frame.h"
#include "shell/options.h"
#include "shell/startup.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {
constexpr int PinnedFrames = 150;  // more than any cursor has to catch up on at one moment
std::uint32_t PinnedMs = 0;
int FramesDrawn = 0;

void DrawPinnedFrame()
{
    DisplayFrame();
    if (++FramesDrawn == PinnedFrames) {
        std::printf("pinned at %u\n", PinnedMs);
        std::fflush(stdout);
    }
}

void Redraw()
{
    if (FramesDrawn < PinnedFrames)
        glutPostRedisplay();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: pinned-show MS [the show's options]\n");
        return 2;
    }
    PinnedMs = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
    std::vector<char*> args{argv[0]};
    args.insert(args.end(), argv + 2, argv + argc);
    std::vector<char*> glutArgs = TakeCommandLine(static_cast<int>(args.size()), args.data());
    int glutArgc = static_cast<int>(glutArgs.size()) - 1;
    LoadGraphicsLibraries();
    if (!GlAvailable || !GlutAvailable)
        return 1;
    OpenShowWindow(&glutArgc, glutArgs.data());
    InitScene();  // the clock starts at music time 0
    SetOfflineMusicTime(PinnedMs);
    glutDisplayFunc(DrawPinnedFrame);
    glutIdleFunc(Redraw);
    glutMainLoop();
    Quit();
}
