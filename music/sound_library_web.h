#pragma once
// The page's sound library beyond sound_library.h: the render step that its
// audio feed runs for the playing song, open to tests that compare the
// page's sound with the desktop's. Main thread only.

#include "music/sound_library.h"

#include <cstddef>
#include <cstdint>

// Sample rate of everything the page's library renders: the live show's.
constexpr int WebSoundRate = 44100;

// Renders the next frames of a loaded song, 16-bit stereo interleaved at
// WebSoundRate, into out (room for 2 * frames samples). The number of frames
// rendered: fewer than asked at the song's end, then 0; 0 for an unknown
// handle or a decoder that failed.
std::size_t RenderSongBlock(SongHandle song, std::int16_t* out, std::size_t frames);

// libopenmpt dithers 16-bit output by default, randomly seeded, as the live
// desktop show plays it; off, two renders give the same samples.
void SetSongDither(SongHandle song, bool on);
