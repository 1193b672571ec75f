#pragma once
// Run-time loading of the OpenGL and GLUT libraries by name. After a library
// has loaded, every entry point of gl_functions.inc is looked up in it; one
// that is missing keeps its do-nothing stand-in and is not reported.

#include <vector>

// True once the library itself has loaded, whatever entry points it lacked.
extern bool GlAvailable;
extern bool GlutAvailable;

// The platform's library names, tried in order.
const std::vector<const char*>& GlLibraryNames();
const std::vector<const char*>& GlutLibraryNames();

// Loads OpenGL, then GLUT; both are always attempted. Called first thing by
// the program entry, and by tests that draw on a real GL.
void LoadGraphicsLibraries();

// Loaders for one library from the first name that opens; they set the
// availability flag and the library's entry points.
bool LoadGlLibrary(const std::vector<const char*>& names);
bool LoadGlutLibrary(const std::vector<const char*>& names);
