#pragma once
// The desktop's display modes, behind a thin platform layer: XRandR on X11,
// the Win32 display settings on Windows, a fake list in the tests.

#include <cstdint>

struct DisplayMode {
    std::int32_t width;
    std::int32_t height;
    std::int32_t bitsPerPixel;
    std::int32_t platformIndex;  // the platform's own number for the mode
    std::int32_t refreshRate;    // Hz; 0 when the platform gives none
};

// Fills mode with the index-th mode of the current display; false once index
// is past the last mode. Modes that differ only in refresh rate come lowest
// rate first, whatever order the platform lists them in.
bool EnumDisplayMode(std::uint32_t index, DisplayMode* mode);

// Switches the display to mode. A refusal is ignored.
void ChangeDisplayMode(const DisplayMode& mode);

// Puts back the mode found before the first change, and shows the cursor.
// Safe to call from any thread, any number of times: only the first call
// after a change does anything.
void RestoreDisplayMode();

// Makes RestoreDisplayMode run on every way out of the process: normal
// exit, std::exit from anywhere, and the console's termination signals.
void GuardDisplayModeOnExit();
