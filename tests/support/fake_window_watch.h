#pragma once
// A window watch for tests: the window is gone when the test says so.

#include "platform/window_watch.h"

void SetFakeWindowGone(bool gone);
