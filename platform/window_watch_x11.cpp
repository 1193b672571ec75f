// The window watch on X11: a connection of our own, apart from GLUT's, that
// asks for the window's structure events and waits for its DestroyNotify.

#include "platform/window_watch.h"

#include "platform/gl_api.h"

#include <X11/Xlib.h>

namespace {
Display* Connection = nullptr;
Window Watched = 0;
bool Gone = false;
XErrorHandler HandlerBefore = nullptr;

// Requests about a window that no longer exists fail: GLUT's buffer swap
// may run before the DestroyNotify is read here, and GLUT destroys the
// window again on its way out. Xlib's default handler would end the process
// with 1 for either; they only mean that the window is gone. Every other
// error goes where it went before.
int NoteGoneWindow(Display* display, XErrorEvent* error)
{
    if (error->resourceid == Watched && (error->error_code == BadWindow || error->error_code == BadDrawable)) {
        Gone = true;
        return 0;
    }
    return HandlerBefore ? HandlerBefore(display, error) : 0;
}
}  // namespace

void WatchCurrentWindow()
{
    // GLUT draws into the X window itself, so the current drawable is it.
    const Window window = glXGetCurrentDrawable();
    if (window == 0 || Connection != nullptr)
        return;
    Connection = XOpenDisplay(nullptr);
    if (!Connection)
        return;
    Watched = window;
    HandlerBefore = XSetErrorHandler(NoteGoneWindow);
    XSelectInput(Connection, window, StructureNotifyMask);
    XSync(Connection, False);
}

bool WatchedWindowGone()
{
    if (Connection == nullptr || Gone)
        return Gone;
    // XPending reads only what has already arrived; it never waits.
    while (XPending(Connection) > 0) {
        XEvent event;
        XNextEvent(Connection, &event);
        if (event.type == DestroyNotify && event.xdestroywindow.window == Watched)
            Gone = true;
    }
    return Gone;
}
