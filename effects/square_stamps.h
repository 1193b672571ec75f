#pragma once
// A 3 by 3 square at each of 16 music times for 500 ms, placed and turned by
// the noise from its cue time, trembling sideways with the current time.

#include <array>
#include <cstdint>

// Music ms; six pairs are 480 ms apart and overlap for 20 ms. The stand-in
// soundtrack puts a hit on each.
inline constexpr std::array<std::uint32_t, 16> SquareStampCues = {
    72320,  95800,  99140,  99620,  102980, 103460, 125960, 126440,
    129800, 130280, 137460, 137940, 141280, 141760, 142420, 187260,
};

// Called by DisplayFrame once per frame, fifth among the effects. Sets no
// colour and no blend function, and does not reset the matrix between two
// stamps that overlap in time: the second is drawn inside the first one's
// transformation.
void DrawSquareStamps();
