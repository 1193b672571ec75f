// glBegin to glEnd, and glRectf, in the GLES2 renderer: the current colour
// and texture coordinate, each vertex with the ones current at its glVertex,
// and whole primitives (the immediate ones and the display lists' replays)
// taken to clip coordinates and handed to the batch: points and lines as
// they are, polygons as triangles when both faces are filled, otherwise
// polygon by polygon as the faces' modes say (gles2_outlines.cpp).

#include "platform/gl_api.h"
#include "platform/gles2.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {
constexpr GLenum GL_SUBPIXEL_BITS = 0x0D50;

GLfloat Colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
GLfloat TexCoord[2] = {0.0f, 0.0f};
bool Inside = false;
GLenum Mode = GL_TRIANGLES;
std::vector<ObjectVertex> Gathered;  // the vertices since glBegin

// Scratch, kept to spare an allocation per primitive.
std::vector<Vertex> Clip;
std::vector<Vertex> Out;
std::vector<Vertex> Corners;
std::vector<const Vertex*> CornerPointers;

// The corners of each polygon of a primitive, in order.
template <typename Each>
void ForEachPolygon(GLenum mode, const std::vector<Vertex>& v, std::size_t n, Each each)
{
    const Vertex* p[4];
    if (mode == GL_TRIANGLES) {
        for (std::size_t i = 0; i + 3 <= n; i += 3) {
            p[0] = &v[i], p[1] = &v[i + 1], p[2] = &v[i + 2];
            each(p, 3);
        }
    } else if (mode == GL_QUADS) {
        for (std::size_t i = 0; i + 4 <= n; i += 4) {
            p[0] = &v[i], p[1] = &v[i + 1], p[2] = &v[i + 2], p[3] = &v[i + 3];
            each(p, 4);
        }
    } else if (mode == GL_TRIANGLE_STRIP) {
        for (std::size_t i = 0; i + 3 <= n; ++i) {  // every other one turned round to keep the winding
            p[0] = &v[i % 2 == 0 ? i : i + 1], p[1] = &v[i % 2 == 0 ? i + 1 : i], p[2] = &v[i + 2];
            each(p, 3);
        }
    } else if (mode == GL_TRIANGLE_FAN) {
        for (std::size_t i = 1; i + 2 <= n; ++i) {
            p[0] = &v[0], p[1] = &v[i], p[2] = &v[i + 1];
            each(p, 3);
        }
    } else if (mode == GL_QUAD_STRIP) {
        for (std::size_t i = 0; i + 4 <= n; i += 2) {
            p[0] = &v[i], p[1] = &v[i + 1], p[2] = &v[i + 3], p[3] = &v[i + 2];
            each(p, 4);
        }
    } else if (mode == GL_POLYGON && n >= 3) {
        CornerPointers.clear();
        for (std::size_t i = 0; i < n; ++i)
            CornerPointers.push_back(&v[i]);
        each(CornerPointers.data(), n);
    }
}

// The rasterizer snaps each vertex to its sub-pixel grid before it
// interpolates: 1/16 pixel in the browsers' software renderer, 1/256 in
// Mesa. A picture drawn smaller or larger than its texels then slides by up
// to 1/32 pixel, which moves a sharp edge in it by several levels. So each
// corner's texture coordinate moves along with its snap, at the polygon's
// own rate of texture coordinates per pixel: the picture lands where the
// exact positions put it.
double SnapGrid()
{
    static double grid = 0;
    if (grid == 0) {
        GLint bits = 8;
        Es.glGetIntegerv(GL_SUBPIXEL_BITS, &bits);
        grid = static_cast<double>(1 << std::clamp(bits, 0, 16));
    }
    return grid;
}

void FollowSnapping(Vertex* const* corners, std::size_t count)
{
    double window[3][2];
    for (int i = 0; i < 3; ++i) {
        if (corners[i]->clip[3] <= 0)
            return;
        ClipToWindow(corners[i]->clip, window[i]);
    }
    // Texture coordinates per pixel, from corners 0, 1 and 2.
    const double ax = window[1][0] - window[0][0], ay = window[1][1] - window[0][1];
    const double bx = window[2][0] - window[0][0], by = window[2][1] - window[0][1];
    const double determinant = ax * by - ay * bx;
    if (std::fabs(determinant) < 1e-9)
        return;
    double rate[2][2];  // d(s, t) / d(x, y)
    for (int c = 0; c < 2; ++c) {
        const double da = corners[1]->texCoord[c] - corners[0]->texCoord[c];
        const double db = corners[2]->texCoord[c] - corners[0]->texCoord[c];
        rate[c][0] = (da * by - db * ay) / determinant;
        rate[c][1] = (db * ax - da * bx) / determinant;
    }
    const double grid = SnapGrid();
    for (std::size_t i = 0; i < count; ++i) {
        if (corners[i]->clip[3] <= 0)
            return;
        double at[2];
        ClipToWindow(corners[i]->clip, at);
        const double dx = std::floor(at[0] * grid + 0.5) / grid - at[0];
        const double dy = std::floor(at[1] * grid + 0.5) / grid - at[1];
        for (int c = 0; c < 2; ++c)
            corners[i]->texCoord[c] += static_cast<GLfloat>(rate[c][0] * dx + rate[c][1] * dy);
    }
}

