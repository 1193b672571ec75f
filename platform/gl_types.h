#pragma once
// The GL scalar types, as GL's own headers define them (a header that also
// includes those may include this one: the same type may be named twice).
// No GL_ constant here: the GLES2 renderer's entry-point unit includes the
// toolchain's <GLES2/gl2.h>, which defines them as macros.

using GLenum = unsigned int;
using GLbitfield = unsigned int;
using GLuint = unsigned int;
using GLint = int;
using GLsizei = int;
using GLfloat = float;
using GLdouble = double;
using GLboolean = unsigned char;
