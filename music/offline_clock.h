#pragma once
// The offline sound library: for rendering the show's frames faster or
// slower than real time. No audio device is opened; the music time is
// whatever the renderer last set, so every reading within one frame gives
// the same value. Main thread only.

#include <cstdint>

// The music time in ms that FMUSIC_GetTime reports until the next call.
void SetOfflineMusicTime(std::uint32_t ms);

// Length of the show in ms: the loaded song's playing time, or the silent
// show's length when no song is loaded. FMUSIC_IsFinished is true from it on.
std::uint32_t OfflineShowLength();
