// The demo clock over the scripted sound library.

#include "music/clock.h"

#include "tests/support/fake_sound.h"

#include <gtest/gtest.h>

namespace {
TEST(DemoClock, CountsFromBothMarksReadingAfreshEveryCall)
{
    ResetFakeSound();
    ScriptMusicTimes({100, 111, 111, 130, 170, 171, 200});
    StartClock();                 // 100
    EXPECT_EQ(SceneTime(), 11u);  // 111
    EXPECT_EQ(FrameTime(), 11u) << "until the first frame mark both marks hold the start reading";
    EXPECT_EQ(SceneTime(), 30u);  // 130
    EXPECT_EQ(SceneTime(), 70u);  // 170
    MarkFrame();                  // 171
    EXPECT_EQ(FrameTime(), 29u);  // 200
    EXPECT_EQ(FrameTime(), 29u) << "time standing still";
    EXPECT_EQ(SceneTime(), 100u);
}

TEST(DemoClock, DifferencesWrapModulo2To32)
{
    ResetFakeSound();
    ScriptMusicTime(500);
    StartClock();
    ScriptMusicTime(400);
    EXPECT_EQ(SceneTime(), 4294967196u);
    EXPECT_EQ(FrameTime(), 4294967196u);

    ScriptMusicTime(4294967290u);
    StartClock();
    ScriptMusicTime(5);
    EXPECT_EQ(SceneTime(), 11u);
}
}  // namespace
