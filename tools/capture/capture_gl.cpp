#include "tools/capture/capture_gl.h"

#include "platform/gl_api.h"
#include "platform/gl_loader.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {
pid_t PrivateServer = 0;

void StopPrivateServer()
{
    if (PrivateServer > 0) {
        kill(PrivateServer, SIGTERM);
        waitpid(PrivateServer, nullptr, 0);
        PrivateServer = 0;
    }
}

bool DisplayOpens()
{
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0')
        return false;
    Display* display = XOpenDisplay(name);
    if (display == nullptr)
        return false;
    XCloseDisplay(display);
    return true;
}

// Starts "Xvfb -displayfd", which picks a free display number and writes it
// to the pipe once it accepts connections. Sets DISPLAY to it.
bool StartPrivateServer(std::string& error)
{
    int ready[2];
    if (pipe(ready) != 0) {
        error = std::string("cannot start Xvfb: ") + std::strerror(errno);
        return false;
    }
    const pid_t child = fork();
    if (child < 0) {
        error = std::string("cannot start Xvfb: ") + std::strerror(errno);
        return false;
    }
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlives the tool, even when killed
        close(ready[0]);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        const std::string fd = std::to_string(ready[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "64x64x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    PrivateServer = child;
    std::atexit(StopPrivateServer);
    close(ready[1]);

    std::string number;
    pollfd waiting{ready[0], POLLIN, 0};
    char c = 0;
    while (poll(&waiting, 1, 15000) > 0 && read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(ready[0]);
    if (number.empty()) {
        StopPrivateServer();
        error = "there is no X display and a private Xvfb did not start (is xvfb installed?)";
        return false;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
}
}  // namespace

bool OpenCaptureGl(std::string& error)
{
    LoadGraphicsLibraries();
    if (!GlAvailable || !GlutAvailable) {
        error = GlAvailable ? "the GLUT library could not be loaded" : "the OpenGL library could not be loaded";
        return false;
    }
    if (!DisplayOpens() && !StartPrivateServer(error))
        return false;

    int argc = 1;
    char name[] = "orvane-capture";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitWindowSize(1, 1);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    if (glutCreateWindow("orvane-capture") <= 0) {
        error = "no GL window could be created";
        return false;
    }
    // The window is never shown, so nothing is drawn through it; GLUT still
    // wants a display callback before it handles the window's events.
    glutDisplayFunc([] {});
    glutHideWindow();
    glutMainLoopEvent();  // carries the hide out
    return true;
}
