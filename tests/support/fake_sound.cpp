#include "tests/support/fake_sound.h"

#include "music/sound_library.h"

#include <cstddef>

namespace {
std::vector<std::uint32_t> Times{0};
std::size_t NextTime = 0;
bool Finished = false;
int InitFailure = 0;
int LoadFailure = 0;
int LastError = 0;
std::vector<std::string> Calls;
constexpr SongHandle FakeSong = 0x5000;
}  // namespace

void ScriptMusicTimes(std::vector<std::uint32_t> times)
{
    Times = times.empty() ? std::vector<std::uint32_t>{0} : std::move(times);
    NextTime = 0;
}

void ScriptMusicTime(std::uint32_t time) { ScriptMusicTimes({time}); }
void ScriptFinished(bool finished) { Finished = finished; }
void ScriptInitFailure(int errorCode) { InitFailure = errorCode; }
void ScriptLoadFailure(int errorCode) { LoadFailure = errorCode; }

void ResetFakeSound()
{
    ScriptMusicTime(0);
    Finished = false;
    InitFailure = LoadFailure = LastError = 0;
    Calls.clear();
}

const std::vector<std::string>& SoundCalls() { return Calls; }

signed char FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned int flags)
{
    Calls.push_back("FSOUND_Init(" + std::to_string(mixRate) + "," + std::to_string(maxSoftwareChannels) +
                    "," + std::to_string(flags) + ")");
    LastError = InitFailure;
    return InitFailure == 0;
}

int FSOUND_GetError() { return LastError; }

void FSOUND_Close() { Calls.push_back("FSOUND_Close"); }

SongHandle FMUSIC_LoadSong(const char* fileName)
{
    Calls.push_back(std::string("FMUSIC_LoadSong(") + fileName + ")");
    LastError = LoadFailure;
    return LoadFailure == 0 ? FakeSong : 0;
}

signed char FMUSIC_PlaySong(SongHandle song)
{
    Calls.push_back(song == FakeSong ? "FMUSIC_PlaySong(song)" : "FMUSIC_PlaySong(0)");
    return song != 0;
}

signed char FMUSIC_FreeSong(SongHandle song)
{
    Calls.push_back(song == FakeSong ? "FMUSIC_FreeSong(song)" : "FMUSIC_FreeSong(0)");
    return 1;
}

std::uint32_t FMUSIC_GetTime(SongHandle)
{
    std::uint32_t time = Times[NextTime];
    if (NextTime + 1 < Times.size())
        ++NextTime;
    return time;
}

signed char FMUSIC_IsFinished(SongHandle) { return Finished; }
