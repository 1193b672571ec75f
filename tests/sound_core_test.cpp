// The sound library's core through a scripted output (its host clock set by
// the test): failures, the song's end, the music time, what the output
// receives, the silent clock of song 0, the offline clock. What holds here
// holds for every backend; playback_test.cpp and the page's sound test run
// the real devices.

#include "music/offline_clock.h"
#include "music/sound_library.h"
#include "music/sound_output.h"
#include "tests/support/scripted_output.h"
#include "tools/make_standins/tiny_module.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr std::int64_t Ms = 1000000;  // host times are in ns
constexpr std::size_t BlockFrames = 1024;
constexpr std::int64_t BlockNs = BlockFrames * 1000000000LL / SoundRate;
constexpr int Rows = 12;
constexpr std::uint32_t LengthMs = Rows * TinyModuleRowMs;
constexpr std::size_t LengthFrames = static_cast<std::size_t>(LengthMs) * SoundRate / 1000;

std::string TempPath(const std::string& name)
{
    return testing::TempDir() + "orvane-core-" + std::to_string(getpid()) + "-" + name;
}

class SoundCore : public testing::Test {
protected:
    void SetUp() override
    {
        ResetScriptedOutput();
        ASSERT_TRUE(WriteTinyModule(Tiny, Rows));
    }
    void TearDown() override
    {
        FSOUND_Close();
        std::remove(Tiny.c_str());
    }
    SongHandle OpenAndLoad()
    {
        EXPECT_NE(FSOUND_Init(SoundRate, 32, 0), 0);
        SongHandle song = FMUSIC_LoadSong(Tiny.c_str());
        EXPECT_NE(song, 0u) << "error " << FSOUND_GetError();
        return song;
    }
    // Plays blocks as a device with one block of latency would: block k is
    // asked for at k blocks and heard one block later.
    std::vector<std::int16_t> PlayBlocks(int blocks, std::int64_t startNs)
    {
        std::vector<std::int16_t> samples;
        for (int k = 0; k < blocks && ScriptedOutputPulling(); ++k) {
            SetScriptedNow(startNs + k * BlockNs);
            const std::vector<std::int16_t> block = PlayScriptedBlock(BlockFrames, startNs + (k + 1) * BlockNs);
            samples.insert(samples.end(), block.begin(), block.end());
        }
        return samples;
    }
    const std::string Tiny = TempPath("tiny.mod");
};

