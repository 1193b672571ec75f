#pragma once
// A white ring at each of 116 music times, placed by the noise from its cue
// time, growing to almost three times its size and fading out within 300 ms;
// four of them also flash the whole view white for up to 280 ms.

#include <cstdint>

// Called by DisplayFrame once per frame, fourth among the effects. Moves its
// cursor by at most one entry per frame, so a new cue cuts the previous ring
// short. Sets no blend function for the ring: it blends under whichever one
// an earlier effect left (the zooms' additive one for the last three rings).
void DrawRingPulses();

// Covers the view with white fading out from start to end (music ms),
// reading the scene time afresh. Called only by DrawRingPulses.
void FlashScreen(std::uint32_t start, std::uint32_t end);
