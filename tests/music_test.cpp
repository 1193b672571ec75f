// Starting and stopping the music over the scripted sound library: the lines
// a failed start writes, and what the show is left with.

#include "music/music.h"

#include "tests/support/fake_sound.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {
using Calls = std::vector<std::string>;

TEST(ErrorText, TableAndItsEdges)
{
    EXPECT_EQ(FmodErrorText(0), "No errors.");
    EXPECT_EQ(FmodErrorText(1), "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.");
    EXPECT_EQ(FmodErrorText(6),
              "Soundcard does not support the features needed for this soundsystem (16bit stereo output).");
    EXPECT_EQ(FmodErrorText(18), "Failed to allocate a new channel.");
    for (int outside : {19, -1, INT_MIN, INT_MAX})
        EXPECT_EQ(FmodErrorText(outside), "Unknown error.") << outside;
    for (int code = 0; code <= 18; ++code)
        EXPECT_NE(FmodErrorText(code), "Unknown error.") << code;
}

TEST(MusicStart, AWorkingStartPlaysTheSongAndWritesNothing)
{
    ResetFakeSound();
    Song = 0;
    testing::internal::CaptureStdout();
    StartMusic();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(Song, 0u);
    EXPECT_EQ(SoundCalls(), (Calls{"FSOUND_Init(44100,32,0)", "FMUSIC_LoadSong(cud.mod)", "FMUSIC_PlaySong(song)"}));
}

// Each failure writes its two lines, closes output, and leaves Song 0; Quit's
// StopMusic then frees song 0 and closes output a second time.
TEST(MusicStart, FailuresWriteTwoLinesAndTheShowGoesOnWithSongZero)
{
    struct Case {
        bool initFails;
        int code;
        std::string lines;
        Calls calls;
    };
    const Case cases[] = {
        {true, 3, "Error: Failed Initializing...\nError initializing output device.\n",
         {"FSOUND_Init(44100,32,0)", "FSOUND_Close", "FMUSIC_FreeSong(0)", "FSOUND_Close"}},
        {false, 9, "Error: Failed Song Loading...\nFile not found.\n",
         {"FSOUND_Init(44100,32,0)", "FMUSIC_LoadSong(cud.mod)", "FSOUND_Close", "FMUSIC_FreeSong(0)",
          "FSOUND_Close"}},
        {false, 42, "Error: Failed Song Loading...\nUnknown error.\n",
         {"FSOUND_Init(44100,32,0)", "FMUSIC_LoadSong(cud.mod)", "FSOUND_Close", "FMUSIC_FreeSong(0)",
          "FSOUND_Close"}},
    };
    for (const Case& c : cases) {
        ResetFakeSound();
        Song = 0;
        if (c.initFails)
            ScriptInitFailure(c.code);
        else
            ScriptLoadFailure(c.code);
        testing::internal::CaptureStdout();
        StartMusic();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.lines);
        EXPECT_EQ(Song, 0u);
        StopMusic();
        EXPECT_EQ(SoundCalls(), c.calls);
    }
}
}  // namespace
