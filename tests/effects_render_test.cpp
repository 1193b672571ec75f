// The show's frames rendered on Mesa with the show's own frame code and the
// offline clock, probed where the effects' numbers put things
// (tests/support/show_probes.h). The view is x -4..4, y -3..3 over 800 by
// 600 pixels; the clear colour is 0.02 grey (level 5). Pictures are flat
// greys so that what they add is known.

#include "assets/scene.h"
#include "music/offline_clock.h"
#include "platform/gl_api.h"
#include "shell/frame.h"
#include "shell/settings.h"
#include "tests/support/egl_context.h"
#include "tests/support/picture_files.h"
#include "tests/support/show_probes.h"
#include "tools/capture/frame_targets.h"
#include "tools/capture/show_run.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int Width = 800;
constexpr int Height = 600;
constexpr PictureArea WholeFrame{0, 0, Width, Height};

class ShowOnMesa : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Cursors only move forward: every test needs a show of its own, and
        // ctest runs each in a process of its own.
        static int testsInThisProcess = 0;
        if (++testsInThisProcess > 1)
            GTEST_SKIP() << "one test per process: run it alone (--gtest_filter) or through ctest";
        if (!OpenOffscreenGl(Width, Height))
            GTEST_SKIP() << "no offscreen OpenGL on this machine";
        InitSceneIn(WriteFlatTestPictures(PictureLevels));
        StartShowRun(60, WholeFrame);
    }
    void TearDown() override { CloseOffscreenGl(); }

    // The frame at ms, after every frame of a 60 fps run before it.
    const std::vector<std::uint8_t>& FrameAt(std::uint32_t ms)
    {
        DrawShowFrameAt(ms);
        ReadFullFrame(pixels);
        return pixels;
    }

    // A single frame at ms, with no frames run in between (a stalled show).
    const std::vector<std::uint8_t>& OnlyFrameAt(std::uint32_t ms)
    {
        UseFullFrame(WholeFrame);
        SetOfflineMusicTime(ms);
        DisplayFrame();
        ReadFullFrame(pixels);
        return pixels;
    }

    static int Column(double x) { return static_cast<int>((x + 4.0) / 8.0 * Width); }
    static int Row(double y) { return static_cast<int>((3.0 - y) / 6.0 * Height); }
    int LevelAt(double x, double y) const { return pixels[(static_cast<std::size_t>(Row(y)) * Width + Column(x)) * 3]; }

    // Pixels of the box (x0, y0)-(x1, y1) whose level lies in [low, high].
    int CountLevels(double x0, double y0, double x1, double y1, int low, int high) const
    {
        int count = 0;
        for (int row = Row(y1); row < Row(y0); ++row)
            for (int column = Column(x0); column < Column(x1); ++column) {
                const int level = pixels[(static_cast<std::size_t>(row) * Width + column) * 3];
                count += level >= low && level <= high;
            }
        return count;
    }
    int MinLevel(double x0, double y0, double x1, double y1) const
    {
        for (int level = 0; level < 256; ++level)
            if (CountLevels(x0, y0, x1, y1, level, level) > 0)
                return level;
        return 256;
    }

    std::vector<std::uint8_t> pixels;
};

TEST_F(ShowOnMesa, EffectsDrawWhereAndHowTheirCuesSay)
{
    for (const Probe& probe : ShowProbes) {
        FrameAt(probe.ms);
        EXPECT_NEAR(LevelAt(probe.x, probe.y), probe.level, 1.5)
            << probe.what << " (" << probe.ms << " ms at " << probe.x << ", " << probe.y << ")";
    }
}

TEST_F(ShowOnMesa, StallLosesABandUntilTheCursorCatchesUp)
{
    OnlyFrameAt(15000);
    OnlyFrameAt(23100);
    EXPECT_EQ(LevelAt(1.630, 2.5), Background) << "cursor moved past band 1 in one frame";
    OnlyFrameAt(23110);
    EXPECT_NEAR(LevelAt(1.630, 2.5), Over(1 - 110.0 / 1440), 1.5) << "band 2 once the cursor reached it";
}

