#pragma once
// A white square at each of 22 music times, placed by the noise from its cue
// time, growing to twice its size and fading out over 550 ms.

#include <array>
#include <cstdint>

// Music ms; at least 580 ms apart, so the 550 ms pulses never overlap. The
// stand-in soundtrack puts a hit on each.
inline constexpr std::array<std::uint32_t, 22> SquarePulseCues = {
    240,   3480,  4080,  7320,  7920,  11140, 11740, 14980, 15580, 18800, 19400,
    22640, 23240, 26480, 27060, 30300, 30900, 34140, 34740, 37960, 38560, 41800,
};

// Called by DisplayFrame once per frame, first among the effects, with an
// identity model-view matrix and opaque white current. Outside its pulses it
// makes no GL call. Where it draws it leaves its colour and the blend
// function SRC_ALPHA, ONE_MINUS_SRC_ALPHA behind for the later effects.
void DrawSquarePulses();
