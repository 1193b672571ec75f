// glBegin to glEnd on the page. The toolchain's emulation lays out a
// primitive's vertex data from the first vertex's attributes, so a colour
// set inside glBegin before the first vertex, and not before every other,
// comes out as garbage; and its glPolygonMode does nothing. So the table
// gathers each primitive with every vertex's colour and texture coordinate
// and draws it later: in one colour set outside glBegin when it has one (as
// most do), and with the outlines GL_LINE would draw when a polygon mode
// asks for them. Each draw of the emulation costs far more than a vertex, so
// primitives of one kind that follow each other with no other GL call in
// between (the sphere's 128 triangles) are drawn as one; any other call
// draws what is gathered first.

#include "platform/gl_web.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {
constexpr GLenum GL_POINTS = 0x0000;
constexpr GLenum GL_LINES = 0x0001;
constexpr GLenum GL_TRIANGLE_STRIP = 0x0005;
constexpr GLenum GL_TRIANGLE_FAN = 0x0006;
constexpr GLenum GL_POLYGON = 0x0009;
constexpr GLenum GL_BACK = 0x0405;
constexpr GLenum GL_FRONT_AND_BACK = 0x0408;
constexpr GLenum GL_POINT = 0x1B00;
constexpr GLenum GL_MODELVIEW_MATRIX = 0x0BA6;
constexpr GLenum GL_PROJECTION_MATRIX = 0x0BA7;
constexpr GLenum GL_SUBPIXEL_BITS = 0x0D50;

struct Vertex {
    GLfloat position[3];
    GLfloat texCoord[2];
    GLfloat colour[4];
};

// GL's current values, which glEnd leaves as the last call inside set them.
GLfloat Colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
GLfloat TexCoord[2] = {0.0f, 0.0f};
GLenum FrontMode = GL_FILL;
GLenum BackMode = GL_FILL;

bool InsidePrimitive = false;
bool Gathered = false;  // Vertices hold finished primitives, not yet drawn
GLenum PrimitiveMode = GL_TRIANGLES;
bool PrimitiveTextured = false;  // a texture coordinate was given inside them
std::vector<Vertex> Vertices;
std::size_t PrimitiveStart = 0;  // where the vertices of the one inside glBegin start
std::vector<Vertex> Fills, Lines, Points;  // a primitive drawn unfilled, by kind

// The viewport as last set, kept here: asking WebGL for it makes the page
// wait until the browser's renderer has caught up with every draw before.
GLint Viewport[4] = {0, 0, 0, 0};
bool ViewportKnown = false;

bool SameColour(const GLfloat* a, const GLfloat* b) { return std::memcmp(a, b, 4 * sizeof(GLfloat)) == 0; }

