#pragma once
// The switch to the show's full-screen display mode.

#include "platform/display_modes.h"

// Applies, in enumeration order, every display mode whose width, height and
// bits per pixel are exactly WindowWidth, WindowHeight and ColorDepth; the
// last one applied stays. Called once at start-up when FullScreen is set.
void SwitchDisplayMode();