// A polygon of the primitive, as copies that may take the snapping.
Vertex* const* CopyCorners(const Vertex* const* corners, std::size_t count)
{
    static std::vector<Vertex*> pointers;
    Corners.assign(count, Vertex{});
    pointers.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        Corners[i] = *corners[i];
        pointers[i] = &Corners[i];
    }
    return pointers.data();
}

void SubmitPolygons(GLenum mode, std::size_t n)
{
    const bool textured = TextureToDraw() != 0;
    if (!EveryFaceFilled()) {
        ForEachPolygon(mode, Clip, n, [&](const Vertex* const* corners, std::size_t count) {
            if (textured) {
                Vertex* const* copies = CopyCorners(corners, count);
                FollowSnapping(copies, count);
                corners = copies;
            }
            EmitPolygonByMode(corners, count, true);
        });
        return;
    }
    // Each polygon as the fan of triangles from its first corner: the same
    // pixels as the polygon, and for the show's quads, whose corners are
    // those of parallelograms, the same colours and texels as any other
    // split.
    Out.clear();
    ForEachPolygon(mode, Clip, n, [&](const Vertex* const* corners, std::size_t count) {
        if (textured) {
            Vertex* const* copies = CopyCorners(corners, count);
            FollowSnapping(copies, count);
            corners = copies;
        }
        for (std::size_t i = 1; i + 1 < count; ++i) {
            Out.push_back(*corners[0]);
            Out.push_back(*corners[i]);
            Out.push_back(*corners[i + 1]);
        }
    });
    Emit(Primitives::Triangles, true, Out.data(), Out.size());
}

void SubmitLines(GLenum mode, std::size_t n)
{
    if (mode == GL_LINES) {
        Emit(Primitives::Lines, true, Clip.data(), n);
        return;
    }
    Out.clear();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        Out.push_back(Clip[i]);
        Out.push_back(Clip[i + 1]);
    }
    if (mode == GL_LINE_LOOP && n >= 2) {
        Out.push_back(Clip[n - 1]);
        Out.push_back(Clip[0]);
    }
    Emit(Primitives::Lines, true, Out.data(), Out.size());
}

bool KnownMode(GLenum mode) { return mode <= GL_POLYGON; }
}  // namespace

void BeginPrimitive(GLenum mode)
{
    if (Inside || !KnownMode(mode))
        return;  // GL's errors, which nothing reads
    Inside = true;
    Mode = mode;
    Gathered.clear();
}

void AddVertex(GLfloat x, GLfloat y, GLfloat z)
{
    if (!Inside)
        return;  // GL leaves a vertex outside glBegin undefined
    ObjectVertex vertex{{x, y, z}, {TexCoord[0], TexCoord[1]}, {Colour[0], Colour[1], Colour[2], Colour[3]}};
    Gathered.push_back(vertex);
}

void EndPrimitive()
{
    if (!Inside)
        return;
    Inside = false;
    SubmitPrimitive(Mode, Gathered.data(), Gathered.size());
}

bool InsidePrimitive() { return Inside; }

void SetColour(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    Colour[0] = std::clamp(r, 0.0f, 1.0f);
    Colour[1] = std::clamp(g, 0.0f, 1.0f);
    Colour[2] = std::clamp(b, 0.0f, 1.0f);
    Colour[3] = std::clamp(a, 0.0f, 1.0f);
}

const GLfloat* CurrentColour() { return Colour; }

void SetTexCoord(GLfloat s, GLfloat t)
{
    TexCoord[0] = s;
    TexCoord[1] = t;
}

const GLfloat* CurrentTexCoord() { return TexCoord; }

void DrawRect(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2)
{
    if (Inside)
        return;
    // GL's definition: a polygon through the four corners, counter-clockwise
    // when x1 < x2 and y1 < y2.
    BeginPrimitive(GL_POLYGON);
    AddVertex(x1, y1, 0.0f);
    AddVertex(x2, y1, 0.0f);
    AddVertex(x2, y2, 0.0f);
    AddVertex(x1, y2, 0.0f);
    EndPrimitive();
}

std::size_t DrawnVertices(GLenum mode, std::size_t count)
{
    switch (mode) {
    case GL_LINES: return count / 2 * 2;
    case GL_TRIANGLES: return count / 3 * 3;
    case GL_QUADS: return count / 4 * 4;
    case GL_QUAD_STRIP: return count < 4 ? 0 : count / 2 * 2;
    default: return count;
    }
}

void SubmitPrimitive(GLenum mode, const ObjectVertex* vertices, std::size_t count)
{
    const std::size_t n = DrawnVertices(mode, count);
    if (n == 0)
        return;
    const double* matrix = ClipFromObject();
    Clip.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        Vertex& v = Clip[i];
        ToClip(matrix, vertices[i].xyz, v.clip);
        std::memcpy(v.texCoord, vertices[i].texCoord, sizeof(v.texCoord));
        std::memcpy(v.colour, vertices[i].colour, sizeof(v.colour));
    }
    if (mode == GL_POINTS)
        Emit(Primitives::Points, true, Clip.data(), n);
    else if (mode == GL_LINES || mode == GL_LINE_STRIP || mode == GL_LINE_LOOP)
        SubmitLines(mode, n);
    else
        SubmitPolygons(mode, n);
}
