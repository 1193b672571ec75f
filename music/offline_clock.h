#pragma once
// The sound library's offline clock: for rendering the show's frames faster
// or slower than real time. No audio device is opened; the music time is
// whatever the renderer last set, so every reading within one frame gives
// the same value. Kept by the core (sound_library.cpp) for every backend:
// always on with the offline backend (the capture tool, the frame tests),
// switched on by the page's stills. Main thread only.

#include "music/sound_library.h"

#include <cstdint>
#include <vector>

// Makes the library take its music time from SetOfflineMusicTime and open no
// audio output. For a library that also plays live (the page's, whose stills
// set the time): called once, before StartMusic. With the offline backend
// the library always works this way.
void UseOfflineClock();

// The music time in ms that FMUSIC_GetTime reports until the next call.
void SetOfflineMusicTime(std::uint32_t ms);

// Length of the show in ms: the loaded song's playing time, or the silent
// show's length when no song is loaded. FMUSIC_IsFinished is true from it on.
std::uint32_t OfflineShowLength();

// Default sample rate of RenderOfflineSong: the live show's.
constexpr int OfflineSoundRate = SoundRate;

// The loaded song's sound as the live show plays it (same end-of-song
// setting, no dither): 16-bit stereo, interleaved, at rate frames per second,
// from the first sample to the song's end. Empty when no song is loaded.
std::vector<std::int16_t> RenderOfflineSong(int rate = OfflineSoundRate);
