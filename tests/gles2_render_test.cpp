// The GLES2 renderer that the page draws with (platform/gles2.h) against the
// desktop's GL, both on Mesa: the show's own frames, with our stand-in
// pictures, at the moments of the page's frames test
// (tests/support/page_moments.h) and of the effects' edge probes
// (tests/support/show_probes.h); and the renderer scenes (lists in lists,
// polygon modes, the readout's glyphs). A child process draws the desktop's
// frames as orvane-capture draws its stills (a hidden GLUT window on a
// private Xvfb, so that the readout's font is freeglut's); this process
// draws the same frames with the renderer over GLES2 through EGL. At least
// 99.9 % of the pixels of every frame must lie within 4/255.

#include "platform/gl_api.h"
#include "tests/support/egl_context.h"
#include "tests/support/page_moments.h"
#include "tests/support/picture_files.h"
#include "tests/support/renderer_scenes.h"
#include "tests/support/show_probes.h"
#include "tools/capture/capture_gl.h"
#include "tools/capture/frame_targets.h"
#include "tools/capture/png_file.h"
#include "tools/capture/show_run.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int Width = 800;
constexpr int Height = 600;
constexpr PictureArea WholeFrame{0, 0, Width, Height};
constexpr std::size_t FrameBytes = std::size_t{Width} * Height * 3;
constexpr double MinimumWithin = 0.999;
constexpr int Tolerance = 4;  // levels out of 255, in any channel

// What both sides draw: a set-up in the fresh context, then frames in order.
struct Frames {
    std::vector<std::string> names;
    void (*setUp)();
    void (*draw)(std::size_t index);
};

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = read(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The child: one status byte (1: the desktop's GL is ready), then every
// frame as RGB, top row first. It ends with _exit, leaving this process's
// test run and leak check alone.
[[noreturn]] void DrawOnTheDesktop(const Frames& frames, int out)
{
    // Without DISPLAY the capture tool's context starts an Xvfb of its own,
    // whose number cannot clash with another server's.
    unsetenv("DISPLAY");
    std::string error;
    const bool ready = OpenCaptureGl(error) && CreateFrameTargets(Width, Height);
    const std::uint8_t status = ready ? 1 : 0;
    WriteAll(out, &status, 1);
    if (!ready) {
        std::fprintf(stderr, "the desktop's GL: %s\n", error.empty() ? "no framebuffer objects" : error.c_str());
        _exit(1);
    }
    UseFullFrame(WholeFrame);
    frames.setUp();
    std::vector<std::uint8_t> rgb;
    for (std::size_t i = 0; i < frames.names.size(); ++i) {
        frames.draw(i);
        ReadFullFrame(rgb);
        if (!WriteAll(out, rgb.data(), rgb.size()))
            _exit(1);
    }
    _exit(0);
}

struct Difference {
    int outliers = 0;  // pixels off by more than Tolerance
    int worst = 0;
    int firstX = -1, firstY = -1;
};

Difference Compare(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    Difference difference;
    for (std::size_t pixel = 0; pixel < FrameBytes / 3; ++pixel) {
        int off = 0;
        for (int c = 0; c < 3; ++c)
            off = std::max(off, std::abs(a[pixel * 3 + c] - b[pixel * 3 + c]));
        difference.worst = std::max(difference.worst, off);
        if (off > Tolerance && difference.outliers++ == 0) {
            difference.firstX = static_cast<int>(pixel % Width);
            difference.firstY = static_cast<int>(pixel / Width);
        }
    }
    return difference;
}

// Both frames of a failed comparison, to look at.
std::string Keep(const std::string& name, const std::vector<std::uint8_t>& ours, const std::vector<std::uint8_t>& theirs)
{
    const std::string folder = std::filesystem::temp_directory_path() / "orvane-gles2-render";
    std::filesystem::create_directories(folder);
    std::string error;
    WritePng(folder + "/gles2-" + name + ".png", Width, Height, ours, error);
    WritePng(folder + "/desktop-" + name + ".png", Width, Height, theirs, error);
    return folder;
}

void ExpectSameFramesAsTheDesktop(const Frames& frames)
{
    // Before any GL of this process: the child starts from nothing.
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(channel[0]);
        DrawOnTheDesktop(frames, channel[1]);
    }
    close(channel[1]);
    auto endChild = [&] {
        close(channel[0]);
        int status = 0;
        waitpid(child, &status, 0);
        return status;
    };

    std::uint8_t ready = 0;
    if (!ReadAll(channel[0], &ready, 1) || ready != 1) {
        endChild();
        GTEST_SKIP() << "no desktop GL with GLUT here (Xvfb, libGL, freeglut)";
    }
    if (!OpenOffscreenGles2(Width, Height)) {
        kill(child, SIGTERM);
        endChild();
        GTEST_SKIP() << "no OpenGL ES 2 through EGL here";
    }
    frames.setUp();
    std::vector<std::uint8_t> ours, theirs(FrameBytes);
    for (std::size_t i = 0; i < frames.names.size(); ++i) {
        const std::string& name = frames.names[i];
        frames.draw(i);
        ReadFullFrame(ours);
        ASSERT_TRUE(ReadAll(channel[0], theirs.data(), FrameBytes)) << "the desktop's frames stopped before " << name;
        const Difference difference = Compare(ours, theirs);
        const double within = 1.0 - difference.outliers / static_cast<double>(Width * Height);
        EXPECT_GE(within, MinimumWithin)
            << name << ": " << difference.outliers << " pixels off by more than " << Tolerance << "/255 (up to "
            << difference.worst << "), the first at (" << difference.firstX << ", " << difference.firstY
            << "); both frames in " << (within < MinimumWithin ? Keep(name, ours, theirs) : "");
    }
    const int status = endChild();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the desktop's child failed";
    CloseOffscreenGl();
}

// The show's frames: the page's moments and the probes', each once, in
// the order of one run of the show.
std::vector<std::uint32_t> ShowMoments()
{
    std::vector<std::uint32_t> moments;
    for (const PageMoment& moment : PageMoments)
        moments.push_back(moment.ms);
    for (const Probe& probe : ShowProbes)
        moments.push_back(probe.ms);
    std::sort(moments.begin(), moments.end());
    moments.erase(std::unique(moments.begin(), moments.end()), moments.end());
    return moments;
}

void StartShowWithStandIns()
{
    InitSceneIn(WriteStandInPictures());
    StartShowRun(60, WholeFrame);
}

TEST(Gles2Renderer, DrawsTheShowsFramesAsTheDesktopDoes)
{
    Frames frames{{}, StartShowWithStandIns, [](std::size_t i) { DrawShowFrameAt(ShowMoments()[i]); }};
    for (std::uint32_t ms : ShowMoments())
        frames.names.push_back(std::to_string(ms) + "ms");
    ExpectSameFramesAsTheDesktop(frames);
}

TEST(Gles2Renderer, DrawsListsPolygonModesAndGlyphsAsTheDesktopDoes)
{
    Frames frames{{}, [] {}, [](std::size_t i) { DrawRendererScene(static_cast<int>(i)); }};
    for (int i = 0; i < RendererSceneCount; ++i)
        frames.names.push_back(RendererScenes[i]);
    ExpectSameFramesAsTheDesktop(frames);
}

}  // namespace
