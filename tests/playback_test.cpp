// The live sound library through SDL's real audio path. CTest selects the
// "dummy" driver, which consumes audio in real time like a sound card.

#include "music/sound_library.h"
#include "tools/make_standins/tiny_module.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

std::string TempPath(const std::string& name)
{
    return testing::TempDir() + "orvane-playback-" + std::to_string(getpid()) + "-" + name;
}

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class Playback : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "dummy", 0);  // when run outside CTest
        ASSERT_TRUE(FSOUND_Init(44100, 32, 0)) << "error " << FSOUND_GetError();
    }
    void TearDown() override { FSOUND_Close(); }
};

TEST(SoundOutput, FailsWithCode3WhenNoDriverWorks)
{
    const char* before = std::getenv("SDL_AUDIODRIVER");
    std::string saved = before ? before : "dummy";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), SoundErrorInit);
    FSOUND_Close();  // as StartMusic does after the failure, and StopMusic again
    FSOUND_Close();
    FMUSIC_FreeSong(0);

    setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    EXPECT_NE(FSOUND_Init(44100, 32, 0), 0) << "a failed start must not spoil the next one";
    EXPECT_EQ(FSOUND_GetError(), SoundErrorNone);
    FSOUND_Close();
}

TEST_F(Playback, LoadingReportsWhatWentWrong)
{
    EXPECT_EQ(FMUSIC_LoadSong(TempPath("absent.mod").c_str()), 0u);
    EXPECT_EQ(FSOUND_GetError(), SoundErrorFileNotFound);

    std::string garbage = TempPath("garbage.mod");
    std::FILE* file = std::fopen(garbage.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    for (int i = 0; i < 4000; ++i)
        std::fputc((i * 7919) & 0xFF, file);
    std::fclose(file);
    EXPECT_EQ(FMUSIC_LoadSong(garbage.c_str()), 0u);
    EXPECT_EQ(FSOUND_GetError(), SoundErrorFormat);
    std::remove(garbage.c_str());

    std::string folder = TempPath("folder.mod");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    EXPECT_EQ(FMUSIC_LoadSong(folder.c_str()), 0u);
    EXPECT_EQ(FSOUND_GetError(), SoundErrorFileBad);
    rmdir(folder.c_str());
}

// Songs freed while the callback renders them, and output closed with a song
// still playing and loaded: nothing may be touched after it is gone.
TEST_F(Playback, FreeingAndClosingWhilePlayingIsSafe)
{
    std::string path = TempPath("long.mod");
    ASSERT_TRUE(WriteTinyModule(path, 100));
    SongHandle first = FMUSIC_LoadSong(path.c_str());
    EXPECT_EQ(FSOUND_GetError(), SoundErrorNone);
    SongHandle second = FMUSIC_LoadSong(path.c_str());
    std::remove(path.c_str());
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_EQ(FMUSIC_GetTime(second), 0u) << "a song that is not playing has not been heard";
    EXPECT_EQ(FMUSIC_IsFinished(second), 0);

    FMUSIC_PlaySong(first);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    FMUSIC_FreeSong(first);
    FMUSIC_FreeSong(first);  // by now just an unknown handle
    FMUSIC_PlaySong(second);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_GT(FMUSIC_GetTime(second), 0u);
}

// Plays a 12-row module (1440 ms) to its end, reading the clock about every
// millisecond, as the show's idle loop does.
TEST_F(Playback, HeardTimeRunsSmoothlyToTheEndAndOnlyThenFinishes)
{
    const std::uint32_t length = 12 * TinyModuleRowMs;
    std::string path = TempPath("twelve.mod");
    ASSERT_TRUE(WriteTinyModule(path, 12));
    SongHandle song = FMUSIC_LoadSong(path.c_str());
    std::remove(path.c_str());
    ASSERT_NE(song, 0u);

    Clock::time_point start = Clock::now();
    ASSERT_NE(FMUSIC_PlaySong(song), 0);
    std::uint32_t first = FMUSIC_GetTime(song);
    EXPECT_LT(first, 100u);
    std::uint32_t previous = first;
    double firstHeardMs = -1, finishedMs = -1;
    while (MsSince(start) < 5000) {
        std::uint32_t before = FMUSIC_GetTime(song);
        bool finished = FMUSIC_IsFinished(song) != 0;
        std::uint32_t after = FMUSIC_GetTime(song);
        ASSERT_GE(before, previous) << "went backwards";
        ASSERT_GE(after, before) << "went backwards";
        if (!finished)
        {
            ASSERT_LE(before, length) << "ran ahead of the audio before the end";
        }
        if (firstHeardMs < 0 && before > 0)
            firstHeardMs = MsSince(start);
        if (finished) {
            EXPECT_GE(after, length) << "finished before the end was heard";
            finishedMs = MsSince(start);
            break;
        }
        EXPECT_LT(before, length) << "the end was heard but the song is not finished";
        previous = after;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GE(finishedMs, 0) << "never finished; time " << FMUSIC_GetTime(song);
    // Heard in real time: the dummy driver runs up to a few percent fast,
    // and a busy machine may hold a reader up.
    EXPECT_NEAR(finishedMs - firstHeardMs, length, 250);
    EXPECT_NE(FMUSIC_IsFinished(song), 0);
    // After the end, silence plays and the time goes on in real time.
    std::uint32_t atEnd = FMUSIC_GetTime(song);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NEAR(static_cast<double>(FMUSIC_GetTime(song) - atEnd), 100.0, 50.0);

    // Played again, it starts over from the beginning.
    ASSERT_NE(FMUSIC_PlaySong(song), 0);
    EXPECT_LT(FMUSIC_GetTime(song), 100u);
    EXPECT_EQ(FMUSIC_IsFinished(song), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::uint32_t again = FMUSIC_GetTime(song);
    EXPECT_GT(again, 100u);
    EXPECT_LT(again, 600u);
    FMUSIC_FreeSong(song);
}

// After a failed start the show passes song 0 and must still run in real
// time, from 0 up, without finishing early.
TEST(SongZero, TimeRunsInRealTime)
{
    std::uint32_t start = FMUSIC_GetTime(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::uint32_t later = FMUSIC_GetTime(0);
    EXPECT_GE(later - start, 290u);
    EXPECT_LE(later - start, 700u);
    EXPECT_LT(later, SilentShowLength);
    EXPECT_EQ(FMUSIC_IsFinished(0), 0);
}
}  // namespace
