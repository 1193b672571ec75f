#include "shell/startup.h"

#include "assets/scene.h"
#include "music/music.h"
#include "shell/display_mode.h"
#include "shell/frame.h"
#include "shell/options.h"
#include "platform/gl_api.h"
#include "platform/gl_loader.h"
#include "platform/program_end.h"
#include "platform/window_watch.h"
#include "shell/settings.h"

#include <cstdio>
#include <vector>

namespace {
constexpr unsigned char EscapeKey = 27;

[[noreturn]] void EndProcess(int exitCode)
{
    std::fflush(stdout);
    EndProgram(exitCode);
}
}  // namespace

int RunProgram(int argc, char** argv)
{
    // The command line first: --help and --version answer without a display
    // or the graphics libraries, and the folder is entered before any file
    // of the show is read.
    std::vector<char*> glutArgs = TakeCommandLine(argc, argv);
    int glutArgc = static_cast<int>(glutArgs.size()) - 1;
    LoadGraphicsLibraries();
    if (!GlAvailable) {
        std::puts("OpenGL Not Availble");
        EndProcess(1);
    }
    if (!GlutAvailable) {
        std::puts("GLUT Not Availble");
        EndProcess(1);
    }
    OpenShowWindow(&glutArgc, glutArgs.data());
    InitScene();
    glutMainLoop();
    // The window manager closed the window. Left to itself GLUT would end
    // the process there, with the music still playing on its own thread
    // while the process tears down what that thread reads.
    Quit();
}

void OpenShowWindow(int* argc, char** argv)
{
    if (FullScreen) {
        // The guard comes before the switch, so that no way out leaves the
        // desktop in the show's mode. The switch comes before glutInit:
        // GLUT reads the screen size there once, and without a window
        // manager glutFullScreen sizes the window to it.
        GuardDisplayModeOnExit();
        SwitchDisplayMode();
    }
    glutInit(argc, argv);
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(WindowWidth, WindowHeight);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    if (glutCreateWindow("Orvane") <= 0)
        EndProcess(1);
    WatchCurrentWindow();
    if (FullScreen)
        glutFullScreen();

    glutDisplayFunc(DisplayFrame);
    glutReshapeFunc(Reshape);
    glutKeyboardFunc(OnKey);
    glutIdleFunc(IdlePacer);
}

void Quit()
{
    StopMusic();
    if (FullScreen)
        RestoreDisplayMode();  // also shows the cursor again
    EndProcess(0);
}

void OnKey(unsigned char key, int, int)
{
    if (key == EscapeKey)
        Quit();
}
