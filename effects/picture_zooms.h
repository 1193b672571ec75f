#pragma once
// Five pictures one second each from 172480 ms, each placed by the noise,
// growing while it fades, added onto the frame.

// Called by DisplayFrame once per frame, sixth among the effects. Leaves the
// additive blend function SRC_ALPHA, ONE in force for every later effect
// that sets none of its own.
void DrawPictureZooms();