// The rasterizer snaps each vertex to its sub-pixel grid before it
// interpolates: 1/16 pixel in the browsers' software renderer, 1/256 in the
// desktop's Mesa. A picture drawn smaller or larger than its texels then
// slides by up to 1/32 pixel, which moves a sharp edge in it by several
// levels. So each vertex's texture coordinate moves along with its snap, by
// the polygon's own rate of texture coordinates per pixel: the picture
// lands where the exact positions put it, as on the desktop.
void FollowSnapping(GLenum mode, std::vector<Vertex>& vertices)
{
    static GLint subpixelBits = -1;
    if (subpixelBits < 0)
        Toolchain_glGetIntegerv(GL_SUBPIXEL_BITS, &subpixelBits);
    const double grid = static_cast<double>(1 << std::clamp(subpixelBits, 0, 16));
    const std::size_t corners = mode == GL_QUADS ? 4 : mode == GL_TRIANGLES ? 3 : 0;
    if (corners == 0)
        return;  // strips and fans share vertices between polygons
    const WindowTransform transform = CurrentWindowTransform();
    for (std::size_t first = 0; first + corners <= vertices.size(); first += corners) {
        GLfloat window[4][2];
        for (std::size_t i = 0; i < corners; ++i) {
            GLfloat clip[4];
            ToClip(transform, vertices[first + i].position, clip);
            if (clip[3] <= 0)
                return;
            ClipToWindow(transform, clip, window[i]);
        }
        // Texture coordinates per pixel, from corners 0, 1 and 2.
        const Vertex* v = &vertices[first];
        const double ax = window[1][0] - window[0][0], ay = window[1][1] - window[0][1];
        const double bx = window[2][0] - window[0][0], by = window[2][1] - window[0][1];
        const double determinant = ax * by - ay * bx;
        if (std::fabs(determinant) < 1e-9)
            continue;
        double rate[2][2];  // d(s, t) / d(x, y)
        for (int c = 0; c < 2; ++c) {
            const double da = v[1].texCoord[c] - v[0].texCoord[c], db = v[2].texCoord[c] - v[0].texCoord[c];
            rate[c][0] = (da * by - db * ay) / determinant;
            rate[c][1] = (db * ax - da * bx) / determinant;
        }
        for (std::size_t i = 0; i < corners; ++i) {
            const double dx = std::floor(window[i][0] * grid + 0.5) / grid - window[i][0];
            const double dy = std::floor(window[i][1] * grid + 0.5) / grid - window[i][1];
            for (int c = 0; c < 2; ++c)
                vertices[first + i].texCoord[c] += static_cast<GLfloat>(rate[c][0] * dx + rate[c][1] * dy);
        }
    }
}

// Hands vertices to the toolchain as one primitive.
void Draw(GLenum mode, std::vector<Vertex>& vertices)
{
    if (vertices.empty())
        return;
    if (PrimitiveTextured)
        FollowSnapping(mode, vertices);
    const bool oneColour = std::all_of(vertices.begin(), vertices.end(),
                                       [&](const Vertex& v) { return SameColour(v.colour, vertices[0].colour); });
    if (oneColour)
        Toolchain_glColor4f(vertices[0].colour[0], vertices[0].colour[1], vertices[0].colour[2], vertices[0].colour[3]);
    Toolchain_glBegin(mode == GL_POLYGON ? GL_TRIANGLE_FAN : mode);  // the same triangles; WebGL has no polygons
    for (const Vertex& v : vertices) {
        // Every vertex carries the same attributes in the same order.
        if (PrimitiveTextured)
            Toolchain_glTexCoord2f(v.texCoord[0], v.texCoord[1]);
        if (!oneColour)
            Toolchain_glColor4f(v.colour[0], v.colour[1], v.colour[2], v.colour[3]);
        Toolchain_glVertex3f(v.position[0], v.position[1], v.position[2]);
    }
    Toolchain_glEnd();
}

bool PolygonPrimitive(GLenum mode)
{
    return mode == GL_TRIANGLES || mode == GL_TRIANGLE_STRIP || mode == GL_TRIANGLE_FAN || mode == GL_QUADS ||
           mode == GL_POLYGON;
}

// The polygons of a primitive, each as its corners in order.
template <typename Each>
void ForEachPolygon(GLenum mode, const std::vector<Vertex>& v, Each each)
{
    const std::size_t n = v.size();
    if (mode == GL_TRIANGLES) {
        for (std::size_t i = 0; i + 3 <= n; i += 3)
            each({&v[i], &v[i + 1], &v[i + 2]});
    } else if (mode == GL_QUADS) {
        for (std::size_t i = 0; i + 4 <= n; i += 4)
            each({&v[i], &v[i + 1], &v[i + 2], &v[i + 3]});
    } else if (mode == GL_TRIANGLE_STRIP) {
        for (std::size_t i = 0; i + 3 <= n; ++i)  // every other triangle turned round to keep the winding
            each(i % 2 == 0 ? std::vector<const Vertex*>{&v[i], &v[i + 1], &v[i + 2]}
                            : std::vector<const Vertex*>{&v[i + 1], &v[i], &v[i + 2]});
    } else if (mode == GL_TRIANGLE_FAN) {
        for (std::size_t i = 1; i + 2 <= n; ++i)
            each({&v[0], &v[i], &v[i + 1]});
    } else if (mode == GL_POLYGON && n >= 3) {
        std::vector<const Vertex*> corners;
        for (const Vertex& corner : v)
            corners.push_back(&corner);
        each(corners);
    }
}

