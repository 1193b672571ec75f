#pragma once
// Runs the show's own frame code off-screen at a fixed frame rate, with the
// offline clock: every frame reads one music time, the time of the frame.
// Frame k of a run at N frames per second is drawn at k * 1000 / N ms, as
// the live show would draw it then.

#include "tools/capture/frame_targets.h"

#include <cstdint>

// Music ms of frame k at fps frames per second (rounded down).
std::uint32_t FrameTimeOf(std::uint64_t k, int fps);

// Starts a run from 0 ms, with the picture drawn into `area` of the full
// frame. Called once, after InitScene.
void StartShowRun(int fps, const PictureArea& area);

// Draws the show's frame at ms into the full frame. Every frame of the fixed
// rate before ms that has not run yet runs first, into the 1 by 1 frame, so
// that cursors and GL state stand where the live show's would. Times must
// not decrease from one call to the next.
void DrawShowFrameAt(std::uint32_t ms);
