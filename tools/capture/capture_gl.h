#pragma once
// The capture tool's GL context: a hidden GLUT window on an X display, so
// that the show's readout font (GLUT's) draws exactly as in the live show.
// When there is no display, a private Xvfb is started and stopped with the
// tool.

#include <string>

// Loads GL and GLUT, finds or starts a display, and makes a hidden window's
// context current. On failure returns false with a message in `error`.
bool OpenCaptureGl(std::string& error);
