// Polygons in the GLES2 renderer while a face's polygon mode is not
// GL_FILL, which ES 2 does not have: GL's rules carried out on the CPU. A
// polygon faces front when its corners run counter-clockwise in window
// coordinates (the sign of its area); back faces are dropped first while
// face culling is on; then its face's mode draws it filled, as its edges
// (each one a line of its own, so that an edge two polygons share is drawn
// twice, as GL draws it), or as its corners. The closing scene's sphere is
// drawn this way: its front faces outlined, in the colour and blending in
// force.

#include "platform/gl_api.h"
#include "platform/gles2.h"

#include <vector>

namespace {
std::vector<Vertex> Out;

bool FrontFacing(const Vertex* const* corners, std::size_t count)
{
    double area = 0;
    double first[2], previous[2];
    ClipToWindow(corners[0]->clip, first);
    previous[0] = first[0];
    previous[1] = first[1];
    for (std::size_t i = 1; i <= count; ++i) {
        double at[2] = {first[0], first[1]};
        if (i < count)
            ClipToWindow(corners[i]->clip, at);
        area += previous[0] * at[1] - at[0] * previous[1];
        previous[0] = at[0];
        previous[1] = at[1];
    }
    return area > 0;
}
}  // namespace

void EmitPolygonByMode(const Vertex* const* corners, std::size_t count, bool texturable)
{
    if (count < 3)
        return;
    const bool front = FrontFacing(corners, count);
    if (!front && CullingOn())
        return;
    const GLenum mode = PolygonModeOf(front);
    Out.clear();
    if (mode == GL_LINE) {
        for (std::size_t i = 0; i < count; ++i) {
            Out.push_back(*corners[i]);
            Out.push_back(*corners[(i + 1) % count]);
        }
        Emit(Primitives::Lines, texturable, Out.data(), Out.size());
    } else if (mode == GL_POINT) {
        for (std::size_t i = 0; i < count; ++i)
            Out.push_back(*corners[i]);
        Emit(Primitives::Points, texturable, Out.data(), Out.size());
    } else {
        for (std::size_t i = 1; i + 1 < count; ++i) {
            Out.push_back(*corners[0]);
            Out.push_back(*corners[i]);
            Out.push_back(*corners[i + 1]);
        }
        Emit(Primitives::Triangles, texturable, Out.data(), Out.size());
    }
}
