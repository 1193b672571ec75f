// GLUT's calls that the show makes, on the page: the window is the page's
// canvas with a WebGL 1 context from emscripten's HTML5 API, drawn by the
// GLES2 renderer; the keyboard is the HTML5 API's key events; glutMainLoop
// is emscripten's main loop on requestAnimationFrame. Each frame of the
// loop hands out the keys pressed since the last, calls the idle callback,
// and then the display callback when a redisplay was posted, as GLUT's
// loop does; the browser shows what was drawn when the frame returns. While
// no frames come (a hidden tab) a timer calls the idle callback.
//
// The program's end (EndProgram, program_end_web.cpp) shuts the toolchain's
// runtime down, which stops the loop and the timer and removes the key
// listener. Keys
// reach the program inside the loop's frame, never straight from the
// browser's event: the toolchain takes the program's end there as the end
// it is, while from an event listener it would reach the page as an error.

#include "platform/gl_api.h"
#include "platform/gl_loader.h"
#include "platform/gles2.h"

#include <emscripten.h>
#include <emscripten/eventloop.h>
#include <emscripten/html5.h>

#include <cstring>
#include <vector>

namespace {
constexpr const char* Canvas = "#canvas";  // the page's canvas, by its id
int WindowWidth = 300, WindowHeight = 300;  // GLUT's default size

void (*Display)() = nullptr;
void (*Reshape)(int width, int height) = nullptr;
void (*Keyboard)(unsigned char key, int x, int y) = nullptr;
void (*Idle)() = nullptr;
bool RedisplayPosted = false;
std::vector<unsigned char> PendingKeys;

// GLUT's character for a key, or 0 for a key it reports elsewhere
// (arrows, function keys) or not at all.
unsigned char CharacterOf(const EmscriptenKeyboardEvent& event)
{
    struct Named {
        const char* key;
        unsigned char character;
    };
    static const Named NamedKeys[] = {{"Escape", 27}, {"Enter", 13}, {"Tab", 9}, {"Backspace", 8}, {"Delete", 127}};
    for (const Named& named : NamedKeys)
        if (std::strcmp(event.key, named.key) == 0)
            return named.character;
    const auto first = static_cast<unsigned char>(event.key[0]);
    if (first < 0x20 || first > 0x7E || event.key[1] != '\0')
        return 0;  // not one printable ASCII character
    if (event.ctrlKey && ((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z')))
        return first & 0x1F;  // control characters, as GLUT gives them
    return first;
}

EM_BOOL OnKeyDown(int, const EmscriptenKeyboardEvent* event, void*)
{
    if (const unsigned char character = CharacterOf(*event))
        PendingKeys.push_back(character);
    return EM_FALSE;  // the page's own keys (F for full screen) still work
}

// Frames stop while the tab is hidden; the idle callback (which also
// notices the music's end) then runs on a timer, which browsers slow down to
// about once a second in a hidden tab.
constexpr double IdleTimerMs = 250;
double LastFrameMs = 0;

void IdleWhileNoFrames(void*)
{
    if (Idle && emscripten_get_now() - LastFrameMs > IdleTimerMs)
        Idle();
}

void Frame()
{
    LastFrameMs = emscripten_get_now();
    std::vector<unsigned char> keys;
    keys.swap(PendingKeys);
    for (unsigned char key : keys)
        if (Keyboard)
            Keyboard(key, 0, 0);
    if (Idle)
        Idle();
    if (RedisplayPosted && Display) {
        RedisplayPosted = false;
        Display();
    }
}

void Init(int*, char**) {}
void InitDisplayMode(unsigned int) {}  // RGB and double-buffered: what the canvas is
void InitWindowPosition(int, int) {}   // the canvas stays where the page put it

void InitWindowSize(int width, int height)
{
    WindowWidth = width;
    WindowHeight = height;
}

int CreateWindow(const char*)
{
    // As GLUT's RGB mode asks: no alpha, depth, stencil or multisampling.
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_FALSE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.majorVersion = 1;
    attributes.minorVersion = 0;
    emscripten_set_canvas_element_size(Canvas, WindowWidth, WindowHeight);
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context(Canvas, &attributes);
    if (context <= 0 || emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS)
        return 0;
    return StartGles2Renderer() ? 1 : 0;
}

void MainLoop()
{
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, OnKeyDown);
    // A window's first events: its size, then its first picture.
    if (Reshape)
        Reshape(WindowWidth, WindowHeight);
    RedisplayPosted = true;
    LastFrameMs = emscripten_get_now();
    emscripten_set_interval(IdleWhileNoFrames, IdleTimerMs, nullptr);
    emscripten_set_main_loop(Frame, 0, EM_TRUE);  // unwinds to the browser; never returns
}
}  // namespace

bool LoadGlutLibrary(const std::vector<const char*>&)
{
    if (GlutAvailable)
        return true;  // once: the page's program may have wrapped some since
    glutInit = Init;
    glutInitDisplayMode = InitDisplayMode;
    glutInitWindowPosition = InitWindowPosition;
    glutInitWindowSize = InitWindowSize;
    glutCreateWindow = CreateWindow;
    glutFullScreen = [] {};  // the page's full screen is the browser's, from its own button
    glutSetOption = [](GLenum, int) {};
    glutDisplayFunc = [](void (*callback)()) { Display = callback; };
    glutReshapeFunc = [](void (*callback)(int, int)) { Reshape = callback; };
    glutKeyboardFunc = [](void (*callback)(unsigned char, int, int)) { Keyboard = callback; };
    glutIdleFunc = [](void (*callback)()) { Idle = callback; };
    glutPostRedisplay = [] { RedisplayPosted = true; };
    glutSwapBuffers = FlushGles2Renderer;
    glutMainLoop = MainLoop;
    glutBitmapCharacter = Gles2BitmapCharacter;
    GLUT_BITMAP_TIMES_ROMAN_24 = Gles2ReadoutFont();
    GlutAvailable = true;
    return true;
}
