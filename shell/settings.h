#pragma once
// The show's four settings, fixed at build time (CMake options). Only
// Reshape changes anything here at run time: the window's current size.

#include <cstdint>

extern std::int32_t WindowWidth;   // 800; then the window's width
extern std::int32_t WindowHeight;  // 600; then the window's height
extern std::int32_t ColorDepth;    // bits per pixel of the full-screen mode
extern bool FullScreen;            // switch the display mode and cover the screen
