#include "shell/frame.h"

#include "music/clock.h"
#include "platform/gl_api.h"
#include "shell/settings.h"
#include "tests/support/fake_display_modes.h"
#include "tests/support/fake_sound.h"
#include "tests/support/fake_window_watch.h"
#include "tests/support/gl_recording.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

class FrameCycle : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFakeSound();
        ResetFakeDisplayModes();
        InstallRecordingGl();
        static char fontStandIn;
        GLUT_BITMAP_TIMES_ROMAN_24 = &fontStandIn;
    }
    void TearDown() override { ResetGraphicsEntryPoints(); }

    // Starts the clock at music time start.
    static void StartClockAt(std::uint32_t start)
    {
        ScriptMusicTime(start);
        StartClock();
        ClearRecordedGlCalls();
    }

    static std::size_t Posts() { return RecordedCallsNamed("glutPostRedisplay").size(); }

    // The characters the readout drew in the last frame.
    static std::string ReadoutText()
    {
        std::string text;
        for (const GlCall& call : RecordedCallsNamed("glutBitmapCharacter"))
            text += static_cast<char>(call.args.at(0));
        return text;
    }
};

TEST_F(FrameCycle, PostsOnlyAfterMoreThanTenMilliseconds)
{
    StartClockAt(1000);
    ScriptMusicTime(1010);
    IdlePacer();
    EXPECT_EQ(Posts(), 0u);

    ScriptMusicTime(1011);
    IdlePacer();
    EXPECT_EQ(Posts(), 1u);

    // The mark moved to 1011: the next post needs 1022.
    ScriptMusicTime(1021);
    IdlePacer();
    EXPECT_EQ(Posts(), 1u);
    ScriptMusicTime(1022);
    IdlePacer();
    EXPECT_EQ(Posts(), 2u);
}

TEST_F(FrameCycle, StalledMusicPostsNothing)
{
    StartClockAt(5000);
    ScriptMusicTime(5000);
    for (int i = 0; i < 20; ++i)
        IdlePacer();
    EXPECT_EQ(Posts(), 0u);
}

TEST_F(FrameCycle, MusicTimeBehindTheMarkPostsAtOnce)
{
    StartClockAt(700);
    ScriptMusicTime(650);  // FrameTime wraps to a very large number
    IdlePacer();
    EXPECT_EQ(Posts(), 1u);
}

TEST_F(FrameCycle, PacingWorksAcrossTheWrapOfMusicTime)
{
    StartClockAt(4294967290u);
    ScriptMusicTime(4);  // 10 ms later, modulo 2^32
    IdlePacer();
    EXPECT_EQ(Posts(), 0u);
    ScriptMusicTime(5);
    IdlePacer();
    EXPECT_EQ(Posts(), 1u);
}

TEST_F(FrameCycle, ReadoutShowsTheFirstReadingWhileTheSecondIsBelowTheLimit)
{
    StartClockAt(0);
    ScriptMusicTimes({512, 18959});
    DisplayFrame();
    EXPECT_EQ(ReadoutText(), "512");
    const std::vector<GlCall> raster = RecordedCallsNamed("glRasterPos2f");
    ASSERT_EQ(raster.size(), 1u);
    EXPECT_EQ(raster[0].args, (std::vector<double>{0.0, 0.0}));  // the centre of the view
}

TEST_F(FrameCycle, ReadoutDisappearsAtTheLimit)
{
    StartClockAt(0);
    ScriptMusicTimes({18959, 18960});
    DisplayFrame();
    EXPECT_EQ(ReadoutText(), "");

    ScriptMusicTimes({18958, 18961});
    DisplayFrame();
    EXPECT_EQ(ReadoutText(), "");
}

TEST_F(FrameCycle, ReadoutIsMeasuredFromTheSceneMark)
{
    StartClockAt(100000);
    ScriptMusicTimes({100000, 100000});
    DisplayFrame();
    EXPECT_EQ(ReadoutText(), "0");

    // Music time behind the mark: the scene time is a huge unsigned number.
    ClearRecordedGlCalls();
    ScriptMusicTimes({99999, 99999});
    DisplayFrame();
    EXPECT_EQ(ReadoutText(), "");
}