TEST_F(ShowOnMesa, OverlappingStampsDrawTheSecondInsideTheFirst)
{
    // 99140 and 99620 overlap until 99639. Inside the first one's turn and
    // scale the second square lands far from its own place, (2.411, 0.276).
    FrameAt(99625);
    EXPECT_EQ(LevelAt(2.45, 0.3), Background) << "second stamp drawn without the first one's transformation";
    FrameAt(99645);
    EXPECT_NEAR(LevelAt(2.45, 0.3), Over(1 - 25.0 / 300), 1.5) << "second stamp alone, in ring 99620's colour";
}

TEST_F(ShowOnMesa, ClosingSceneBobsItsSphereAndMakesItOpaqueFromItsSecondFrame)
{
    FrameAt(194959);
    EXPECT_EQ(LevelAt(3.8, 0.541), Background) << "before the closing scene";

    // First frame: the sphere at (2, 0.541), radius 2. Right of x = 3.70 no
    // picture covers its black solid; further in, both pictures add to it.
    FrameAt(194960);
    EXPECT_EQ(MinLevel(3.75, 0.44, 3.85, 0.64), 0) << "black sphere at y = 0.541";
    EXPECT_NEAR(MinLevel(1.0, 0.0, 1.6, 1.0), CreatedLevel * 0.7006 + SoundLevel * 0.5579, 2)
        << "the pictures added over the sphere's fill with alphas 0.7006 and 0.5579";
    EXPECT_GT(CountLevels(0, -1.4, 4, 2.5, 200, 250), 0) << "first frame: the outline still blends";

    FrameAt(195500);
    EXPECT_EQ(MinLevel(3.75, 1.88, 3.85, 2.08), 0) << "sphere moved up to y = 1.981";
    EXPECT_EQ(CountLevels(0, 0, 4, 3, 100, 250), 0) << "later frames: opaque outline, nothing half-blended";

    // The scene's last moments: the sphere, down at y = -0.285, is still drawn.
    FrameAt(207250);
    EXPECT_EQ(MinLevel(3.75, -0.385, 3.85, -0.185), 0) << "sphere still drawn 10 ms before the scene ends";
}

TEST_F(ShowOnMesa, KeepAspectDrawsBetweenBlackBarsAndNothingOutside)
{
    // The framebuffer's lower half stands for a window of 800 by 300, its
    // upper half for what lies outside the window: white, as it starts.
    glDisable(GL_SCISSOR_TEST);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(SceneClearColor[0], SceneClearColor[1], SceneClearColor[2], SceneClearColor[3]);
    KeepAspect = true;
    Reshape(800, 300);
    // A screen flash covers the whole view, once the ring pulses' cursor,
    // one cue a frame, has come to it.
    SetOfflineMusicTime(90950);
    for (int frame = 0; frame < 60; ++frame)
        DisplayFrame();
    KeepAspect = false;
    ReadFullFrame(pixels);
    const auto level = [this](int column, int rowFromBottom) {
        return pixels[(static_cast<std::size_t>(Height - 1 - rowFromBottom) * Width + column) * 3];
    };
    for (int row : {0, 150, 299}) {
        SCOPED_TRACE("row " + std::to_string(row) + " from the bottom");
        for (int column : {0, 199, 600, 799})
            EXPECT_EQ(level(column, row), 0) << "bar at column " << column;
        for (int column : {200, 400, 599}) {
            EXPECT_GT(level(column, row), Background) << "the flash at column " << column;
            EXPECT_LT(level(column, row), 255) << "the flash at column " << column;
        }
    }
    for (int column : {0, 400, 799})
        EXPECT_EQ(level(column, 300), 255) << "drawn outside the window at column " << column;
}

}  // namespace
