// The raster position and the readout's font in the GLES2 renderer, which
// has neither glRasterPos's bitmaps nor GLUT's fonts. The glyphs come from
// an atlas that tools/glyph_atlas renders at build time with the desktop's
// freeglut. A glyph is drawn as GL draws a bitmap: its set pixels only, at
// the raster position, in the colour that was current when the position was
// set, through the blending in force and untextured; then the position
// moves on by the glyph's advance.

#include "platform/gl_api.h"
#include "platform/gles2.h"

#include <cmath>
#include <vector>

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

bool RasterValid = false;
double RasterX = 0, RasterY = 0;  // window pixels
GLfloat RasterColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
char FontMark;  // its address stands for GLUT_BITMAP_TIMES_ROMAN_24

std::vector<Vertex> Quads;

const Glyph* Find(int character)
{
    for (const Glyph& glyph : Atlas)
        if (glyph.character == character)
            return &glyph;
    return nullptr;
}

// A corner in window pixels, as a vertex in the raster colour.
Vertex Corner(int x, int y)
{
    const GLint* v = ViewportInForce();
    Vertex corner{};
    corner.clip[0] = static_cast<GLfloat>(2.0 * (x - v[0]) / v[2] - 1.0);
    corner.clip[1] = static_cast<GLfloat>(2.0 * (y - v[1]) / v[3] - 1.0);
    corner.clip[3] = 1.0f;
    for (int i = 0; i < 4; ++i)
        corner.colour[i] = RasterColour[i];
    return corner;
}

// The glyph's set pixels as runs along its rows, each a rectangle of two
// counter-clockwise triangles; edges on pixel edges cover exactly those
// pixels.
void DrawGlyphPixels(const Glyph& glyph, int originX, int originY)
{
    Quads.clear();
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
            const int x0 = originX + glyph.left + start, x1 = originX + glyph.left + column;
            const Vertex a = Corner(x0, y), b = Corner(x1, y), c = Corner(x1, y + 1), d = Corner(x0, y + 1);
            Quads.insert(Quads.end(), {a, b, c, a, c, d});
        }
    }
    Emit(Primitives::Triangles, false, Quads.data(), Quads.size());
}
}  // namespace

void SetRasterPosition(GLfloat x, GLfloat y)
{
    const GLfloat xyz[3] = {x, y, 0.0f};
    GLfloat clip[4];
    ToClip(ClipFromObject(), xyz, clip);
    // GL keeps a position outside the clip volume as invalid: bitmaps then
    // draw nothing.
    RasterValid = clip[3] > 0 && std::fabs(clip[0]) <= clip[3] && std::fabs(clip[1]) <= clip[3] &&
                  std::fabs(clip[2]) <= clip[3];
    if (!RasterValid)
        return;
    double window[2];
    ClipToWindow(clip, window);
    RasterX = window[0];
    RasterY = window[1];
    for (int i = 0; i < 4; ++i)
        RasterColour[i] = CurrentColour()[i];
}

void DrawGlyph(int character)
{
    const Glyph* glyph = Find(character);
    const GLint* v = ViewportInForce();
    if (glyph == nullptr || !RasterValid || v[2] <= 0 || v[3] <= 0)
        return;
    // A position a rounding error below a pixel corner counts as on it, as
    // in the desktop's Mesa (and SGI's GL before it).
    constexpr double Epsilon = 0.0001;
    DrawGlyphPixels(*glyph, static_cast<int>(std::floor(RasterX + Epsilon)),
                    static_cast<int>(std::floor(RasterY + Epsilon)));
    RasterX += glyph->advance;
}

void Gles2BitmapCharacter(void* font, int character)
{
    if (font == Gles2ReadoutFont())
        Issue({ListOp::Glyph, {static_cast<GLenum>(character)}});
}

void* Gles2ReadoutFont() { return &FontMark; }
