// Exit guards on the page: there is no display mode to put back, and no
// process or signal to guard; the page learns of the program's end through
// the toolchain's exit hook (web/exit_hook.js).

#include "platform/display_modes.h"

void GuardDisplayModeOnExit() {}
