#include "tests/support/renderer_scenes.h"

#include "assets/sphere.h"
#include "platform/gl_api.h"

namespace {
// The show's view: x -4..4, y -3..3 over the whole frame.
void ShowView()
{
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-4.0, 4.0, -3.0, 3.0, -10.0, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0.02f, 0.02f, 0.02f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void Square(float x, float y, float half)
{
    glBegin(GL_QUADS);
    glVertex2f(x - half, y - half);
    glVertex2f(x + half, y - half);
    glVertex2f(x + half, y + half);
    glVertex2f(x - half, y + half);
    glEnd();
}

// Lists calling lists: one compiled while it also runs, one replayed inside
// another's compilation, and a list redefined after a list that calls it
// was compiled (the caller takes the new contents). Then a colour set
// inside glBegin before the first vertex, a colour for every vertex, and
// glRectf blended.
void NestedLists()
{
    ShowView();
    const GLuint shape = glGenLists(3);
    const GLuint pair = shape + 1;
    const GLuint row = shape + 2;
    glNewList(shape, GL_COMPILE);
    Square(0.0f, 0.0f, 0.4f);
    glEndList();

    glNewList(pair, GL_COMPILE);
    glColor3f(1.0f, 0.2f, 0.2f);
    glCallList(shape);
    glTranslatef(1.0f, 0.0f, 0.0f);
    glColor4f(0.2f, 1.0f, 0.3f, 1.0f);
    glCallList(shape);
    glEndList();

    glTranslatef(-3.0f, 2.0f, 0.0f);
    glNewList(row, GL_COMPILE_AND_EXECUTE);  // draws the pair at the top left now
    glPushMatrix();
    glCallList(pair);
    glTranslatef(1.0f, -0.5f, 0.0f);
    glScalef(0.5f, 0.5f, 1.0f);
    glCallList(pair);
    glPopMatrix();
    glEndList();

    glNewList(shape, GL_COMPILE);  // a triangle now
    glBegin(GL_TRIANGLES);
    glVertex2f(-0.4f, -0.4f);
    glVertex2f(0.4f, -0.4f);
    glVertex2f(0.0f, 0.45f);
    glEnd();
    glEndList();
    glLoadIdentity();
    glTranslatef(0.5f, 2.0f, 0.0f);
    glCallList(row);
    glLoadIdentity();
    glTranslatef(-3.0f, 0.5f, 0.0f);
    glRotatef(20.0f, 0.0f, 0.0f, 1.0f);
    glCallList(row);

    glLoadIdentity();
    glBegin(GL_QUADS);
    glColor4f(0.2f, 0.4f, 1.0f, 1.0f);  // before the first vertex
    glVertex2f(-3.5f, -2.5f);
    glVertex2f(-1.5f, -2.5f);
    glVertex2f(-1.5f, -0.8f);
    glVertex2f(-3.5f, -0.8f);
    glEnd();
    Square(-0.5f, -1.6f, 0.5f);  // in the colour the quad above left current
    glBegin(GL_TRIANGLES);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex2f(0.5f, -2.5f);
    glColor3f(0.0f, 1.0f, 0.0f);
    glVertex2f(2.5f, -2.5f);
    glColor3f(0.0f, 0.0f, 1.0f);
    glVertex2f(1.5f, -0.8f);
    glEnd();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.0f, 1.0f, 0.0f, 0.5f);
    glRectf(1.0f, -2.0f, 3.8f, 0.2f);
    glDisable(GL_BLEND);
}

void Cube()
{
    // Six faces, each counter-clockwise seen from outside.
    static const float Corners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                        {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    static const int Faces[6][4] = {{4, 5, 6, 7}, {1, 0, 3, 2}, {0, 4, 7, 3}, {5, 1, 2, 6}, {7, 6, 2, 3}, {0, 1, 5, 4}};
    glBegin(GL_QUADS);
    for (const auto& face : Faces)
        for (int corner : face)
            glVertex3f(Corners[corner][0], Corners[corner][1], Corners[corner][2]);
    glEnd();
}

// glPolygonMode's outlines: front faces as lines with back faces culled
// (the closing scene's sphere, opaque and blended), with back faces filled,
// and both faces as lines.
void Wireframes()
{
    ShowView();
    const GLuint sphere = glGenLists(1);
    glNewList(sphere, GL_COMPILE);
    BuildSphere();
    glEndList();

    struct Place {
        float x, y, angle;
        bool blended;
    };
    const Place Spheres[] = {{-2.4f, 1.2f, 7798.4f, false}, {0.6f, 1.2f, 7820.0f, true}};
    for (const Place& place : Spheres) {
        glLoadIdentity();
        glTranslatef(place.x, place.y, 0.0f);
        glRotatef(place.angle, 0.7f, 0.333f, 0.5f);
        glScalef(1.5f, 1.5f, 1.5f);
        if (place.blended) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        }
        glColor3f(0.0f, 0.0f, 0.0f);
        glPolygonMode(GL_FRONT, GL_FILL);
        glCallList(sphere);
        glPolygonMode(GL_FRONT, GL_LINE);
        glColor4f(1.0f, 1.0f, 1.0f, 0.7f);
        glCallList(sphere);
        glPolygonMode(GL_FRONT, GL_FILL);
        glDisable(GL_BLEND);
    }

    glLoadIdentity();
    glTranslatef(2.8f, 1.3f, 0.0f);
    glRotatef(30.0f, 1.0f, 1.0f, 0.0f);
    glColor3f(0.3f, 0.6f, 1.0f);
    glPolygonMode(GL_FRONT, GL_LINE);  // back faces stay filled: no culling here
    Cube();

    glLoadIdentity();
    glTranslatef(-2.0f, -1.7f, 0.0f);
    glRotatef(-25.0f, 1.0f, 0.3f, 0.0f);
    glColor3f(1.0f, 0.6f, 0.2f);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    Cube();

    glLoadIdentity();
    glPolygonMode(GL_BACK, GL_FILL);  // front still lines: a rectangle's outline
    glColor3f(0.9f, 0.9f, 0.9f);
    glRectf(0.5f, -2.8f, 3.5f, -0.6f);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

// The desktop's Mesa gathers bitmaps and draws them when it next flushes,
// with the blending then in force; the show draws its readout last in the
// frame, right before the swap. So each text here is flushed at once, as the
// frame's end flushes the readout.
void Text(float x, float y, const char* text)
{
    glRasterPos2f(x, y);
    for (const char* c = text; *c; ++c)
        glutBitmapCharacter(GLUT_BITMAP_TIMES_ROMAN_24, static_cast<unsigned char>(*c));
    glFinish();
}

// The readout's glyphs: every digit, each one after the other by its
// advance; the colour current at glRasterPos, not later; blending; a
// position between pixels; a position outside the view, which draws nothing.
void Glyphs()
{
    ShowView();
    glColor3f(1.0f, 1.0f, 1.0f);
    Text(-3.8f, 2.4f, "0123456789");
    glColor3f(1.0f, 0.5f, 0.1f);
    Text(-3.8f, 1.6f, "9876543210");
    Text(0.0f, 0.0f, "512");
    glColor3f(0.2f, 0.6f, 1.0f);
    glRasterPos2f(-3.8f, 0.8f);
    glColor3f(1.0f, 0.0f, 0.0f);  // too late for the raster position's colour
    for (const char* c = "18959"; *c; ++c)
        glutBitmapCharacter(GLUT_BITMAP_TIMES_ROMAN_24, static_cast<unsigned char>(*c));
    glFinish();

    glColor3f(1.0f, 1.0f, 1.0f);
    glRectf(-4.0f, -3.0f, 0.0f, -1.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.5f);
    Text(-3.8f, -2.0f, "4711");
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(0.0f, 0.5f, 1.0f, 0.6f);
    Text(1.0f, -2.0f, "2024");
    glDisable(GL_BLEND);

    glColor3f(0.4f, 1.0f, 0.4f);
    Text(1.013f, 1.007f, "360");      // between pixels
    Text(4.5f, 0.0f, "1");            // outside the view: nothing
    glutBitmapCharacter(GLUT_BITMAP_TIMES_ROMAN_24, '7');  // still nothing
    glFinish();
}

void Strip(GLenum mode, const float (*points)[2], int count, float r, float g, float b)
{
    glBegin(mode);
    for (int i = 0; i < count; ++i) {
        glColor3f(r * (i + 1) / count, g, b * (count - i) / count);  // a colour per vertex
        glVertex2f(points[i][0], points[i][1]);
    }
    glEnd();
}

// Every kind of primitive glBegin takes, with a colour per vertex; an
// unfinished triangle and quad at a primitive's end, which GL drops; a
// clockwise rectangle culled and not; colours out of [0, 1], which GL
// clamps; front faces as points; and the matrix stack pushed and popped
// past its depth, which GL refuses.
void PrimitiveKinds()
{
    ShowView();
    static const float StripPoints[6][2] = {{-3.8f, 2.0f}, {-3.6f, 2.8f}, {-3.2f, 1.9f}, {-3.0f, 2.9f}, {-2.5f, 2.1f}, {-2.3f, 2.7f}};
    Strip(GL_TRIANGLE_STRIP, StripPoints, 6, 1.0f, 0.3f, 1.0f);
    static const float FanPoints[6][2] = {{-1.2f, 2.2f}, {-0.4f, 2.0f}, {-0.5f, 2.6f}, {-1.1f, 2.95f}, {-1.7f, 2.7f}, {-1.9f, 2.1f}};
    Strip(GL_TRIANGLE_FAN, FanPoints, 6, 0.2f, 1.0f, 0.6f);
    static const float QuadStripPoints[7][2] = {{0.2f, 2.0f}, {0.3f, 2.8f}, {0.9f, 2.1f}, {1.0f, 2.9f}, {1.6f, 1.9f}, {1.7f, 2.7f}, {2.2f, 2.0f}};
    Strip(GL_QUAD_STRIP, QuadStripPoints, 7, 1.0f, 0.8f, 0.2f);  // the seventh vertex makes no quad
    static const float PolygonPoints[5][2] = {{2.9f, 2.0f}, {3.7f, 2.1f}, {3.8f, 2.6f}, {3.3f, 2.95f}, {2.7f, 2.6f}};
    Strip(GL_POLYGON, PolygonPoints, 5, 0.4f, 0.5f, 1.0f);

    static const float LinePoints[6][2] = {{-3.8f, 0.4f}, {-3.0f, 1.4f}, {-2.6f, 0.5f}, {-2.0f, 1.5f}, {-1.6f, 0.6f}, {-1.9f, 1.0f}};
    Strip(GL_LINES, LinePoints, 5, 1.0f, 1.0f, 1.0f);  // the fifth vertex makes no line
    glTranslatef(2.5f, 0.0f, 0.0f);
    Strip(GL_LINE_STRIP, LinePoints, 6, 1.0f, 0.5f, 0.5f);
    glTranslatef(2.5f, 0.0f, 0.0f);
    Strip(GL_LINE_LOOP, LinePoints, 6, 0.5f, 1.0f, 0.5f);
    glTranslatef(2.5f, 0.0f, 0.0f);
    Strip(GL_POINTS, LinePoints, 6, 1.0f, 1.0f, 0.3f);
    glLoadIdentity();

    glColor3f(2.0f, -1.0f, 0.5f);  // (1, 0, 0.5)
    glBegin(GL_TRIANGLES);
    glVertex2f(-3.8f, -0.6f);
    glVertex2f(-2.8f, -0.6f);
    glVertex2f(-3.3f, 0.2f);
    glVertex2f(-2.0f, -0.6f);  // dropped with the glEnd
    glEnd();
    glBegin(GL_TRIANGLES);  // a new primitive starts from its own first vertex
    glVertex2f(-2.6f, -0.6f);
    glVertex2f(-1.6f, -0.6f);
    glVertex2f(-2.1f, 0.2f);
    glEnd();
    glColor4f(0.3f, 0.9f, 0.9f, 7.0f);
    glBegin(GL_QUADS);
    glVertex2f(-1.2f, -0.6f);
    glVertex2f(-0.4f, -0.6f);
    glVertex2f(-0.4f, 0.2f);
    glVertex2f(-1.2f, 0.2f);
    glVertex2f(0.0f, -0.6f);  // two of a quad: dropped
    glVertex2f(0.8f, -0.6f);
    glEnd();

    glColor3f(0.9f, 0.4f, 0.1f);
    glRectf(1.8f, -0.6f, 1.0f, 0.2f);  // clockwise: a back face
    glEnable(GL_CULL_FACE);
    glRectf(2.8f, -0.6f, 2.0f, 0.2f);  // culled
    glRectf(3.0f, -0.6f, 3.8f, 0.2f);  // counter-clockwise: kept
    glDisable(GL_CULL_FACE);

    glColor3f(1.0f, 1.0f, 1.0f);
    glPolygonMode(GL_FRONT, GL_POINT);
    Square(-3.0f, -2.0f, 0.6f);
    glPolygonMode(GL_FRONT, GL_FILL);

    // 40 pushes and pops on a stack of 32: the last 9 of each do nothing.
    glTranslatef(-1.5f, -2.6f, 0.0f);
    for (int i = 0; i < 40; ++i) {
        glPushMatrix();
        glTranslatef(0.12f, 0.02f, 0.0f);
    }
    glColor3f(0.6f, 0.6f, 1.0f);
    Square(0.0f, 0.0f, 0.2f);
    for (int i = 0; i < 40; ++i)
        glPopMatrix();
    glColor3f(1.0f, 0.6f, 0.6f);
    Square(0.0f, 0.0f, 0.2f);
    glLoadIdentity();
}

void Upload(GLuint name, int side, GLenum format, const unsigned char* pixels, GLint filter)
{
    glBindTexture(GL_TEXTURE_2D, name);
    if (filter != 0) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    }
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), side, side, 0, format, GL_UNSIGNED_BYTE, pixels);
}

