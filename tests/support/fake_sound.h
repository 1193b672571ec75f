#pragma once
// A scripted sound library for tests: music time comes from a script, and
// every call is logged by name.

#include <cstdint>
#include <string>
#include <vector>

// Each FMUSIC_GetTime call takes the next value; the last one repeats.
void ScriptMusicTimes(std::vector<std::uint32_t> times);
void ScriptMusicTime(std::uint32_t time);
void ScriptFinished(bool finished);
// Makes FSOUND_Init or FMUSIC_LoadSong fail with the given error code.
void ScriptInitFailure(int errorCode);
void ScriptLoadFailure(int errorCode);
// Back to a working library at time 0, and an empty call log.
void ResetFakeSound();
// Names of the sound library calls made since the last reset, in order,
// e.g. "FSOUND_Init(44100,32,0)", "FMUSIC_LoadSong(cud.mod)", "FMUSIC_FreeSong(0)".
const std::vector<std::string>& SoundCalls();