// GL's rule: the sign of the polygon's area in window coordinates, counter-
// clockwise being the front.
bool FrontFacing(const WindowTransform& transform, const std::vector<const Vertex*>& corners)
{
    std::vector<GLfloat> window(corners.size() * 2);
    for (std::size_t i = 0; i < corners.size(); ++i) {
        GLfloat clip[4];
        ToClip(transform, corners[i]->position, clip);
        ClipToWindow(transform, clip, &window[i * 2]);
    }
    double area = 0;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const std::size_t j = (i + 1) % corners.size();
        area += static_cast<double>(window[i * 2]) * window[j * 2 + 1] - static_cast<double>(window[j * 2]) * window[i * 2 + 1];
    }
    return area > 0;
}

// Each polygon as its face's mode says: filled, its edges as lines, or its
// corners as points; back faces dropped while face culling is on (GL_BACK,
// GL's default, which the program never changes).
void DrawUnfilled()
{
    const WindowTransform transform = CurrentWindowTransform();
    const bool culling = Toolchain_glIsEnabled(GL_CULL_FACE) != 0;
    Fills.clear();
    Lines.clear();
    Points.clear();
    ForEachPolygon(PrimitiveMode, Vertices, [&](const std::vector<const Vertex*>& corners) {
        const bool front = FrontFacing(transform, corners);
        if (!front && culling)
            return;
        const GLenum mode = front ? FrontMode : BackMode;
        const std::size_t n = corners.size();
        for (std::size_t i = 0; i < n; ++i) {
            if (mode == GL_LINE) {
                Lines.push_back(*corners[i]);
                Lines.push_back(*corners[(i + 1) % n]);
            } else if (mode == GL_POINT) {
                Points.push_back(*corners[i]);
            } else if (i + 2 < n) {
                Fills.push_back(*corners[0]);
                Fills.push_back(*corners[i + 1]);
                Fills.push_back(*corners[i + 2]);
            }
        }
    });
    Draw(GL_TRIANGLES, Fills);
    Draw(GL_LINES, Lines);
    Draw(GL_POINTS, Points);
}
}  // namespace

void BeginPrimitive(GLenum mode)
{
    if (InsidePrimitive)
        return;  // GL's error, which nothing reads
    // Separate primitives of one kind go on in the same draw; strips, fans
    // and polygons join their vertices, so they cannot.
    const bool joins = mode == GL_TRIANGLE_STRIP || mode == GL_TRIANGLE_FAN || mode == GL_POLYGON;
    if (Gathered && (mode != PrimitiveMode || joins))
        DrawGathered();
    InsidePrimitive = true;
    if (!Gathered) {
        PrimitiveMode = mode;
        PrimitiveTextured = false;
        Vertices.clear();
    }
    PrimitiveStart = Vertices.size();
}

void EndPrimitive()
{
    if (!InsidePrimitive)
        return;
    InsidePrimitive = false;
    // GL draws no part of an unfinished triangle, quad or line; left in, it
    // would shift those of the primitives gathered after it.
    const std::size_t corners = PrimitiveMode == GL_TRIANGLES ? 3 : PrimitiveMode == GL_QUADS ? 4
                              : PrimitiveMode == GL_LINES     ? 2 : 1;
    Vertices.resize(PrimitiveStart + (Vertices.size() - PrimitiveStart) / corners * corners);
    Gathered = true;
}

void DrawGathered()
{
    if (!Gathered)
        return;
    Gathered = false;
    if (PolygonPrimitive(PrimitiveMode) && (FrontMode != GL_FILL || BackMode != GL_FILL))
        DrawUnfilled();
    else
        Draw(PrimitiveMode, Vertices);
    // The toolchain's current colour is the table's again, for the draws
    // outside glBegin that follow.
    Toolchain_glColor4f(Colour[0], Colour[1], Colour[2], Colour[3]);
}

