// Puts the desktop's display mode back on every way out of the process.

#include "platform/display_modes.h"

#include <windows.h>

#include <cstdlib>

namespace {

void RestoreAtExit() { RestoreDisplayMode(); }

// Ctrl-C, Ctrl-Break and closing the console end the process after this
// returns FALSE, as they would without it.
BOOL WINAPI RestoreOnConsoleEvent(DWORD)
{
    RestoreDisplayMode();
    return FALSE;
}

}  // namespace

void GuardDisplayModeOnExit()
{
    std::atexit(RestoreAtExit);
    SetConsoleCtrlHandler(RestoreOnConsoleEvent, TRUE);
}
