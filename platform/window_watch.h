#pragma once
// Notices that the show's window was destroyed by another client (for
// example `xdotool windowclose`). GLUT does not: it runs on without a window
// and calls only the idle callback from then on.

// Starts watching the window that holds the current GL context. Called once,
// right after glutCreateWindow made that window's context current. Does
// nothing when there is no current window or the watch cannot be set up.
void WatchCurrentWindow();

// True once the watched window has been destroyed. Polled by IdlePacer on
// the main thread; costs no round trip to the server.
bool WatchedWindowGone();