void TexturedSquare(float x, float y, float half)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(x - half, y - half);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(x + half, y - half);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(x + half, y + half);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(x - half, y + half);
    glEnd();
}

// Textures by names the program chooses, sharp (GL_NEAREST) and smooth
// (GL_LINEAR), times the colour; one without a filter that needs no
// mipmaps, which GL then leaves untextured; one bound inside a display list,
// with texture coordinates of the list's own and one taken from the replay;
// a picture added with blending.
void Textures()
{
    ShowView();
    unsigned char checker[8 * 8 * 4];
    for (int i = 0; i < 8 * 8; ++i) {
        const bool on = (i % 8 + i / 8) % 2 == 0;
        checker[i * 4 + 0] = on ? 255 : 40;
        checker[i * 4 + 1] = on ? 200 : 90;
        checker[i * 4 + 2] = on ? 60 : 255;
        checker[i * 4 + 3] = on ? 255 : 128;
    }
    unsigned char ramp[4 * 4 * 3];
    for (int i = 0; i < 4 * 4; ++i) {
        ramp[i * 3 + 0] = static_cast<unsigned char>(i * 16);
        ramp[i * 3 + 1] = static_cast<unsigned char>(255 - i * 16);
        ramp[i * 3 + 2] = static_cast<unsigned char>((i % 4) * 80);
    }
    Upload(40, 8, GL_RGBA, checker, GL_NEAREST);
    Upload(57, 4, GL_RGB, ramp, GL_LINEAR);
    Upload(33, 8, GL_RGBA, checker, 0);  // GL's initial filter wants mipmaps: incomplete

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 40);
    glColor3f(1.0f, 1.0f, 1.0f);
    // 25.3 pixels a texel: no texel edge on a pixel's centre, where the
    // desktop's and the browser's rasterizers may round either way.
    TexturedSquare(-2.8f, 1.7f, 1.012f);
    glColor3f(0.5f, 1.0f, 0.8f);
    glPushMatrix();
    glTranslatef(0.0f, 1.7f, 0.0f);
    glRotatef(30.0f, 0.0f, 0.0f, 1.0f);
    TexturedSquare(0.0f, 0.0f, 0.9f);
    glPopMatrix();
    glBindTexture(GL_TEXTURE_2D, 57);
    glColor3f(1.0f, 1.0f, 1.0f);
    TexturedSquare(2.8f, 1.7f, 1.1f);
    glBindTexture(GL_TEXTURE_2D, 33);
    glColor3f(0.9f, 0.3f, 0.3f);
    TexturedSquare(-2.8f, -1.2f, 0.9f);

    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBindTexture(GL_TEXTURE_2D, 57);
    glBegin(GL_TRIANGLES);
    glVertex2f(-0.8f, -0.8f);  // the texture coordinate current at the replay
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(0.8f, -0.8f);
    glTexCoord2f(0.5f, 1.0f);
    glVertex2f(0.0f, 0.6f);
    glEnd();
    glEndList();
    glColor3f(1.0f, 1.0f, 1.0f);
    glTexCoord2f(0.0f, 0.0f);
    glTranslatef(-0.6f, -1.4f, 0.0f);
    glCallList(list);
    glTexCoord2f(0.0f, 1.0f);
    glTranslatef(1.2f, 0.0f, 0.0f);
    glCallList(list);
    glLoadIdentity();

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, 40);
    glColor4f(1.0f, 1.0f, 1.0f, 0.6f);
    TexturedSquare(2.6f, -1.4f, 1.2f);
    TexturedSquare(3.1f, -1.9f, 0.8f);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}
}  // namespace

const char* const RendererScenes[] = {"nested-lists", "wireframes", "glyphs", "primitive-kinds", "textures"};
const int RendererSceneCount = 5;

void DrawRendererScene(int index)
{
    static void (*const Draw[])() = {NestedLists, Wireframes, Glyphs, PrimitiveKinds, Textures};
    Draw[index]();
}
