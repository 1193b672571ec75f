#include "shell/startup.h"

#include "platform/gl_api.h"
#include "shell/settings.h"
#include "tests/support/fake_display_modes.h"
#include "tests/support/fake_sound.h"
#include "tests/support/gl_recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFakeSound();
        ResetFakeDisplayModes();
        InstallRecordingGl();
        SetFakeDisplayModes({{800, 600, 16, 0, 60}, {1024, 768, 16, 1, 60}});
        savedFullScreen = FullScreen;
    }
    void TearDown() override
    {
        FullScreen = savedFullScreen;
        ResetGraphicsEntryPoints();
    }

    static std::vector<std::string> GlutCallNames()
    {
        std::vector<std::string> names;
        for (const GlCall& call : RecordedGlCalls())
            names.push_back(call.name);
        return names;
    }

    bool savedFullScreen = true;
    int argc = 1;
    char program[8] = "orvane";
    char* argv[2] = {program, nullptr};
};

TEST_F(Startup, WindowedShowTouchesNoDisplayMode)
{
    FullScreen = false;
    OpenShowWindow(&argc, argv);
    EXPECT_EQ(EnumeratedModeCount(), 0);
    EXPECT_TRUE(ChangedDisplayModes().empty());
    EXPECT_EQ(RecordedWindowTitle(), "Orvane");
    EXPECT_EQ(GlutCallNames(),
              (std::vector<std::string>{"glutInit", "glutSetOption", "glutInitWindowPosition", "glutInitWindowSize",
                                        "glutInitDisplayMode", "glutCreateWindow", "glutDisplayFunc",
                                        "glutReshapeFunc", "glutKeyboardFunc", "glutIdleFunc"}));
    // A window manager's close returns from the main loop, to end through Quit.
    EXPECT_EQ(RecordedCallsNamed("glutSetOption")[0].args,
              (std::vector<double>{GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS}));
    EXPECT_EQ(RecordedCallsNamed("glutInitWindowPosition")[0].args, (std::vector<double>{0, 0}));
    EXPECT_EQ(RecordedCallsNamed("glutInitWindowSize")[0].args, (std::vector<double>{800, 600}));
    EXPECT_EQ(RecordedCallsNamed("glutInitDisplayMode")[0].args, (std::vector<double>{GLUT_RGB | GLUT_DOUBLE}));
}

TEST_F(Startup, FullScreenShowSwitchesModeBeforeTheWindowAndCoversTheScreenAfter)
{
    FullScreen = true;
    // GLUT takes the screen size at glutInit: the switch must come first.
    static std::size_t changesAtGlutInit;
    changesAtGlutInit = 0;
    glutInit = [](int*, char**) { changesAtGlutInit = ChangedDisplayModes().size(); };
    OpenShowWindow(&argc, argv);
    EXPECT_EQ(changesAtGlutInit, 1u);
    ASSERT_EQ(ChangedDisplayModes().size(), 1u);
    EXPECT_EQ(ChangedDisplayModes()[0].width, 800);
    const std::vector<std::string> names = GlutCallNames();
    const auto created = std::find(names.begin(), names.end(), "glutCreateWindow");
    const auto covered = std::find(names.begin(), names.end(), "glutFullScreen");
    ASSERT_NE(covered, names.end());
    EXPECT_EQ(covered - created, 1);
}

TEST_F(Startup, FailedWindowEndsWithExitCodeOne)
{
    FullScreen = false;
    glutCreateWindow = [](const char*) { return 0; };
    EXPECT_EXIT(OpenShowWindow(&argc, argv), ::testing::ExitedWithCode(1), "");
}

TEST_F(Startup, OnlyEscapeQuits)
{
    FullScreen = true;
    for (int key = 0; key < 256; ++key)
        if (key != 27)
            OnKey(static_cast<unsigned char>(key), 10, 10);
    EXPECT_TRUE(SoundCalls().empty());
    EXPECT_EQ(RestoreCount(), 0);
    // Quit stops the music and restores the mode before ending with 0; the
    // fake library's log is checked in the child before it exits.
    EXPECT_EXIT(
        {
            std::atexit([] {
                const bool stopped = !SoundCalls().empty() && SoundCalls().back() == "FSOUND_Close";
                if (!stopped || RestoreCount() != 1)
                    std::_Exit(4);
            });
            OnKey(27, 0, 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
