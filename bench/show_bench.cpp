// show-bench: the live show as it runs, measured from inside. Starts the
// show exactly as the program does (same start-up, frame cycle, effects and
// sound), but records every buffer swap with its scene time and host time,
// and when the show ends prints: frames per second of music time over each
// effect's busiest stretch, the largest gap between two frames in music
// time, the process's CPU share, and the time from start to the first frame.
// Run it in the show's folder; bench/show-bench does that under Xvfb.

#include "assets/scene.h"
#include "music/clock.h"
#include "platform/gl_api.h"
#include "platform/gl_loader.h"
#include "shell/startup.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
using HostClock = std::chrono::steady_clock;

struct Frame {
    std::uint32_t sceneMs;
    double hostMs;  // since the program started
};

struct Stretch {
    const char* effect;
    std::uint32_t start, end;  // scene ms
};
// Where each effect draws most, by its cue tables.
const Stretch BusiestStretches[] = {
    {"square pulses (with readout)", 240, 18960},
    {"vertical bands", 15580, 193020},
    {"orbiting square", 141820, 182960},
    {"ring pulses and flashes", 69820, 102860},
    {"square stamps", 95800, 142920},
    {"picture zooms", 172480, 177480},
    {"closing scene", 194960, 207260},
};

const HostClock::time_point ProgramStart = HostClock::now();
std::vector<Frame> Frames;
void (*RealSwapBuffers)() = nullptr;

double HostMsNow() { return std::chrono::duration<double, std::milli>(HostClock::now() - ProgramStart).count(); }

void RecordingSwapBuffers()
{
    Frames.push_back({SceneTime(), HostMsNow()});
    RealSwapBuffers();
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Report()
{
    const double wallMs = HostMsNow();
    std::fprintf(stderr, "show-bench: %zu frames in %.1f s\n", Frames.size(), wallMs / 1000);
    if (Frames.empty())
        return;
    std::fprintf(stderr, "  start to first frame: %.0f ms\n", Frames.front().hostMs);
    std::fprintf(stderr, "  CPU share of one core: %.1f %%\n", 100 * CpuSeconds() * 1000 / wallMs);

    std::uint32_t largestGap = 0, gapAt = 0;
    for (std::size_t i = 1; i < Frames.size(); ++i) {
        const std::uint32_t gap = Frames[i].sceneMs - Frames[i - 1].sceneMs;
        if (gap > largestGap && Frames[i].sceneMs >= Frames[i - 1].sceneMs) {
            largestGap = gap;
            gapAt = Frames[i].sceneMs;
        }
    }
    std::fprintf(stderr, "  largest gap between frames: %u ms of music time, ending at %u ms\n", largestGap, gapAt);

    std::fprintf(stderr, "  frames per second of music time:\n");
    for (const Stretch& stretch : BusiestStretches) {
        std::size_t count = 0;
        std::uint32_t gap = 0, previous = 0;
        for (const Frame& frame : Frames)
            if (frame.sceneMs >= stretch.start && frame.sceneMs < stretch.end) {
                if (count > 0)
                    gap = std::max(gap, frame.sceneMs - previous);
                previous = frame.sceneMs;
                ++count;
            }
        if (count == 0) {
            std::fprintf(stderr, "    %-30s %6u-%6u ms: not reached\n", stretch.effect, stretch.start, stretch.end);
            continue;
        }
        std::fprintf(stderr, "    %-30s %6u-%6u ms: %6.1f fps, largest gap %u ms\n", stretch.effect, stretch.start,
                     stretch.end, count * 1000.0 / (stretch.end - stretch.start), gap);
    }
}
}  // namespace

int main(int argc, char** argv)
{
    Frames.reserve(1 << 16);
    LoadGraphicsLibraries();
    if (!GlAvailable || !GlutAvailable) {
        std::fprintf(stderr, "show-bench: OpenGL or GLUT is not available\n");
        return 1;
    }
    RealSwapBuffers = glutSwapBuffers;
    glutSwapBuffers = RecordingSwapBuffers;
    std::atexit(Report);  // the show ends through Quit, which exits
    OpenShowWindow(&argc, argv);
    InitScene();
    glutMainLoop();
    return 0;
}