TEST_F(FrameCycle, FrameStartsFromAClearedWhiteIdentityAndEndsWithASwap)
{
    StartClockAt(0);
    ScriptMusicTime(30000);
    DisplayFrame();
    const std::vector<GlCall>& calls = RecordedGlCalls();
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(calls[0].name, "glClear");
    EXPECT_EQ(calls[0].args.at(0), GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(calls[1].name, "glMatrixMode");
    EXPECT_EQ(calls[1].args.at(0), GL_MODELVIEW);
    EXPECT_EQ(calls[2].name, "glLoadIdentity");
    EXPECT_EQ(calls[3].name, "glColor4f");
    EXPECT_EQ(calls[3].args, (std::vector<double>{1, 1, 1, 1}));
    EXPECT_EQ(calls.back().name, "glutSwapBuffers");
}

TEST_F(FrameCycle, FinishedMusicQuitsWithTheFrameUnseen)
{
    StartClockAt(0);
    ScriptMusicTime(207000);
    ScriptFinished(true);
    // A swap before the end would exit with 3 instead of Quit's 0.
    glutSwapBuffers = [] { std::_Exit(3); };
    EXPECT_EXIT(DisplayFrame(), ::testing::ExitedWithCode(0), "");
}

// GLUT calls only the idle callback for a hidden or destroyed window, so
// that one must notice the end; while the music plays, idle only paces.
TEST_F(FrameCycle, IdleEndsTheShowThatNoFrameCanEnd)
{
    StartClockAt(0);
    ScriptMusicTime(207000);
    ScriptFinished(true);
    IdlePacer();  // a visible window gets the quarter second to quit itself
    EXPECT_EQ(Posts(), 1u);
    EXPECT_EXIT(
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            IdlePacer();
        },
        ::testing::ExitedWithCode(0), "");

    ScriptFinished(false);
    EXPECT_EXIT(
        {
            SetFakeWindowGone(true);
            IdlePacer();
        },
        ::testing::ExitedWithCode(0), "");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ScriptMusicTime(207011);
    IdlePacer();  // the music plays on and the window is there: no end
    EXPECT_EQ(Posts(), 2u);
}

TEST_F(FrameCycle, ReshapeKeepsTheWholeViewOnAnyWindow)
{
    Reshape(1024, 768);
    EXPECT_EQ(WindowWidth, 1024);
    EXPECT_EQ(WindowHeight, 768);
    const std::vector<GlCall> viewport = RecordedCallsNamed("glViewport");
    ASSERT_EQ(viewport.size(), 1u);
    EXPECT_EQ(viewport[0].args, (std::vector<double>{0, 0, 1024, 768}));
    const std::vector<GlCall> ortho = RecordedCallsNamed("glOrtho");
    ASSERT_EQ(ortho.size(), 1u);
    EXPECT_EQ(ortho[0].args, (std::vector<double>{-4, 4, -3, 3, -10, 10}));
    EXPECT_EQ(RecordedCallsNamed("glMatrixMode").at(0).args.at(0), GL_PROJECTION);
    EXPECT_EQ(Posts(), 1u);
    EXPECT_TRUE(RecordedCallsNamed("glEnable").empty());  // no scissor: glClear fills the window
    WindowWidth = 800;
    WindowHeight = 600;
}

struct KeptAspect {
    int width, height;
    std::vector<double> picture;  // x, y, width, height
};

// The largest centred 4:3 picture; an odd pixel left over goes right or up.
const KeptAspect KeptAspects[] = {
    {1920, 1080, {240, 0, 1440, 1080}},  // 16:9 full HD
    {2560, 1080, {560, 0, 1440, 1080}},  // 21:9
    {1280, 1024, {0, 32, 1280, 960}},    // 5:4: bars above and below
    {800, 600, {0, 0, 800, 600}},        // 4:3: no bars
    {801, 600, {0, 0, 800, 600}},
    {1366, 768, {171, 0, 1024, 768}},
    {1, 1, {0, 0, 1, 1}},
};

TEST_F(FrameCycle, KeepAspectCentresTheViewAndScissorsItsClear)
{
    KeepAspect = true;
    for (const KeptAspect& c : KeptAspects) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        ClearRecordedGlCalls();
        Reshape(c.width, c.height);
        EXPECT_EQ(WindowWidth, c.width);
        EXPECT_EQ(WindowHeight, c.height);
        ASSERT_EQ(RecordedCallsNamed("glViewport").size(), 1u);
        EXPECT_EQ(RecordedCallsNamed("glViewport")[0].args, c.picture);
        ASSERT_EQ(RecordedCallsNamed("glScissor").size(), 1u);
        EXPECT_EQ(RecordedCallsNamed("glScissor")[0].args, c.picture);
        EXPECT_EQ(RecordedCallsNamed("glOrtho").at(0).args, (std::vector<double>{-4, 4, -3, 3, -10, 10}));
        const PictureArea area = CentredPictureArea(c.width, c.height);
        EXPECT_EQ((std::vector<double>{double(area.x), double(area.y), double(area.width), double(area.height)}),
                  c.picture);
    }
    KeepAspect = false;
    WindowWidth = 800;
    WindowHeight = 600;
}

}  // namespace
