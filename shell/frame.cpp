#include "shell/frame.h"

#include "assets/scene.h"
#include "effects/closing_scene.h"
#include "effects/orbiting_square.h"
#include "effects/picture_zooms.h"
#include "effects/ring_pulses.h"
#include "effects/square_pulses.h"
#include "effects/square_stamps.h"
#include "effects/vertical_bands.h"
#include "music/clock.h"
#include "music/music.h"
#include "platform/gl_api.h"
#include "platform/window_watch.h"
#include "shell/settings.h"
#include "shell/startup.h"

#include <chrono>
#include <string>
#include <thread>

namespace {
// How long after the music's end IdlePacer leaves the end to DisplayFrame.
// GLUT draws nothing for a hidden (minimised, unmapped) window, so past this
// the show ends from here; a visible window has long drawn its last frame.
constexpr std::chrono::milliseconds UnseenEndGrace{250};
PictureArea Picture{0, 0, 800, 600};  // the viewport, kept by Reshape
bool MusicEndSeen = false;
std::chrono::steady_clock::time_point MusicEndSeenAt;

bool MusicEndedUnseen()
{
    if (!FMUSIC_IsFinished(Song)) {
        MusicEndSeen = false;
        return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!MusicEndSeen) {
        MusicEndSeen = true;
        MusicEndSeenAt = now;
    }
    return now - MusicEndSeenAt > UnseenEndGrace;
}

// glClear fills the scissor box, not the viewport: the bars are cleared one
// by one, black, and the scissor goes back on the picture for the show's
// own clear. Whatever the effects draw stays inside it too (the time
// readout's bitmaps are not clipped to the viewport).
void ClearBars()
{
    const bool beside = Picture.width < WindowWidth;  // else above and below, or none
    if (!beside && Picture.height == WindowHeight)
        return;
    const int farStart = beside ? Picture.x + Picture.width : Picture.y + Picture.height;
    const PictureArea bars[2] = {
        beside ? PictureArea{0, 0, Picture.x, WindowHeight} : PictureArea{0, 0, WindowWidth, Picture.y},
        beside ? PictureArea{farStart, 0, WindowWidth - farStart, WindowHeight}
               : PictureArea{0, farStart, WindowWidth, WindowHeight - farStart},
    };
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    for (const PictureArea& bar : bars) {
        glScissor(bar.x, bar.y, bar.width, bar.height);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glClearColor(SceneClearColor[0], SceneClearColor[1], SceneClearColor[2], SceneClearColor[3]);
    glScissor(Picture.x, Picture.y, Picture.width, Picture.height);
}
}  // namespace

void IdlePacer()
{
    // The idle callback is the one GLUT still calls when the window is
    // hidden or was destroyed by another client.
    if (WatchedWindowGone() || MusicEndedUnseen())
        Quit();
    if (FrameTime() > FrameThreshold) {
        glutPostRedisplay();
        MarkFrame();
    } else {
        // GLUT calls the idle callback again at once: without this pause the
        // poll alone would hold a whole core for the length of the show.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void DisplayFrame()
{
    if (KeepAspect)
        ClearBars();
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    // The number shown is read before the effects draw; whether it is shown
    // rests on a reading taken after them.
    const std::uint32_t readout = SceneTime();

    // Each effect draws in whatever GL state the earlier ones left, apart
    // from the model-view matrix.
    DrawSquarePulses();
    glLoadIdentity();
    DrawVerticalBands();
    glLoadIdentity();
    DrawOrbitingSquare();
    glLoadIdentity();
    DrawRingPulses();
    glLoadIdentity();
    DrawSquareStamps();
    glLoadIdentity();
    DrawPictureZooms();
    glLoadIdentity();
    DrawClosingScene();

    if (SceneTime() < ReadoutLimit) {
        glLoadIdentity();
        DrawNumberText(0, 0, std::to_string(readout).c_str());
    }
    if (FMUSIC_IsFinished(Song))
        Quit();  // the frame just drawn is never shown
    glutSwapBuffers();
}

void Reshape(int width, int height)
{
    WindowWidth = width;
    WindowHeight = height;
    Picture = KeepAspect ? CentredPictureArea(width, height) : PictureArea{0, 0, width, height};
    glViewport(Picture.x, Picture.y, Picture.width, Picture.height);
    if (KeepAspect) {
        glScissor(Picture.x, Picture.y, Picture.width, Picture.height);
        glEnable(GL_SCISSOR_TEST);
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-4.0, 4.0, -3.0, 3.0, -10.0, 10.0);
    glutPostRedisplay();
}

PictureArea CentredPictureArea(int width, int height)
{
    // Rounded to the nearest pixel; the bars share what is left, the odd
    // pixel going to the right or the top.
    if (width * 3 > height * 4) {
        const int pictureWidth = (height * 4 + 1) / 3;
        return PictureArea{(width - pictureWidth) / 2, 0, pictureWidth, height};
    }
    const int pictureHeight = (width * 3 + 2) / 4;
    return PictureArea{0, (height - pictureHeight) / 2, width, pictureHeight};
}

void DrawNumberText(int x, int y, const char* text)
{
    glRasterPos2f(static_cast<float>(x), static_cast<float>(y));
    if (!GLUT_BITMAP_TIMES_ROMAN_24)
        return;  // a GLUT without the font draws no text rather than crash
    for (const char* c = text; *c; ++c)
        glutBitmapCharacter(GLUT_BITMAP_TIMES_ROMAN_24, static_cast<unsigned char>(*c));
}
