#include "shell/display_mode.h"

#include "shell/settings.h"
#include "tests/support/fake_display_modes.h"

#include <gtest/gtest.h>

namespace {

DisplayMode Mode(int width, int height, int bits, int rate)
{
    static int nextIndex = 0;
    return DisplayMode{width, height, bits, nextIndex++, rate};
}

class DisplayModeSwitch : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFakeDisplayModes();
        WindowWidth = 800;
        WindowHeight = 600;
        ColorDepth = 16;
    }
};

TEST_F(DisplayModeSwitch, AppliesEveryExactMatchInEnumerationOrder)
{
    const std::vector<DisplayMode> modes{
        Mode(640, 480, 16, 60), Mode(800, 600, 16, 56), Mode(800, 600, 32, 60), Mode(1024, 768, 16, 60),
        Mode(800, 600, 16, 60), Mode(600, 800, 16, 60), Mode(800, 600, 16, 75),
    };
    SetFakeDisplayModes(modes);
    SwitchDisplayMode();

    const std::vector<DisplayMode>& changed = ChangedDisplayModes();
    ASSERT_EQ(changed.size(), 3u);
    EXPECT_EQ(changed[0].platformIndex, modes[1].platformIndex);
    EXPECT_EQ(changed[1].platformIndex, modes[4].platformIndex);
    EXPECT_EQ(changed[2].platformIndex, modes[6].platformIndex);  // the last one stays
    EXPECT_EQ(EnumeratedModeCount(), 7);  // the loop does not stop at the first match
}

TEST_F(DisplayModeSwitch, NeverAppliesAModeOfAnotherDepthOrSize)
{
    SetFakeDisplayModes({Mode(800, 600, 32, 60), Mode(1024, 768, 16, 60), Mode(800, 601, 16, 60)});
    SwitchDisplayMode();
    EXPECT_TRUE(ChangedDisplayModes().empty());
}

TEST_F(DisplayModeSwitch, FollowsTheBuildSettings)
{
    ColorDepth = 24;
    SetFakeDisplayModes({Mode(800, 600, 16, 60), Mode(800, 600, 24, 60)});
    SwitchDisplayMode();
    ASSERT_EQ(ChangedDisplayModes().size(), 1u);
    EXPECT_EQ(ChangedDisplayModes()[0].bitsPerPixel, 24);
}

TEST_F(DisplayModeSwitch, EmptyListChangesNothing)
{
    SwitchDisplayMode();
    EXPECT_TRUE(ChangedDisplayModes().empty());
}

}  // namespace
