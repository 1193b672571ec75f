#pragma once
// A white band over the view's full height in each of 41 windows of music
// time, fading out while it narrows from 3 units to 2 and widens back.

// Called by DisplayFrame once per frame, second among the effects. Moves its
// cursor through the windows by at most one entry per frame. Where it draws
// it leaves its colour and the blend function SRC_ALPHA, ONE_MINUS_SRC_ALPHA
// behind for the later effects; it never switches blending on or off.
void DrawVerticalBands();