TEST_F(SoundCore, FailuresGiveTheirCodes)
{
    EXPECT_EQ(FMUSIC_LoadSong(Tiny.c_str()), 0u);
    EXPECT_EQ(FSOUND_GetError(), SoundErrorNotOpen);

    ScriptOutputOpens(false);
    EXPECT_EQ(FSOUND_Init(SoundRate, 32, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), SoundErrorInit);
    EXPECT_FALSE(ScriptedOutputOpen());
    FSOUND_Close();  // as StartMusic does after the failure, and StopMusic again
    FSOUND_Close();
    EXPECT_EQ(FMUSIC_FreeSong(0), 0);

    ScriptOutputOpens(true);
    ASSERT_NE(FSOUND_Init(SoundRate, 32, 0), 0) << "a failed start must not spoil the next one";
    EXPECT_TRUE(ScriptedOutputOpen());
    EXPECT_EQ(FSOUND_Init(SoundRate, 32, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), SoundErrorAlreadyOpen);

    const std::string garbage = TempPath("garbage.mod");
    std::FILE* file = std::fopen(garbage.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    for (int i = 0; i < 4000; ++i)
        std::fputc((i * 7919) & 0xFF, file);
    std::fclose(file);
    const std::string folder = TempPath("folder.mod");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string absent = TempPath("absent.mod");
    struct Case {
        const char* Name;
        const char* Path;
        int Error;
    };
    const Case cases[] = {
        {"no such file", absent.c_str(), SoundErrorFileNotFound},
        {"not a module", garbage.c_str(), SoundErrorFormat},
        {"a folder", folder.c_str(), SoundErrorFileBad},
        {"no name", nullptr, SoundErrorFileNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(FMUSIC_LoadSong(c.Path), 0u);
        EXPECT_EQ(FSOUND_GetError(), c.Error);
    }
    std::remove(garbage.c_str());
    rmdir(folder.c_str());

    for (SongHandle unknown : {SongHandle{0}, SongHandle{12345}}) {
        EXPECT_EQ(FMUSIC_PlaySong(unknown), 0);
        EXPECT_EQ(FSOUND_GetError(), SoundErrorInvalidParameter);
        EXPECT_EQ(FMUSIC_FreeSong(unknown), 0);
    }
    EXPECT_FALSE(ScriptedOutputPulling()) << "nothing plays after the failures";
}

// Read every millisecond of host time while a device plays the song: the
// time is what is heard, never goes back, and the song is finished exactly
// when its last frame has been heard; then silence plays and time goes on.
TEST_F(SoundCore, TheTimeIsWhatIsHeardToTheEnd)
{
    const SongHandle song = OpenAndLoad();
    const std::int64_t startNs = 1000 * Ms;
    SetScriptedNow(startNs);
    EXPECT_EQ(FMUSIC_GetTime(song), 0u) << "a song that is not playing has not been heard";
    EXPECT_EQ(FMUSIC_IsFinished(song), 0);
    ASSERT_NE(FMUSIC_PlaySong(song), 0);
    ASSERT_TRUE(ScriptedOutputPulling());

    const std::int64_t firstHeardNs = startNs + BlockNs;
    std::size_t pulled = 0;
    int blocks = 0;
    std::uint32_t previous = 0;
    for (std::int64_t nowNs = startNs; nowNs < firstHeardNs + (LengthMs + 200) * Ms; nowNs += Ms) {
        if (ScriptedOutputPulling() && nowNs >= startNs + blocks * BlockNs) {
            SetScriptedNow(nowNs);
            pulled += PlayScriptedBlock(BlockFrames, startNs + (blocks + 1) * BlockNs).size() / 2;
            ++blocks;
        }
        SetScriptedNow(nowNs);
        const std::uint32_t time = FMUSIC_GetTime(song);
        const bool finished = FMUSIC_IsFinished(song) != 0;
        const double heardMs = static_cast<double>(nowNs - firstHeardNs) / Ms;
        ASSERT_GE(time, previous) << "went backwards at " << heardMs << " ms";
        ASSERT_NEAR(time, std::max(heardMs, 0.0), 1.0) << "at " << heardMs << " ms heard";
        ASSERT_EQ(finished, heardMs >= LengthMs) << "at " << heardMs << " ms heard";
        previous = time;
    }
    EXPECT_EQ(pulled, LengthFrames) << "the whole song, and nothing after its end";
    EXPECT_FALSE(ScriptedOutputPulling());
    EXPECT_GE(previous, LengthMs + 199) << "after the end the time goes on";
}

TEST_F(SoundCore, AnOutputThatFallsBehindHoldsTheTimeAtWhatItRendered)
{
    const SongHandle song = OpenAndLoad();
    ASSERT_NE(FMUSIC_PlaySong(song), 0);
    PlayBlocks(2, 0);
    SetScriptedNow(2000 * Ms);  // no block asked for since
    const std::uint32_t held = FMUSIC_GetTime(song);
    EXPECT_EQ(held, 2 * BlockFrames * 1000 / SoundRate) << "two blocks rendered";
    EXPECT_EQ(FMUSIC_IsFinished(song), 0);
    // It goes on from there once the output does.
    PlayBlocks(1, 2000 * Ms - BlockNs);
    SetScriptedNow(2000 * Ms + 10 * Ms);
    EXPECT_EQ(FMUSIC_GetTime(song), held + 10u);
}

TEST_F(SoundCore, TheOutputGetsTheSongAsTheOfflineRenderHasItAndAgainWhenPlayedAgain)
{
    const SongHandle song = OpenAndLoad();
    SetSongDither(song, false);
    const std::vector<std::int16_t> offline = RenderOfflineSong();
    ASSERT_EQ(offline.size(), LengthFrames * 2);

    ASSERT_NE(FMUSIC_PlaySong(song), 0);
    EXPECT_EQ(PlayBlocks(1000, 0), offline);

    SetScriptedNow(5000 * Ms);
    ASSERT_NE(FMUSIC_PlaySong(song), 0);
    EXPECT_EQ(FMUSIC_GetTime(song), 0u) << "played again, it starts over";
    EXPECT_EQ(FMUSIC_IsFinished(song), 0);
    const std::vector<std::int16_t> again = PlayBlocks(3, 5000 * Ms);
    ASSERT_EQ(again.size(), 3 * BlockFrames * 2);
    EXPECT_TRUE(std::equal(again.begin(), again.end(), offline.begin()));
}

TEST_F(SoundCore, FreeingOrClosingStopsTheOutputAndForgetsTheSongs)
{
    const SongHandle first = OpenAndLoad();
    const SongHandle second = FMUSIC_LoadSong(Tiny.c_str());
    ASSERT_NE(second, 0u);
    ASSERT_NE(FMUSIC_PlaySong(first), 0);
    PlayBlocks(3, 0);
    EXPECT_NE(FMUSIC_FreeSong(second), 0) << "a song that is not playing";
    EXPECT_TRUE(ScriptedOutputPulling()) << "freeing another song leaves the playing one alone";
    EXPECT_NE(FMUSIC_FreeSong(first), 0);
    EXPECT_FALSE(ScriptedOutputPulling());
    EXPECT_EQ(FMUSIC_FreeSong(first), 0) << "by now just an unknown handle";
    EXPECT_EQ(FMUSIC_GetTime(first), 0u);

    const SongHandle third = FMUSIC_LoadSong(Tiny.c_str());
    ASSERT_NE(FMUSIC_PlaySong(third), 0);
    FSOUND_Close();
    EXPECT_FALSE(ScriptedOutputOpen());
    EXPECT_FALSE(ScriptedOutputPulling());
    EXPECT_EQ(FMUSIC_PlaySong(third), 0) << "closing frees every song";
}

TEST_F(SoundCore, AnOutputThatCannotPlayLetsTheSongRunSilentlyToItsEnd)
{
    const SongHandle song = OpenAndLoad();
    ASSERT_NE(FMUSIC_PlaySong(song), 0);
    LoseScriptedOutputOnPoll(700 * Ms);
    SetScriptedNow(700 * Ms);
    EXPECT_EQ(FMUSIC_GetTime(song), 0u);
    SetScriptedNow(1200 * Ms);
    EXPECT_EQ(FMUSIC_GetTime(song), 500u) << "in real time from the failure";
    SetScriptedNow((700 + LengthMs) * Ms - 1);
    EXPECT_EQ(FMUSIC_IsFinished(song), 0);
    SetScriptedNow((700 + LengthMs) * Ms);
    EXPECT_NE(FMUSIC_IsFinished(song), 0);
}

// After a failed start the show passes song 0: the time runs on the host
// clock from the first ask and the show ends after its silent length.
TEST_F(SoundCore, SongZeroRunsOnTheHostClockFromTheFirstAsk)
{
    ScriptOutputOpens(false);
    EXPECT_EQ(FSOUND_Init(SoundRate, 32, 0), 0);
    const std::int64_t firstAskNs = 3000 * Ms;
    SetScriptedNow(firstAskNs);
    EXPECT_EQ(FMUSIC_GetTime(0), 0u);
    const struct {
        std::int64_t AfterNs;
        std::uint32_t Time;
        bool Finished;
    } readings[] = {
        {250 * Ms, 250, false},
        {SilentShowLength * Ms, SilentShowLength, false},
        {SilentShowLength * Ms + 1, SilentShowLength, true},
    };
    for (const auto& r : readings) {
        SetScriptedNow(firstAskNs + r.AfterNs);
        EXPECT_EQ(FMUSIC_GetTime(0), r.Time);
        EXPECT_EQ(FMUSIC_IsFinished(0) != 0, r.Finished) << r.AfterNs;
    }
}

// The capture tool's output: nothing opens, and the time is what the
// renderer sets, for the song and for song 0 alike.
TEST_F(SoundCore, AnOfflineOutputTakesTheTimeTheRendererSets)
{
    ScriptOfflineOutput(true);
    ScriptOutputOpens(false);
    const SongHandle song = OpenAndLoad();
    EXPECT_FALSE(ScriptedOutputOpen());
    EXPECT_EQ(OfflineShowLength(), LengthMs);
    EXPECT_NE(FMUSIC_PlaySong(song), 0);
    EXPECT_FALSE(ScriptedOutputPulling());
    const struct {
        std::uint32_t Time;
        bool Finished;
    } settings[] = {{0, false}, {777, false}, {LengthMs - 1, false}, {LengthMs, true}, {3, false}};
    for (const auto& s : settings) {
        SetOfflineMusicTime(s.Time);
        EXPECT_EQ(FMUSIC_GetTime(song), s.Time);
        EXPECT_EQ(FMUSIC_GetTime(0), s.Time);
        EXPECT_EQ(FMUSIC_IsFinished(song) != 0, s.Finished) << s.Time;
    }
    // The song's sound for a video, at any rate, the same on every render.
    EXPECT_EQ(RenderOfflineSong().size(), LengthFrames * 2);
    const std::vector<std::int16_t> at48k = RenderOfflineSong(48000);
    EXPECT_EQ(at48k.size(), std::size_t{LengthMs} * 48 * 2);
    EXPECT_EQ(RenderOfflineSong(48000), at48k);

    FMUSIC_FreeSong(song);
    EXPECT_EQ(OfflineShowLength(), SilentShowLength) << "no song: the silent show";
    EXPECT_TRUE(RenderOfflineSong().empty());
    SetOfflineMusicTime(LengthMs);
    EXPECT_EQ(FMUSIC_IsFinished(0), 0);
}
}  // namespace
