// The GLES2 renderer's two matrix stacks, model-view and projection, in
// double precision, with GL 1.1's operations on the current one. Each
// operation multiplies on the right, as GL's do. Stacks hold 32 matrices
// each (GL's minimum is 32 and 2); a push onto a full stack or a pop of the
// last matrix does nothing, GL's error being one that nothing reads.

#include "platform/gl_api.h"
#include "platform/gles2.h"
#include "platform/pi.h"

#include <array>
#include <cmath>

namespace {
using Matrix = std::array<double, 16>;  // column-major, as GL keeps matrices
constexpr std::size_t Depth = 32;

constexpr Matrix Identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

struct Stack {
    std::array<Matrix, Depth> matrices;
    std::size_t top = 0;
};
Stack ModelView{{Identity}, 0};
Stack Projection{{Identity}, 0};
Stack* Current = &ModelView;
GLenum Mode = GL_MODELVIEW;

Matrix Combined = Identity;  // Projection times model-view
bool CombinedStale = false;

Matrix& Top() { return Current->matrices[Current->top]; }

Matrix Product(const Matrix& a, const Matrix& b)
{
    Matrix result{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a[k * 4 + row] * b[column * 4 + k];
            result[column * 4 + row] = sum;
        }
    return result;
}

void MultiplyCurrent(const Matrix& by)
{
    Top() = Product(Top(), by);
    CombinedStale = true;
}
}  // namespace

void SetMatrixMode(GLenum mode)
{
    if (mode == GL_MODELVIEW)
        Current = &ModelView;
    else if (mode == GL_PROJECTION)
        Current = &Projection;
    else
        return;  // GL_TEXTURE's stack: the show never uses it
    Mode = mode;
}

GLenum MatrixModeInForce() { return Mode; }

void LoadIdentityMatrix()
{
    Top() = Identity;
    CombinedStale = true;
}

void MultiplyOrtho(double left, double right, double bottom, double top, double zNear, double zFar)
{
    if (left == right || bottom == top || zNear == zFar)
        return;
    Matrix ortho = Identity;
    ortho[0] = 2 / (right - left);
    ortho[5] = 2 / (top - bottom);
    ortho[10] = -2 / (zFar - zNear);
    ortho[12] = -(right + left) / (right - left);
    ortho[13] = -(top + bottom) / (top - bottom);
    ortho[14] = -(zFar + zNear) / (zFar - zNear);
    MultiplyCurrent(ortho);
}

void MultiplyTranslation(double x, double y, double z)
{
    Matrix translation = Identity;
    translation[12] = x;
    translation[13] = y;
    translation[14] = z;
    MultiplyCurrent(translation);
}

void MultiplyRotation(double angle, double x, double y, double z)
{
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0))
        return;
    x /= length;
    y /= length;
    z /= length;
    const double radians = angle * Pi / 180.0;
    const double c = std::cos(radians), s = std::sin(radians), t = 1 - c;
    // GL's rotation about the unit axis (x, y, z), counter-clockwise seen
    // from the axis's tip.
    const Matrix rotation = {
        x * x * t + c,     y * x * t + z * s, x * z * t - y * s, 0,
        x * y * t - z * s, y * y * t + c,     y * z * t + x * s, 0,
        x * z * t + y * s, y * z * t - x * s, z * z * t + c,     0,
        0,                 0,                 0,                 1,
    };
    MultiplyCurrent(rotation);
}

void MultiplyScale(double x, double y, double z)
{
    Matrix scale = Identity;
    scale[0] = x;
    scale[5] = y;
    scale[10] = z;
    MultiplyCurrent(scale);
}

void PushMatrix()
{
    if (Current->top + 1 >= Depth)
        return;
    Current->matrices[Current->top + 1] = Top();
    ++Current->top;
}

void PopMatrix()
{
    if (Current->top == 0)
        return;
    --Current->top;
    CombinedStale = true;
}

const double* ClipFromObject()
{
    if (CombinedStale) {
        Combined = Product(Projection.matrices[Projection.top], ModelView.matrices[ModelView.top]);
        CombinedStale = false;
    }
    return Combined.data();
}

void ToClip(const double* m, const GLfloat* xyz, GLfloat* clip)
{
    for (int row = 0; row < 4; ++row)
        clip[row] = static_cast<GLfloat>(m[row] * xyz[0] + m[4 + row] * xyz[1] + m[8 + row] * xyz[2] + m[12 + row]);
}
