#pragma once
// The offline sound library: for rendering the show's frames faster or
// slower than real time. No audio device is opened; the music time is
// whatever the renderer last set, so every reading within one frame gives
// the same value. Main thread only.

#include <cstdint>
#include <vector>

// Makes the library take its music time from SetOfflineMusicTime and open no
// audio output. For a library that also plays live (the page's, whose stills
// set the time): called once, before StartMusic. The offline library always
// works this way.
void UseOfflineClock();

// The music time in ms that FMUSIC_GetTime reports until the next call.
void SetOfflineMusicTime(std::uint32_t ms);

// Length of the show in ms: the loaded song's playing time, or the silent
// show's length when no song is loaded. FMUSIC_IsFinished is true from it on.
std::uint32_t OfflineShowLength();

// The sample rate the live show asks its sound output for.
constexpr int OfflineSoundRate = 44100;

// The loaded song's sound as the live show plays it (same end-of-song
// setting), rendered at sampleRate frames per second: 16-bit stereo,
// interleaved, from the first sample to the song's end. Empty when no song
// is loaded.
std::vector<std::int16_t> RenderOfflineSong(int sampleRate);
