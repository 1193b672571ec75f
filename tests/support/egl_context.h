#pragma once
// An offscreen OpenGL or OpenGL ES context on Mesa through EGL, with no X
// server, and the program's GL entry points loaded from the real library
// or pointed at the GLES2 renderer.

#include <cstdint>
#include <vector>

// Creates a compatibility-profile context with a width x height RGBA
// framebuffer object bound, makes it current and loads GL. False when the
// platform has no such context.
bool OpenOffscreenGl(int width, int height);
// The same with an OpenGL ES 2 context, drawn through the GLES2 renderer
// (platform/gles2.h), whose glyph atlas is then the readout's font.
bool OpenOffscreenGles2(int width, int height);
void CloseOffscreenGl();

// The framebuffer's pixels as RGB, top row first.
std::vector<std::uint8_t> ReadOffscreenRgb();
