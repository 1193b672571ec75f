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
// once the music has finished. With KeepAspect it first clears the bars
// beside the picture to black.
void DisplayFrame();

// A rectangle of the window in pixels, from its bottom left corner.
struct PictureArea {
    int x, y, width, height;
};

// The largest 4:3 area of a width x height window, centred; the rest of the
// window is two black bars (none when the window is 4:3 itself).
PictureArea CentredPictureArea(int width, int height);

// GLUT reshape callback: keeps the view at x -4..4, y -3..3, whatever the
// window's shape, on a viewport that covers the whole window, stretched; with
// KeepAspect on CentredPictureArea, where the scissor keeps the show's own
// clear too.
void Reshape(int width, int height);

// Draws text in the readout font with its first character's origin at the
// raster position (x, y), in the current colour.
void DrawNumberText(int x, int y, const char* text);
