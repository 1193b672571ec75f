#pragma once
// Five pictures one second each from 172480 ms, each placed by the noise,
// growing while it fades, added onto the frame.

#include <array>
#include <cstdint>

// Music ms, one second apart: each picture ends where the next begins. The
// stand-in soundtrack puts a hit on each.
inline constexpr std::array<std::uint32_t, 5> PictureZoomCues = {172480, 173480, 174480, 175480, 176480};

// Called by DisplayFrame once per frame, sixth among the effects. Leaves the
// additive blend function SRC_ALPHA, ONE in force for every later effect
// that sets none of its own.
void DrawPictureZooms();
