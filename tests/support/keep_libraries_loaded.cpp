// Preloaded into the program by the sanitizer build's end-to-end tests.
// GLUT closes its display at exit and Mesa then unloads its driver before
// the leak check runs; with the driver gone, the check can no longer name the
// library behind the driver's allocations, and the suppressions by library
// cannot apply. Keeping every library loaded until the process ends keeps
// the leak check on our own code meaningful.
extern "C" int dlclose(void*) { return 0; }
