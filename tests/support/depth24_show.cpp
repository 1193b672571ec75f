// depth24-show: the show as a build with ORVANE_COLOR_DEPTH=24 makes it, so
// that its full-screen switch finds the 800 by 600 mode of a desktop whose
// only depth is 24 (Xwayland's): the tests see what the switch does there.

#include "shell/settings.h"
#include "shell/startup.h"

int main(int argc, char** argv)
{
    ColorDepth = 24;
    return RunProgram(argc, argv);
}
