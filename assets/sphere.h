#pragma once
// The unit sphere of the closing scene: an octahedron whose faces are each
// subdivided twice, every new vertex pushed out onto the sphere.

struct Vector {
    float x, y, z;
};

// Emits 128 GL_TRIANGLES, each in its own glBegin/glEnd, bracketed by
// glEnable/glDisable(GL_CULL_FACE). Called once, inside glNewList.
void BuildSphere();

// Emits triangle (a, b, c) split depth times into four, depth first.
void SubdivideTriangle(Vector a, Vector b, Vector c, int depth);

// Scales v to unit length in single precision; a zero or NaN length gives (0, 0, 0).
void NormalizeVector(Vector& v);
