#include "tests/support/renderer_scenes.h"

#include "assets/sphere.h"
#include "platform/gl_api.h"

namespace {
constexpr GLenum GL_COMPILE_AND_EXECUTE = 0x1301;
constexpr GLenum GL_BACK = 0x0405;
constexpr GLenum GL_FRONT_AND_BACK = 0x0408;

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
}  // namespace

const char* const RendererScenes[] = {"nested-lists", "wireframes", "glyphs"};
const int RendererSceneCount = 3;

void DrawRendererScene(int index)
{
    static void (*const Draw[])() = {NestedLists, Wireframes, Glyphs};
    Draw[index]();
}
