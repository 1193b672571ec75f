#include "assets/sphere.h"

#include "platform/gl_api.h"

#include <cmath>

namespace {
const Vector OctahedronVertices[6] = {
    {0, 1, 0}, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}, {-1, 0, 0}, {0, 0, -1},
};

// Each face runs clockwise seen from outside; faces 0-3 meet at the top.
const int OctahedronFaces[8][3] = {
    {0, 2, 3}, {0, 3, 4}, {0, 4, 5}, {0, 5, 2},
    {1, 3, 2}, {1, 4, 3}, {1, 5, 4}, {1, 2, 5},
};

void EmitVertex(const Vector& v)
{
    const GLfloat xyz[3] = {v.x, v.y, v.z};
    glVertex3fv(xyz);
}

Vector Sum(const Vector& a, const Vector& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
}  // namespace

void BuildSphere()
{
    glEnable(GL_CULL_FACE);
    for (const auto& face : OctahedronFaces)
        SubdivideTriangle(OctahedronVertices[face[0]], OctahedronVertices[face[1]],
                          OctahedronVertices[face[2]], 2);
    glDisable(GL_CULL_FACE);
}

void SubdivideTriangle(Vector a, Vector b, Vector c, int depth)
{
    if (depth <= 0) {
        glBegin(GL_TRIANGLES);
        EmitVertex(a);
        EmitVertex(b);
        EmitVertex(c);
        glEnd();
        return;
    }
    // Unhalved sums: the normalisation puts them on the sphere anyway.
    Vector ab = Sum(a, b);
    Vector bc = Sum(b, c);
    Vector ca = Sum(c, a);
    NormalizeVector(ab);
    NormalizeVector(bc);
    NormalizeVector(ca);
    // Corners a, b, c, then the centre; each keeps the winding of (a, b, c).
    SubdivideTriangle(a, ab, ca, depth - 1);
    SubdivideTriangle(b, bc, ab, depth - 1);
    SubdivideTriangle(c, ca, bc, depth - 1);
    SubdivideTriangle(ab, bc, ca, depth - 1);
}

void NormalizeVector(Vector& v)
{
    // Squared length and length are each rounded to float, then every
    // quotient; the sum itself is formed in double.
    const double x = v.x, y = v.y, z = v.z;
    const float s = static_cast<float>(x * x + y * y + z * z);
    if (!(s > 0)) {  // zero or NaN
        v = {0, 0, 0};
        return;
    }
    const float len = static_cast<float>(std::sqrt(static_cast<double>(s)));
    v.x = static_cast<float>(x / len);
    v.y = static_cast<float>(y / len);
    v.z = static_cast<float>(z / len);
}
