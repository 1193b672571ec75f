#pragma once
// A white ring at each of 116 music times, placed by the noise from its cue
// time, growing to almost three times its size and fading out within 300 ms;
// four of them also flash the whole view white for up to 280 ms.

#include <array>
#include <cstdint>

// Music ms, strictly ascending. The stand-in soundtrack puts a hit on each.
inline constexpr std::array<std::uint32_t, 116> RingPulseCues = {
    69820,  70060,  70300,  70880,  71720,  71960,  72200,  72800,
    73640,  73880,  74120,  74720,  75560,  75800,  76040,  76640,
    77480,  77720,  77960,  78560,  79400,  79620,  79860,  80460,
    81300,  81540,  81780,  82380,  83220,  83460,  83700,  84060,
    85140,  85380,  85620,  86220,  87060,  87300,  87540,  88140,
    88960,  89200,  89440,  90040,  90880,  91120,  91360,  94960,
    95200,  95800,  96640,  96880,  97100,  97700,  98540,  98780,
    99020,  99620,  100460, 100700, 100940, 101540, 102380, 102620,
    102860, 106440, 106680, 120700, 120820, 121780, 122140, 122380,
    123460, 123680, 123920, 124520, 125360, 125600, 125840, 126440,
    127280, 127520, 127760, 128360, 129200, 129440, 129680, 130280,
    131120, 131360, 131600, 132200, 132660, 133140, 133740, 134100,
    134940, 135180, 135420, 136020, 136860, 137100, 137340, 137940,
    138780, 139020, 139260, 139860, 140700, 140940, 141160, 144760,
    145000, 179120, 179480, 179840,
};
// The rings that also flash the view, by index.
constexpr std::uint32_t FirstFlash = 44;  // 90880 ms
constexpr std::uint32_t LastFlash = 47;   // 94960 ms

// Called by DisplayFrame once per frame, fourth among the effects. Moves its
// cursor by at most one entry per frame, so a new cue cuts the previous ring
// short. Sets no blend function for the ring: it blends under whichever one
// an earlier effect left (the zooms' additive one for the last three rings).
void DrawRingPulses();

// Covers the view with white fading out from start to end (music ms),
// reading the scene time afresh. Called only by DrawRingPulses.
void FlashScreen(std::uint32_t start, std::uint32_t end);
