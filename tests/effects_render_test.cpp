// The show's frames rendered on Mesa with the show's own frame code and the
// offline clock, probed where the effects' numbers put things. The view is
// x -4..4, y -3..3 over 800 by 600 pixels; the clear colour is 0.02 grey
// (level 5). Pictures are flat greys so that what they add is known.

#include "assets/scene.h"
#include "music/offline_clock.h"
#include "platform/gl_api.h"
#include "shell/frame.h"
#include "shell/settings.h"
#include "tests/support/egl_context.h"
#include "tests/support/picture_files.h"
#include "tools/capture/frame_targets.h"
#include "tools/capture/show_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

constexpr int Width = 800;
constexpr int Height = 600;
constexpr PictureArea WholeFrame{0, 0, Width, Height};
constexpr int Background = 5;

// Grey levels of created, sound, g0, g1, g2, g3, resp (the load order).
const std::uint8_t PictureLevels[7] = {60, 40, 100, 110, 120, 130, 80};
constexpr int CreatedLevel = 60;
constexpr int SoundLevel = 40;
constexpr int RespLevel = 80;
constexpr int G0Level = 100;

// White at alpha a over the background, as SRC_ALPHA, ONE_MINUS_SRC_ALPHA blends it.
constexpr double Over(double alpha, double below = Background) { return 255 * alpha + below * (1 - alpha); }

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
        const std::string folder = WriteFlatTestPictures(PictureLevels);
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        InitScene();  // no "cud.mod" here: the silent show of 210 s
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
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

struct Probe {
    std::uint32_t ms;
    double x, y;
    double level;
    const char* what;
};

