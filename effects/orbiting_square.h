#pragma once
// In two long stretches of music time, a square that circles the view's
// centre on an ellipse, spins, and swells and shrinks with the noise.

#include <array>
#include <cstdint>

struct OrbitWindow {
    std::uint32_t start;  // music ms, inclusive
    std::uint32_t end;    // music ms, exclusive
};
// The stand-in soundtrack puts a hit on each start.
inline constexpr std::array<OrbitWindow, 2> OrbitingSquareWindows = {{{42220, 68860}, {141820, 182960}}};

// Called by DisplayFrame once per frame, third among the effects. Sets no
// colour and no blend function: the square takes whatever the first two
// effects left in this frame. Reads the scene time afresh for each use.
void DrawOrbitingSquare();
