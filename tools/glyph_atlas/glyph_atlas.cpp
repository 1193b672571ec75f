// glyph-atlas: renders the readout's digits with the desktop's freeglut in
// GLUT_BITMAP_TIMES_ROMAN_24 and writes them, pixel by pixel, as a C++
// include for the page, which has no GLUT fonts of its own
// (platform/gl_glyphs_web.cpp). Each glyph is drawn at a whole-pixel raster
// position in an off-screen frame; its drawn pixels, their place from the
// raster position and how far the position moved on are read back.
//
//   glyph-atlas OUT.inc
//
// Needs an X display for GLUT's font; without one it starts a private Xvfb.

#include "platform/gl_api.h"
#include "tools/capture/capture_gl.h"
#include "tools/capture/frame_targets.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {
constexpr int Side = 64;          // the frame, larger than any glyph of the font
constexpr int Origin = 16;        // the raster position, in pixels from the bottom left
constexpr GLenum GL_CURRENT_RASTER_POSITION = 0x0B07;
constexpr const char* Characters = "0123456789";

struct Glyph {
    char character;
    int advance = 0;
    int left = 0, bottom = 0, width = 0, height = 0;
    std::string rows;  // from the top, '#' where drawn
};

Glyph Render(char character)
{
    glClear(GL_COLOR_BUFFER_BIT);
    glRasterPos2f(static_cast<float>(Origin), static_cast<float>(Origin));
    glutBitmapCharacter(GLUT_BITMAP_TIMES_ROMAN_24, static_cast<unsigned char>(character));
    GLint raster[4] = {};
    glGetIntegerv(GL_CURRENT_RASTER_POSITION, raster);
    std::vector<std::uint8_t> rgb;  // top row first
    ReadFullFrame(rgb);

    auto drawn = [&](int x, int y) { return rgb[((Side - 1 - y) * Side + x) * 3] > 127; };
    int minX = Side, minY = Side, maxX = -1, maxY = -1;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            if (drawn(x, y)) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    Glyph glyph;
    glyph.character = character;
    glyph.advance = raster[0] - Origin;
    if (maxX < 0)
        return glyph;  // a glyph with no pixels, like a space
    glyph.left = minX - Origin;
    glyph.bottom = minY - Origin;
    glyph.width = maxX - minX + 1;
    glyph.height = maxY - minY + 1;
    for (int y = maxY; y >= minY; --y)
        for (int x = minX; x <= maxX; ++x)
            glyph.rows += drawn(x, y) ? '#' : '.';
    return glyph;
}

bool Write(const std::string& path, const std::vector<Glyph>& glyphs)
{
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr)
        return false;
    std::fprintf(file,
                 "// GLUT_BITMAP_TIMES_ROMAN_24's digits as freeglut draws them, from glyph-atlas; do not edit.\n"
                 "// character, advance, left, bottom, width, height, then the rows from the top ('#': drawn).\n");
    for (const Glyph& glyph : glyphs) {
        std::fprintf(file, "{'%c', %d, %d, %d, %d, %d,\n", glyph.character, glyph.advance, glyph.left, glyph.bottom,
                     glyph.width, glyph.height);
        for (int row = 0; row < glyph.height; ++row)
            std::fprintf(file, " \"%s\"\n", glyph.rows.substr(row * glyph.width, glyph.width).c_str());
        std::fprintf(file, glyph.height == 0 ? " \"\"},\n" : "},\n");
    }
    return std::fclose(file) == 0;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: glyph-atlas OUT.inc\n");
        return 2;
    }
    std::string error;
    if (!OpenCaptureGl(error)) {
        std::fprintf(stderr, "glyph-atlas: %s\n", error.c_str());
        return 1;
    }
    if (!CreateFrameTargets(Side, Side) || GLUT_BITMAP_TIMES_ROMAN_24 == nullptr) {
        std::fprintf(stderr, "glyph-atlas: this GL or GLUT cannot draw the font off-screen\n");
        return 1;
    }
    UseFullFrame({0, 0, Side, Side});
    // Window pixels: the raster position is the pixel corner (Origin, Origin).
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, Side, 0.0, Side, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glDisable(GL_BLEND);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    std::vector<Glyph> glyphs;
    for (const char* c = Characters; *c; ++c)
        glyphs.push_back(Render(*c));
    if (!Write(argv[1], glyphs)) {
        std::fprintf(stderr, "glyph-atlas: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("glyph-atlas: wrote %zu glyphs to %s\n", glyphs.size(), argv[1]);
    return 0;
}
