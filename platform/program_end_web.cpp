// The end of the program on the page. A plain exit() inside the main loop
// (GLUT's, glut_web.cpp) only halts the program there, because the loop
// keeps the toolchain's runtime alive; emscripten_force_exit shuts it down
// as a process's end would: atexit handlers, the HTML5 API's listeners
// removed, no callback run again, and Module.onExit told the exit code.

#include "platform/program_end.h"

#include <emscripten.h>

void EndProgram(int exitCode) { emscripten_force_exit(exitCode); }
