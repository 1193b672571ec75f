#pragma once
// The OpenGL 1.1 and GLUT entry points the program calls, as function
// pointers named like the library functions. Nothing here links against GL
// or GLUT: LoadGraphicsLibraries (gl_loader.h) fills the pointers at run
// time (on the page with the GLES2 renderer, gles2.h, and glut_web.cpp), and
// tests may install a recording table, the renderer or fakes of their own.
// Every pointer is always callable: an entry point that could not be found
// points at a stand-in that does nothing and returns 0.

#include "platform/gl_types.h"

#include <cstdint>

#if defined(_WIN32)
#define ORV_APIENTRY __stdcall
#else
#define ORV_APIENTRY
#endif

using GLXDrawable = unsigned long;  // an X window id

// The GL and GLUT constants the program and the GLES2 renderer use (values
// from the GL 1.1 and GLUT headers).
constexpr GLbitfield GL_COLOR_BUFFER_BIT = 0x4000;
constexpr GLenum GL_POINTS = 0x0000;
constexpr GLenum GL_LINES = 0x0001;
constexpr GLenum GL_LINE_LOOP = 0x0002;
constexpr GLenum GL_LINE_STRIP = 0x0003;
constexpr GLenum GL_TRIANGLES = 0x0004;
constexpr GLenum GL_TRIANGLE_STRIP = 0x0005;
constexpr GLenum GL_TRIANGLE_FAN = 0x0006;
constexpr GLenum GL_QUADS = 0x0007;
constexpr GLenum GL_QUAD_STRIP = 0x0008;
constexpr GLenum GL_POLYGON = 0x0009;
constexpr GLenum GL_MODELVIEW = 0x1700;
constexpr GLenum GL_PROJECTION = 0x1701;
constexpr GLenum GL_COMPILE = 0x1300;
constexpr GLenum GL_COMPILE_AND_EXECUTE = 0x1301;
constexpr GLenum GL_BLEND = 0x0BE2;
constexpr GLenum GL_CULL_FACE = 0x0B44;
constexpr GLenum GL_DEPTH_TEST = 0x0B71;
constexpr GLenum GL_TEXTURE_2D = 0x0DE1;
constexpr GLenum GL_TEXTURE_BINDING_2D = 0x8069;
constexpr GLenum GL_TEXTURE_MAG_FILTER = 0x2800;
constexpr GLenum GL_TEXTURE_MIN_FILTER = 0x2801;
constexpr GLenum GL_TEXTURE_WIDTH = 0x1000;
constexpr GLenum GL_TEXTURE_HEIGHT = 0x1001;
constexpr GLint GL_NEAREST = 0x2600;
constexpr GLint GL_LINEAR = 0x2601;
constexpr GLenum GL_RGBA = 0x1908;
constexpr GLenum GL_RGB = 0x1907;
constexpr GLenum GL_UNSIGNED_BYTE = 0x1401;
constexpr GLenum GL_ZERO = 0;
constexpr GLenum GL_ONE = 1;
constexpr GLenum GL_SRC_ALPHA = 0x0302;
constexpr GLenum GL_ONE_MINUS_SRC_ALPHA = 0x0303;
constexpr GLenum GL_BLEND_SRC = 0x0BE1;
constexpr GLenum GL_BLEND_DST = 0x0BE0;
constexpr GLenum GL_FRONT = 0x0404;
constexpr GLenum GL_BACK = 0x0405;
constexpr GLenum GL_FRONT_AND_BACK = 0x0408;
constexpr GLenum GL_POINT = 0x1B00;
constexpr GLenum GL_LINE = 0x1B01;
constexpr GLenum GL_FILL = 0x1B02;
constexpr GLenum GL_POLYGON_MODE = 0x0B40;
constexpr GLenum GL_VIEWPORT = 0x0BA2;
constexpr GLenum GL_MATRIX_MODE = 0x0BA0;
constexpr GLenum GL_PACK_ALIGNMENT = 0x0D05;
constexpr GLenum GL_SCISSOR_TEST = 0x0C11;
constexpr GLenum GL_FRAMEBUFFER = 0x8D40;
constexpr GLenum GL_RENDERBUFFER = 0x8D41;
constexpr GLenum GL_COLOR_ATTACHMENT0 = 0x8CE0;
constexpr GLenum GL_FRAMEBUFFER_COMPLETE = 0x8CD5;
constexpr GLenum GL_RGBA8 = 0x8058;
constexpr GLboolean GL_TRUE = 1;
constexpr GLboolean GL_FALSE = 0;

constexpr unsigned int GLUT_RGB = 0;
constexpr unsigned int GLUT_DOUBLE = 2;
constexpr GLenum GLUT_ACTION_ON_WINDOW_CLOSE = 0x01F9;  // freeglut's glutSetOption
constexpr int GLUT_ACTION_GLUTMAINLOOP_RETURNS = 1;

// On the page the toolchain's WebGL functions carry GL's names as link-time
// symbols (the GLES2 renderer calls them); the pointers take names of their
// own there, so that both live in one program.
#if defined(__EMSCRIPTEN__)
#define ORV_TABLE_SYMBOL(name) __asm__("orvane_" #name)
#else
#define ORV_TABLE_SYMBOL(name)
#endif

#define GL_FUNCTION(ret, name, params, args) extern ret(ORV_APIENTRY* name) params ORV_TABLE_SYMBOL(name);
#define GLUT_FUNCTION GL_FUNCTION
#include "platform/gl_functions.inc"
#undef GL_FUNCTION
#undef GLUT_FUNCTION

// The font of the time readout: an address inside the GLUT library, so it is
// known only after loading (null until then).
extern void* GLUT_BITMAP_TIMES_ROMAN_24;

// Points every entry point at its do-nothing stand-in.
void ResetGraphicsEntryPoints();
