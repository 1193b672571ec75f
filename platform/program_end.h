#pragma once
// The end of the program, from Quit and from the run-time error report.

// Ends the program with exitCode, after what atexit registered (the display
// mode's restore). On the desktop the process exits. On the page the
// toolchain's runtime shuts down even while its main loop keeps it alive,
// and tells the page (Module.onExit).
[[noreturn]] void EndProgram(int exitCode);