void AddVertex(GLfloat x, GLfloat y, GLfloat z)
{
    if (!InsidePrimitive)
        return;  // GL leaves a vertex outside glBegin undefined
    Vertices.push_back({{x, y, z}, {TexCoord[0], TexCoord[1]}, {Colour[0], Colour[1], Colour[2], Colour[3]}});
}

void SetTexCoord(GLfloat s, GLfloat t)
{
    TexCoord[0] = s;
    TexCoord[1] = t;
    if (InsidePrimitive)
        PrimitiveTextured = true;
}

void SetColour(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    // Clamped, as both GL and the toolchain keep it.
    const GLfloat colour[4] = {std::clamp(r, 0.0f, 1.0f), std::clamp(g, 0.0f, 1.0f), std::clamp(b, 0.0f, 1.0f),
                               std::clamp(a, 0.0f, 1.0f)};
    if (!InsidePrimitive)
        DrawGathered();  // so that one-colour draws keep GL's colour precision
    std::memcpy(Colour, colour, sizeof(Colour));
    if (!InsidePrimitive)
        Toolchain_glColor4f(Colour[0], Colour[1], Colour[2], Colour[3]);
}

const GLfloat* CurrentColour() { return Colour; }

void SetPolygonMode(GLenum face, GLenum mode)
{
    if (mode != GL_POINT && mode != GL_LINE && mode != GL_FILL)
        return;
    DrawGathered();
    if (face == GL_FRONT || face == GL_FRONT_AND_BACK)
        FrontMode = mode;
    if (face == GL_BACK || face == GL_FRONT_AND_BACK)
        BackMode = mode;
}

void DrawRect(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2)
{
    if (InsidePrimitive)
        return;
    // GL's definition: a polygon through the four corners, counter-clockwise
    // when x1 < x2 and y1 < y2.
    BeginPrimitive(GL_QUADS);
    AddVertex(x1, y1, 0.0f);
    AddVertex(x2, y1, 0.0f);
    AddVertex(x2, y2, 0.0f);
    AddVertex(x1, y2, 0.0f);
    EndPrimitive();
}

WindowTransform CurrentWindowTransform()
{
    GLfloat modelView[16], projection[16];
    Toolchain_glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    Toolchain_glGetFloatv(GL_PROJECTION_MATRIX, projection);
    WindowTransform transform{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += static_cast<double>(projection[k * 4 + row]) * modelView[column * 4 + k];
            transform.clipFromObject[column * 4 + row] = static_cast<GLfloat>(sum);
        }
    const GLint* viewport = CurrentViewport();
    std::copy(viewport, viewport + 4, transform.viewport);
    return transform;
}

void SetViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    DrawGathered();
    const GLint viewport[4] = {x, y, width, height};
    std::copy(viewport, viewport + 4, Viewport);
    ViewportKnown = true;
    Toolchain_glViewport(x, y, width, height);
}

const GLint* CurrentViewport()
{
    if (!ViewportKnown)  // the canvas's own, before the program sets one
        Toolchain_glGetIntegerv(GL_VIEWPORT, Viewport);
    ViewportKnown = true;
    return Viewport;
}

void ToClip(const WindowTransform& transform, const GLfloat* xyz, GLfloat* clip)
{
    const GLfloat* m = transform.clipFromObject;
    for (int row = 0; row < 4; ++row)
        clip[row] = static_cast<GLfloat>(static_cast<double>(m[row]) * xyz[0] + static_cast<double>(m[4 + row]) * xyz[1] +
                                         static_cast<double>(m[8 + row]) * xyz[2] + m[12 + row]);
}

void ClipToWindow(const WindowTransform& transform, const GLfloat* clip, GLfloat* window)
{
    const GLint* v = transform.viewport;
    window[0] = static_cast<GLfloat>(v[0] + (clip[0] / clip[3] + 1.0) * v[2] / 2.0);
    window[1] = static_cast<GLfloat>(v[1] + (clip[1] / clip[3] + 1.0) * v[3] / 2.0);
}