// In ascending time, all in one run of the show, as a viewer sees it.
const Probe ShowProbes[] = {
    {240, -1.448, 0.504, 255, "first square pulse, opaque, at its noise place"},
    {240, -1.448 + 0.9, 0.504, 255, "2 by 2 at its start"},
    {240, -1.448 + 1.1, 0.504, Background, "2 by 2 at its start"},
    {240, -1.448 + 0.97, 0.504, 255, "pulse's edge 1 unit from its centre: just inside"},
    {240, -1.448 + 1.03, 0.504, Background, "pulse's edge 1 unit from its centre: just outside"},
    {500, -1.448 + 1.4, 0.504, Over(1 - 260.0 / 550), "grown by 260/550 and faded as much"},
    {500, -1.448 + 1.55, 0.504, Background, "grown by 260/550 and faded as much"},
    {500, -1.448 + 1.44, 0.504, Over(1 - 260.0 / 550), "grown to 1.473 units: just inside"},
    {500, -1.448 + 1.50, 0.504, Background, "grown to 1.473 units: just outside"},
    {790, -1.448, 0.504, Background, "pulse over after 550 ms"},
    {15580, 0.191, 2, 255, "first band opaque at its start"},
    {15580, 0.191 + 1.45, 2, 255, "first band 3 units wide"},
    {15580, 0.191 + 1.55, 2, Background, "first band 3 units wide"},
    {16180, 0.191 + 0.95, 2, Over(0.5), "first band half faded, 2 wide at mid-window"},
    {16180, 0.191 + 1.05, 2, Background, "first band half faded, 2 wide at mid-window"},
    {16781, 0.191, 2, Background, "first band gone after its end"},
    {42220, -2.783, 0.747, Over(1 - 60.0 / 1440), "orbiting square in band 7's alpha"},
    {43000, -1.232, 2.9, Over(1 - 840.0 / 1440), "band 7 drawn, centred at -1.232"},
    {45000, -1.344 + 0.8, 1.788, 255, "orbiting square, axis-aligned at -450 degrees"},
    {45000, -1.344 + 0.95, 1.788, Background, "orbiting square, side 2 x 0.886"},
    {45000, -1.344 + 0.86, 1.788, 255, "orbiting square, side 2 x 0.886: just inside"},
    {45000, -1.344 + 0.91, 1.788, Background, "orbiting square, side 2 x 0.886: just outside"},
    {45505, -2.986, 0.192, Background, "orbiting square hidden while |s| <= 0.02"},
    {50000, 2.587, -1.013, Over(1 - 180.0 / 1440), "orbiting square in band 8's alpha"},
    // A corner direction of the square turned +140 degrees that -140 would miss.
    {50000, 2.469, 0.332, Over(1 - 180.0 / 1440), "orbiting square spins anticlockwise for s > 0"},
    {68850, 2.588, -1.011, 255, "orbiting square still drawn 10 ms before its first window ends"},
    {68860, 2.618, -0.977, Background, "orbiting square gone when its first window ends"},
    {69820, -1.676, -1.152, Background, "first ring's hole"},
    {69820, -1.676 + 0.8, -1.152, 255, "first ring, opaque at its cue"},
    {69820, -1.676 + 1.1, -1.152, Background, "first ring, radius 1 at its cue"},
    // Midway between two of the 30 corners the outer edge lies at 0.9945.
    {69820, -1.676 + 0.97, -1.152, 255, "first ring's outer edge: just inside"},
    {69820, -1.676 + 1.03, -1.152, Background, "first ring's outer edge: just outside"},
    {69820, -1.676 + 0.57, -1.152, Background, "first ring's inner edge at 0.6: just inside the hole"},
    {69820, -1.676 + 0.63, -1.152, 255, "first ring's inner edge at 0.6: just outside the hole"},
    {69970, -1.676 - 1.6, -1.152, Over(0.5), "first ring at twice its size, half faded"},
    {69970, -1.676 - 1.0, -1.152, Background, "first ring's grown hole"},
    {69970, -1.676 - 1.96, -1.152, Over(0.5), "first ring grown to radius 2: just inside"},
    {69970, -1.676 - 2.02, -1.152, Background, "first ring grown to radius 2: just outside"},
    {70060, -1.676 - 2.0, -1.152, Over(0.2), "ring of 69820 still drawn when t equals the next cue"},
    {70061, -1.676 - 2.0, -1.152, Background, "ring of 69820 cut short by the next cue"},
    {72400, -0.703, 0.435, Over(1 - 200.0 / 300), "first stamp in the ring's colour"},
    {72600, -0.703, 0.435, 255, "first stamp opaque white between rings"},
    {72810, -0.703, 0.435, Over(1 - 10.0 / 300), "first stamp in the next ring's colour"},
    {90950, 3.5, 2.5, Over(1 - 70.0 / 280), "flash over the whole view"},
    {90950, -3.5, -2.5, Over(1 - 70.0 / 280), "flash over the whole view"},
    {95200, 3.5, 2.5, Over(1 - 240.0 / 280), "flash of 94960 still drawn at the next cue"},
    {95201, 3.5, 2.5, Background, "flash of 94960 cut short by the next cue"},
    {172480, -1.138, -1.247, Background + RespLevel, "first zoom, full strength, added"},
    {172480, -1.138 + 1.45, -1.247, Background + RespLevel, "first zoom, 3 units across"},
    {172480, -1.138 + 1.55, -1.247, Background, "first zoom, 3 units across"},
    {173000, -1.138 + 2.12, -1.247, Background + RespLevel * 0.48, "first zoom grown to 4.3 units: just inside"},
    {173000, -1.138 + 2.18, -1.247, Background, "first zoom grown to 4.3 units: just outside"},
    {173479, -1.138, -1.247, Background, "first zoom almost faded"},
    {173480, 0.483, -0.5, Background + G0Level, "second zoom shows the second picture"},
    // 0.5 * 255 + 5 added, where SRC_ALPHA, ONE_MINUS_SRC_ALPHA would give 130.
    {179270, -0.095 - 1.6, -0.041, 132.5, "ring after the zooms blends additively"},
    {182950, 0.286, 1.991, 255, "orbiting square still drawn 10 ms before its second window ends"},
    {182960, 0.226, 1.994, Background, "orbiting square gone when its second window ends"},
    {184660, -0.943, 2, Over(0.5), "band 37 still fades"},
    // The closing scene's pictures, added with alphas 0.7006 and 0.5579 in
    // its first frame: "created.pcx" over x -3.751..2.250 and y -2.550..3.451,
    // "sound.pcx" over x -2.468..3.702 and y -3.856..2.314.
    {194960, -3.70, 2.8, Background + CreatedLevel * 0.7006, "created picture's left edge: just inside"},
    {194960, -3.80, 2.8, Background, "created picture's left edge: just outside"},
    {194960, 2.20, 2.8, Background + CreatedLevel * 0.7006, "created picture's right edge: just inside"},
    {194960, 2.30, 2.8, Background, "created picture's right edge: just outside"},
    {194960, 3.65, -2.8, Background + SoundLevel * 0.5579, "sound picture's right edge: just inside"},
    {194960, 3.75, -2.8, Background, "sound picture's right edge: just outside"},
    {194960, -2.42, -2.8, Background + SoundLevel * 0.5579, "sound picture's left edge: just inside"},
    {194960, -2.52, -2.8, Background, "sound picture's left edge: just outside"},
    {199960, 0.046, 2.9, 255, "last band opaque white: blending is off"},
    {207261, 3.8, 0, Background, "nothing after the closing scene"},
    {207261, -1.5, 1, Background, "nothing after the closing scene"},
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
