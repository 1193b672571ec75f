#pragma once
// The page's GL table, shared by its three units: gl_loader_web.cpp binds the
// entry points and records and replays display lists; gl_immediate_web.cpp
// carries out glBegin/glEnd primitives, colours, polygon modes and
// rectangles; gl_glyphs_web.cpp the raster position and the readout's
// glyphs. All of them run on the page's one thread.

#include "platform/gl_api.h"

// The toolchain's own entry points (its GL emulation on WebGL and its GLUT),
// imported under their GL and GLUT names: the table's pointers carry those
// names, so the functions behind them are reached as Toolchain_<name>. Only
// the ones the table binds or calls end up imported.
#define ORV_TOOLCHAIN_ENTRY(name) __attribute__((import_module("env"), import_name(#name)))
#define GL_FUNCTION(ret, name, params, args) extern "C" ret Toolchain_##name params ORV_TOOLCHAIN_ENTRY(name);
#define GLUT_FUNCTION GL_FUNCTION
#include "platform/gl_functions.inc"
#undef GL_FUNCTION
#undef GLUT_FUNCTION
extern "C" void Toolchain_glVertex4f(GLfloat x, GLfloat y, GLfloat z, GLfloat w) ORV_TOOLCHAIN_ENTRY(glVertex4f);
extern "C" void Toolchain_glGetFloatv(GLenum pname, GLfloat* data) ORV_TOOLCHAIN_ENTRY(glGetFloatv);
extern "C" void Toolchain_glGenTextures(GLsizei n, GLuint* textures) ORV_TOOLCHAIN_ENTRY(glGenTextures);

// glBegin to glEnd, gathered (gl_immediate_web.cpp). Finished primitives
// wait for DrawGathered, which every other GL call, the glyphs and the swap
// call first.
void BeginPrimitive(GLenum mode);
void EndPrimitive();
void DrawGathered();
void AddVertex(GLfloat x, GLfloat y, GLfloat z);
void SetTexCoord(GLfloat s, GLfloat t);
// The current colour, inside glBegin or out.
void SetColour(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
const GLfloat* CurrentColour();  // r, g, b, a
void SetPolygonMode(GLenum face, GLenum mode);
void DrawRect(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2);

// The raster position and the readout font (gl_glyphs_web.cpp).
void SetRasterPos(GLfloat x, GLfloat y);
void DrawBitmapCharacter(void* font, int character);
// The value GLUT_BITMAP_TIMES_ROMAN_24 takes on the page.
void* ReadoutFont();

// The current model-view and projection matrices combined, and the
// viewport, as the toolchain holds them: from object coordinates to clip
// coordinates, and from there to window pixels.
struct WindowTransform {
    GLfloat clipFromObject[16];  // column-major, as GL keeps matrices
    GLint viewport[4];           // x, y, width, height
};
WindowTransform CurrentWindowTransform();
// glViewport, and the viewport it set.
void SetViewport(GLint x, GLint y, GLsizei width, GLsizei height);
const GLint* CurrentViewport();  // x, y, width, height
// (x, y, z, 1) to clip coordinates (x, y, z, w).
void ToClip(const WindowTransform& transform, const GLfloat* xyz, GLfloat* clip);
// Clip coordinates with w > 0 to window pixels (x, y).
void ClipToWindow(const WindowTransform& transform, const GLfloat* clip, GLfloat* window);
