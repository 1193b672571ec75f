// The end of the program on the desktop: the process's exit.

#include "platform/program_end.h"

#include <cstdlib>

void EndProgram(int exitCode) { std::exit(exitCode); }
