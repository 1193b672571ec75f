// Display modes on the page: a page cannot change the screen's mode. The
// page is built with FullScreen off, so the show never asks; full screen is
// the browser's, from the page's own button (web/page.js).

#include "platform/display_modes.h"

bool EnumDisplayMode(std::uint32_t, DisplayMode*) { return false; }

void ChangeDisplayMode(const DisplayMode&) {}

void RestoreDisplayMode() {}
