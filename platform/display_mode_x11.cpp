// Display modes on X11 through XRandR: the screen's sizes in the server's
// order, each with its refresh rates from lowest to highest, all at the
// screen's depth.

#include "platform/display_modes.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

std::mutex Lock;  // the restore may run on the signal thread
Display* XConnection = nullptr;
bool ConnectionTried = false;
int ScreenDepth = 0;
SizeID StartSize = 0;
short StartRate = 0;
Rotation StartRotation = RR_Rotate_0;
bool Changed = false;

// A refused change (Xvfb answers BadValue to a rate it lacks) must not end
// the program, as Xlib's default handler would.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// Our own connection, apart from GLUT's; remembers the mode found at start.
bool OpenConnection()
{
    if (ConnectionTried)
        return XConnection != nullptr;
    ConnectionTried = true;
    Display* display = XOpenDisplay(nullptr);
    int eventBase = 0;
    int errorBase = 0;
    if (!display)
        return false;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) {
        XCloseDisplay(display);
        return false;
    }
    XRRScreenConfiguration* config = XRRGetScreenInfo(display, DefaultRootWindow(display));
    if (!config) {
        XCloseDisplay(display);
        return false;
    }
    StartSize = XRRConfigCurrentConfiguration(config, &StartRotation);
    StartRate = XRRConfigCurrentRate(config);
    XRRFreeScreenConfigInfo(config);
    ScreenDepth = DefaultDepth(display, DefaultScreen(display));
    XConnection = display;
    return true;
}

// Each change needs a fresh configuration: the server refuses one whose
// timestamp predates the last change.
void SetScreenMode(SizeID size, short rate)
{
    Window root = DefaultRootWindow(XConnection);
    XRRScreenConfiguration* config = XRRGetScreenInfo(XConnection, root);
    if (!config)
        return;
    XErrorHandler previous = XSetErrorHandler(IgnoreXError);
    if (rate > 0)
        XRRSetScreenConfigAndRate(XConnection, config, root, size, StartRotation, rate, CurrentTime);
    else
        XRRSetScreenConfig(XConnection, config, root, size, StartRotation, CurrentTime);
    XSync(XConnection, False);
    XSetErrorHandler(previous);
    XRRFreeScreenConfigInfo(config);
}

}  // namespace

bool EnumDisplayMode(std::uint32_t index, DisplayMode* mode)
{
    std::lock_guard<std::mutex> guard(Lock);
    if (!OpenConnection())
        return false;
    XRRScreenConfiguration* config = XRRGetScreenInfo(XConnection, DefaultRootWindow(XConnection));
    if (!config)
        return false;
    int sizeCount = 0;
    XRRScreenSize* sizes = XRRConfigSizes(config, &sizeCount);
    std::uint32_t position = 0;
    bool found = false;
    for (int size = 0; size < sizeCount && !found; ++size) {
        int rateCount = 0;
        short* serverRates = XRRConfigRates(config, size, &rateCount);
        // Rising refresh rate: the switch applies every match in turn and
        // the last one stays, so that one must be the best. The server lists
        // them in no useful order (800x600: 85, 72, 75, 60, 56).
        std::vector<short> rates(serverRates, serverRates + (rateCount > 0 ? rateCount : 0));
        std::sort(rates.begin(), rates.end());
        // A size without rates (Xvfb) is still one mode.
        const int modesOfSize = rateCount > 0 ? rateCount : 1;
        for (int rate = 0; rate < modesOfSize && !found; ++rate, ++position) {
            if (position != index)
                continue;
            *mode = DisplayMode{sizes[size].width, sizes[size].height, ScreenDepth, size,
                                rateCount > 0 ? rates[rate] : 0};
            found = true;
        }
    }
    XRRFreeScreenConfigInfo(config);
    return found;
}

void ChangeDisplayMode(const DisplayMode& mode)
{
    std::lock_guard<std::mutex> guard(Lock);
    if (!OpenConnection())
        return;
    SetScreenMode(static_cast<SizeID>(mode.platformIndex), static_cast<short>(mode.refreshRate));
    Changed = true;
}

void RestoreDisplayMode()
{
    std::lock_guard<std::mutex> guard(Lock);
    if (!Changed)
        return;
    Changed = false;
    SetScreenMode(StartSize, StartRate);
    // The program never hides the X cursor, so there is nothing to show.
}
