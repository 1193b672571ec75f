// The window watch on X11: a connection of our own, apart from GLUT's, that
// asks for the window's structure events and waits for its DestroyNotify.

#include "platform/window_watch.h"

#include "platform/gl_api.h"

#include <X11/Xlib.h>

namespace {
Display* Connection = nullptr;
Window Watched = 0;
bool Gone = false;
bool WatchFailed = false;

// A window already gone answers BadWindow, which Xlib's default handler
// would turn into the end of the process.
int NoteXError(Display* display, XErrorEvent*)
{
    if (display == Connection)
        WatchFailed = true;
    return 0;
}
// Once the window is gone, errors about it are expected: GLUT still
// destroys it on its way out, and Xlib's default handler would end the
// process with 1 for that. Other errors go where they went before.
XErrorHandler HandlerBefore = nullptr;
int IgnoreErrorsAboutGoneWindow(Display* display, XErrorEvent* error)
{
    if (error->resourceid == Watched)
        return 0;
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
    XErrorHandler previous = XSetErrorHandler(NoteXError);
    XSelectInput(Connection, window, StructureNotifyMask);
    XSync(Connection, False);
    XSetErrorHandler(previous);
    Watched = window;
    Gone = WatchFailed;
    if (Gone)
        HandlerBefore = XSetErrorHandler(IgnoreErrorsAboutGoneWindow);
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
    if (Gone)
        HandlerBefore = XSetErrorHandler(IgnoreErrorsAboutGoneWindow);
    return Gone;
}
