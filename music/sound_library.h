#pragma once
// Our small sound library. The program's music code makes exactly these
// calls; all of them come from the main thread. They are written once, in
// the core (sound_library.cpp: loading, rendering, the song's end, the music
// time, the failure codes); each program links one output backend
// (sound_output.h), picked by CMake per target, which only opens, starts,
// stops and closes its output and reports what is heard:
// - SDL2 (sound_output_sdl.cpp): the audio callback renders and the time is
//   what is heard; the show, show-bench and clock-bench;
// - the page's (sound_output_web.cpp and .js): an AudioWorklet plays what the
//   page's main thread renders, and the time is what the audio context's
//   output timestamps say is heard;
// - offline (sound_output_offline.cpp, offline_clock.h): no audio device, the
//   music time is set by the renderer; orvane-capture and the frame tests
//   (the page's stills switch the core to the same clock);
// - scripted (tests/support/scripted_output.cpp): a device that the core's
//   tests drive.
// The music code's own tests link a scripted library of the calls instead
// (tests/support/fake_sound.cpp). What the core does with a module file is
// in sound_library_common.h.
// The calls keep the names and contracts of the module player the show was
// first written for, so that the music code, the clock and the error texts
// (FmodErrorText) stay as they are whichever backend is linked.

#include <cstdint>

using SongHandle = std::uintptr_t;  // 0: no song

// Frames per second that the show asks for, and that every backend renders
// and plays at.
constexpr int SoundRate = 44100;

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
