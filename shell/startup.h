#pragma once
// Program start-up and the one orderly way out.

// Runs the show: takes the command line (shell/options.h), loads GL and
// GLUT, opens the window, builds the scene, starts the music and hands over
// to the GLUT main loop for good. Ends the process with 1 when a library is
// missing, with 0 or 2 for --help, --version or a wrong command line; when
// the window manager closes the window the main loop returns and the show
// ends through Quit. Called by main.
int RunProgram(int argc, char** argv);

// Switches the display mode when FullScreen is set, initialises GLUT, opens
// the window "Orvane" and registers the frame cycle's callbacks. Ends the
// process with exit code 1 when the window cannot be created.
void OpenShowWindow(int* argc, char** argv);

// Stops the music, restores the display mode and ends the process with exit
// code 0. Called by OnKey (Escape) and by DisplayFrame (music finished).
[[noreturn]] void Quit();

// GLUT keyboard callback: Escape (27) quits; every other key is ignored.
void OnKey(unsigned char key, int x, int y);
