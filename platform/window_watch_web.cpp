// The window watch on the page: the canvas is the page's own, and nothing
// outside the page can take it away.

#include "platform/window_watch.h"

void WatchCurrentWindow() {}

bool WatchedWindowGone() { return false; }
