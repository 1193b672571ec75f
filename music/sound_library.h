#pragma once
// Our small sound library. The program's music code makes exactly these
// calls; all of them come from the main thread. Each program links one
// implementation, picked by CMake per target:
// - live (sound_library_live.cpp): libopenmpt renders the module inside
//   SDL2's audio callback and the time is what is heard; the show, show-bench
//   and clock-bench;
// - offline (sound_library_offline.cpp, offline_clock.h): no audio device,
//   the music time is set by the renderer; orvane-capture and the frame tests;
// - web (sound_library_web.cpp and .js): libopenmpt renders on the page's
//   main thread, an AudioWorklet plays it, and the time is what the audio
//   context's output timestamps say is heard; the page, whose stills set the
//   time themselves (offline_clock.h);
// - scripted (tests/support/fake_sound.cpp): times and failures a unit test
//   sets.
// What they do alike with a module file is in sound_library_common.h.
// The calls keep the names and contracts of the module player the show was
// first written for, so that the music code, the clock and the error texts
// (FmodErrorText) stay as they are whichever implementation is linked.

#include <cstdint>

using SongHandle = std::uintptr_t;  // 0: no song

// Error codes that FSOUND_GetError reports.
constexpr int SoundErrorNone = 0;
constexpr int SoundErrorAlreadyOpen = 1;
constexpr int SoundErrorNotOpen = 2;
constexpr int SoundErrorInit = 3;
constexpr int SoundErrorFileNotFound = 9;
constexpr int SoundErrorFormat = 10;
constexpr int SoundErrorFileBad = 11;
constexpr int SoundErrorMemory = 12;
constexpr int SoundErrorInvalidParameter = 15;

// Opens sound output (mixRate Hz, 16-bit stereo; the other two arguments are
// accepted and ignored). Nonzero when output runs; 0 with SoundErrorInit when
// no output device can be opened, or with SoundErrorAlreadyOpen.
signed char FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned int flags);
// Code of the last failure.
int FSOUND_GetError();
// Closes sound output and frees every song still loaded; harmless when it is
// not open.
void FSOUND_Close();
// Loads a module file; 0 on failure (see FSOUND_GetError): SoundErrorFileNotFound,
// SoundErrorFileBad (cannot be read), SoundErrorFormat (not a module),
// SoundErrorMemory, or SoundErrorNotOpen before FSOUND_Init.
SongHandle FMUSIC_LoadSong(const char* fileName);
// Starts playback from the beginning; nonzero on success.
signed char FMUSIC_PlaySong(SongHandle song);
// Stops and frees the song; harmless for 0 or a handle already freed.
signed char FMUSIC_FreeSong(SongHandle song);
// Milliseconds of playing time that the listener hears now, from the start
// of playback; never goes backwards, and goes on (silence) after the end has
// been heard. For song 0: milliseconds of a monotonic clock since the library
// was first asked.
std::uint32_t FMUSIC_GetTime(SongHandle song);
// Nonzero once the heard time has reached the end of the song; for song 0,
// once the monotonic clock passes SilentShowLength.
signed char FMUSIC_IsFinished(SongHandle song);

// Length of a show that runs without music, in ms.
constexpr std::uint32_t SilentShowLength = 210000;
