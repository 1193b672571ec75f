// Exit guards on the page: there is no display mode to put back, and no
// process or signal to guard; the page learns of the program's end through
// the runtime's exit (program_end_web.cpp).

#include "platform/display_modes.h"

void GuardDisplayModeOnExit() {}
