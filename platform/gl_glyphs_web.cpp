// The raster position and the readout's font on the page, which has neither
// glRasterPos nor glutBitmapCharacter nor GLUT's fonts. The glyphs come from
// an atlas that tools/glyph_atlas renders at build time with the desktop's
// freeglut. A glyph is drawn as GL draws a bitmap: its set pixels only, at
// the raster position, in the colour that was current when the position was
// set, through the blending in force; then the position moves on by the
// glyph's advance.

#include "platform/gl_web.h"

#include <cmath>

namespace {
struct Glyph {
    char character;
    int advance;       // pixels the raster position moves on
    int left, bottom;  // the picture's bottom-left pixel, from the raster position
    int width, height;
    const char* rows;  // from the top, width characters each, '#' where a pixel is drawn
};

const Glyph Atlas[] = {
#include "glyph_atlas.inc"
};

constexpr GLenum GL_MATRIX_MODE_QUERY = 0x0BA0;

bool RasterValid = false;
GLfloat RasterX = 0, RasterY = 0;  // window pixels
GLfloat RasterColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
char FontMark;  // its address stands for GLUT_BITMAP_TIMES_ROMAN_24

const Glyph* Find(int character)
{
    for (const Glyph& glyph : Atlas)
        if (glyph.character == character)
            return &glyph;
    return nullptr;
}

// The glyph's set pixels as runs along its rows, each a quad in window
// pixels; quad edges on pixel edges cover exactly those pixels.
void DrawGlyphPixels(const Glyph& glyph, int originX, int originY)
{
    Toolchain_glBegin(GL_QUADS);
    for (int row = 0; row < glyph.height; ++row) {
        const char* line = glyph.rows + row * glyph.width;
        const int y = originY + glyph.bottom + glyph.height - 1 - row;
        for (int column = 0; column < glyph.width;) {
            if (line[column] != '#') {
                ++column;
                continue;
            }
            const int start = column;
            while (column < glyph.width && line[column] == '#')
                ++column;
            const float x0 = static_cast<float>(originX + glyph.left + start);
            const float x1 = static_cast<float>(originX + glyph.left + column);
            Toolchain_glVertex3f(x0, static_cast<float>(y), 0.0f);
            Toolchain_glVertex3f(x1, static_cast<float>(y), 0.0f);
            Toolchain_glVertex3f(x1, static_cast<float>(y + 1), 0.0f);
            Toolchain_glVertex3f(x0, static_cast<float>(y + 1), 0.0f);
        }
    }
    Toolchain_glEnd();
}
}  // namespace

void SetRasterPos(GLfloat x, GLfloat y)
{
    DrawGathered();
    const WindowTransform transform = CurrentWindowTransform();
    const GLfloat xyz[3] = {x, y, 0.0f};
    GLfloat clip[4];
    ToClip(transform, xyz, clip);
    // GL keeps a position outside the clip volume as invalid: bitmaps then
    // draw nothing.
    RasterValid = clip[3] > 0 && std::fabs(clip[0]) <= clip[3] && std::fabs(clip[1]) <= clip[3] &&
                  std::fabs(clip[2]) <= clip[3];
    if (!RasterValid)
        return;
    GLfloat window[2];
    ClipToWindow(transform, clip, window);
    RasterX = window[0];
    RasterY = window[1];
    for (int i = 0; i < 4; ++i)
        RasterColour[i] = CurrentColour()[i];
}

void DrawBitmapCharacter(void* font, int character)
{
    const Glyph* glyph = Find(character);
    if (font != ReadoutFont() || glyph == nullptr || !RasterValid)
        return;
    DrawGathered();

    // Window pixels for the length of the glyph; everything else as it was.
    GLint matrixMode = GL_MODELVIEW;
    Toolchain_glGetIntegerv(GL_MATRIX_MODE_QUERY, &matrixMode);
    const bool textured = Toolchain_glIsEnabled(GL_TEXTURE_2D) != 0;
    if (textured)
        Toolchain_glDisable(GL_TEXTURE_2D);
    Toolchain_glMatrixMode(GL_PROJECTION);
    Toolchain_glPushMatrix();
    Toolchain_glLoadIdentity();
    const GLint* v = CurrentViewport();
    Toolchain_glOrtho(v[0], v[0] + v[2], v[1], v[1] + v[3], -1.0, 1.0);
    Toolchain_glMatrixMode(GL_MODELVIEW);
    Toolchain_glPushMatrix();
    Toolchain_glLoadIdentity();
    Toolchain_glColor4f(RasterColour[0], RasterColour[1], RasterColour[2], RasterColour[3]);

    // A position a rounding error below a pixel corner counts as on it, as
    // in the desktop's Mesa (and SGI's GL before it).
    constexpr float Epsilon = 0.0001f;
    DrawGlyphPixels(*glyph, static_cast<int>(std::floor(RasterX + Epsilon)),
                    static_cast<int>(std::floor(RasterY + Epsilon)));

    const GLfloat* colour = CurrentColour();
    Toolchain_glColor4f(colour[0], colour[1], colour[2], colour[3]);
    Toolchain_glPopMatrix();
    Toolchain_glMatrixMode(GL_PROJECTION);
    Toolchain_glPopMatrix();
    Toolchain_glMatrixMode(static_cast<GLenum>(matrixMode));
    if (textured)
        Toolchain_glEnable(GL_TEXTURE_2D);
    RasterX += static_cast<GLfloat>(glyph->advance);
}

void* ReadoutFont() { return &FontMark; }
