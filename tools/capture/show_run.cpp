#include "tools/capture/show_run.h"

#include "music/offline_clock.h"
#include "shell/frame.h"

namespace {
int Fps = 60;
PictureArea Area{0, 0, 800, 600};
std::uint64_t NextFrame = 0;  // the first frame of the fixed rate not run yet

void RunFrame(std::uint32_t ms)
{
    SetOfflineMusicTime(ms);
    DisplayFrame();
}
}  // namespace

std::uint32_t FrameTimeOf(std::uint64_t k, int fps) { return static_cast<std::uint32_t>(k * 1000 / fps); }

void StartShowRun(int fps, const PictureArea& area)
{
    Fps = fps;
    Area = area;
    NextFrame = 0;
    Reshape(area.width, area.height);  // the view, as the live window's first reshape sets it
}

void DrawShowFrameAt(std::uint32_t ms)
{
    bool switched = false;
    for (; FrameTimeOf(NextFrame, Fps) < ms; ++NextFrame) {
        if (!switched)
            UseTinyFrame();
        switched = true;
        RunFrame(FrameTimeOf(NextFrame, Fps));
    }
    if (FrameTimeOf(NextFrame, Fps) == ms)
        ++NextFrame;  // the frame asked for is one of the fixed rate
    UseFullFrame(Area);
    RunFrame(ms);
}
