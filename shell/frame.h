#pragma once
// The frame cycle: three GLUT callbacks, all on the main thread. Frames are
// paced by music time alone.

#include <cstdint>

// Music ms that must pass (strictly more) before the next frame is posted.
constexpr std::uint32_t FrameThreshold = 10;
// Scene ms below which the time readout is drawn.
constexpr std::uint32_t ReadoutLimit = 18960;

// GLUT idle callback: posts a redisplay and renews the frame mark once more
// than FrameThreshold ms of music time have passed; otherwise gives the
// processor up for about a millisecond. Quits when the window was destroyed,
// or when the music ended a quarter second ago and no frame has quit since
// (a hidden window is not drawn).
void IdlePacer();

// GLUT display callback: draws the effects in their fixed order, the time
// readout during the first ReadoutLimit ms, and quits instead of swapping
// once the music has finished.
void DisplayFrame();

// GLUT reshape callback: keeps the viewport on the whole window and the view
// at x -4..4, y -3..3, whatever the window's shape.
void Reshape(int width, int height);

// Draws text in the readout font with its first character's origin at the
// raster position (x, y), in the current colour.
void DrawNumberText(int x, int y, const char* text);
