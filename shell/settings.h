#pragma once
// The show's settings, fixed at build time (CMake options). At run time
// --window turns FullScreen off and --keep-aspect turns KeepAspect on
// before start-up, and Reshape keeps the window's current size.

#include <cstdint>

extern std::int32_t WindowWidth;   // 800; then the window's width
extern std::int32_t WindowHeight;  // 600; then the window's height
extern std::int32_t ColorDepth;    // bits per pixel of the full-screen mode
extern bool FullScreen;            // switch the display mode and cover the screen
// Keep the picture 4:3, centred between black bars, in a window of another
// shape; false (the show as made): the picture is stretched to the window.
extern bool KeepAspect;
// Where the show's files are read from unless --folder says otherwise;
// "" (a source build): the working folder.
extern const char* const DataFolder;
