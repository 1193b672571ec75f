#include "tests/support/fake_window_watch.h"

namespace {
bool Gone = false;
}  // namespace

void SetFakeWindowGone(bool gone) { Gone = gone; }
void WatchCurrentWindow() {}
bool WatchedWindowGone() { return Gone; }
