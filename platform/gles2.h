#pragma once
// The show's OpenGL 1.1 calls (the GL entries of gl_functions.inc) drawn on
// OpenGL ES 2 or WebGL 1 by a small renderer of our own. The page draws with
// it; natively it runs over Mesa's GLES2 through EGL, where the render tests
// hold its frames against the desktop's GL. Everything runs on the thread
// whose context is current.
//
// How it draws: each primitive's vertices are taken to clip coordinates on
// the CPU, in double precision, and join one batch of vertices. The batch is
// drawn, with one glDrawArrays, when the next vertices need other GPU state
// (blending, texture, face culling, points, lines or triangles) and before
// every call that must see what was drawn: clear, viewport, scissor,
// framebuffers, texture uploads, read-back, finish and the swap. Display
// lists keep their primitives as vertex data and replay them into the batch.
//
// One job per unit:
//   gles2_table.cpp      the GL entry points: compiled into a list, carried out, or both
//   gles2_lists.cpp      display lists: recording, replay
//   gles2_matrices.cpp   the model-view and projection stacks
//   gles2_immediate.cpp  glBegin to glEnd and glRectf: current colour and texture
//                        coordinate, primitives to clip space, filled polygons
//   gles2_outlines.cpp   polygons whose face's polygon mode is GL_LINE or GL_POINT
//   gles2_glyphs.cpp     the raster position and the readout font's glyphs
//   gles2_state.cpp      enables, blending, textures by the program's names,
//                        viewport, scissor, clear, framebuffers, read-back
//   gles2_draw.cpp       the shaders, the batch and the GPU state it draws with
//   gles2_functions.cpp  the ES 2 entry points, looked up by name (natively)
//   gles2_functions_web.cpp  the same, linked from the toolchain (the page)
//
// This header includes no GL header and defines no GL_ constant, so that
// the page's entry-point unit can include the toolchain's <GLES2/gl2.h>,
// which defines them as macros; the types are the ones gl2.h has.

#include "platform/gl_types.h"

#include <cstddef>

using GLchar = char;
using GLsizeiptr = long;  // khronos_ssize_t on Linux and on wasm32

// ---- Setting the renderer up ---------------------------------------------

// Fills the ES 2 table. Natively from `lookup` (eglGetProcAddress); false
// when an entry point is missing. The page's build links the toolchain's
// functions and ignores `lookup`.
bool LoadGles2Functions(void* (*lookup)(const char* name));

// Points the GL entry points of gl_functions.inc at the renderer; the GLUT
// ones, glXGetCurrentDrawable and glGetTexImage (which ES 2 lacks) stay as
// they are. Makes no GL call.
void InstallGles2Renderer();

// Compiles the shaders and makes the vertex buffer in the current context,
// and starts from GL's initial state with the context's viewport. Called
// once per context, after LoadGles2Functions. False when ES 2 fails.
bool StartGles2Renderer();

// Draws what is batched. The swap calls it; other calls that must see the
// drawing flush by themselves.
void FlushGles2Renderer();

// glutBitmapCharacter for the readout: the glyph atlas's digits in
// GLUT_BITMAP_TIMES_ROMAN_24, whose value is Gles2ReadoutFont(). Other fonts
// and characters draw nothing.
void Gles2BitmapCharacter(void* font, int character);
void* Gles2ReadoutFont();

// ---- Between the renderer's own units --------------------------------------

// The ES 2 entry points (gles2_functions.inc).
struct Gles2Functions {
#define GLES2_FUNCTION(ret, name, params) ret(*name) params = nullptr;
#include "platform/gles2_functions.inc"
#undef GLES2_FUNCTION
};
extern Gles2Functions Es;

// gles2_matrices.cpp. Angles in degrees; the current matrix is the one
// SetMatrixMode chose (model-view or projection).
void SetMatrixMode(GLenum mode);
GLenum MatrixModeInForce();
void LoadIdentityMatrix();
void MultiplyOrtho(double left, double right, double bottom, double top, double zNear, double zFar);
void MultiplyTranslation(double x, double y, double z);
void MultiplyRotation(double angle, double x, double y, double z);
void MultiplyScale(double x, double y, double z);
void PushMatrix();
void PopMatrix();
// Projection times model-view, column-major: object to clip coordinates.
const double* ClipFromObject();
// (x, y, z, 1) through `matrix` to clip coordinates (x, y, z, w).
void ToClip(const double* matrix, const GLfloat* xyz, GLfloat* clip);

// gles2_draw.cpp. A vertex as the batch holds it.
struct Vertex {
    GLfloat clip[4];
    GLfloat texCoord[2];
    GLfloat colour[4];
};
enum class Primitives { Triangles, Lines, Points };
bool StartDrawing();
// Adds vertices (whole triangles, lines or points) to the batch, to be drawn
// with the blending and face culling in force now, and with the texture in
// force when `texturable` (glyphs are not).
void Emit(Primitives kind, bool texturable, const Vertex* vertices, std::size_t count);
void DrawBatch();
// Binds an ES texture for an upload or a parameter; the batch rebinds what
// it draws with.
void BindEsTexture(GLuint texture);

// gles2_state.cpp.
bool StartState();
void EnableCap(GLenum cap);
void DisableCap(GLenum cap);
GLboolean CapEnabled(GLenum cap);
void SetBlendFunc(GLenum source, GLenum destination);
bool BlendingOn();
GLenum BlendSource();
GLenum BlendDestination();
bool CullingOn();  // of back faces, GL's default and the only one the show meets
void SetPolygonMode(GLenum face, GLenum mode);
GLenum PolygonModeOf(bool frontFace);
bool EveryFaceFilled();
void BindTextureName(GLuint name);
// The ES texture that fragments take now: 0 while GL_TEXTURE_2D is off or
// the bound texture is incomplete (GL then textures nothing).
GLuint TextureToDraw();
void UploadTexImage(GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border, GLenum format,
                    GLenum type, const void* pixels);
void SetTexParameter(GLenum pname, GLint param);
void SetViewport(GLint x, GLint y, GLsizei width, GLsizei height);
const GLint* ViewportInForce();  // x, y, width, height
// Clip coordinates with w > 0 to window pixels (x, y).
void ClipToWindow(const GLfloat* clip, double* window);
void SetScissor(GLint x, GLint y, GLsizei width, GLsizei height);
void SetClearColour(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void ClearBuffers(GLbitfield mask);
void FinishDrawing();
void SetPixelStore(GLenum pname, GLint param);
void ReadFramebuffer(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels);
void GetInteger(GLenum pname, GLint* data);
void GetTexLevelParameter(GLint level, GLenum pname, GLint* params);
void BindFramebufferObject(GLuint framebuffer);

// gles2_immediate.cpp. A vertex as glVertex gives it.
struct ObjectVertex {
    GLfloat xyz[3];
    GLfloat texCoord[2];
    GLfloat colour[4];
};
void BeginPrimitive(GLenum mode);
void AddVertex(GLfloat x, GLfloat y, GLfloat z);
void EndPrimitive();
bool InsidePrimitive();
void SetColour(GLfloat r, GLfloat g, GLfloat b, GLfloat a);  // clamped to [0, 1], as GL keeps it
const GLfloat* CurrentColour();                             // r, g, b, a
void SetTexCoord(GLfloat s, GLfloat t);
const GLfloat* CurrentTexCoord();  // s, t
void DrawRect(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2);
// Vertices of a primitive of `mode` that GL draws: an unfinished triangle,
// quad or line at the end is dropped.
std::size_t DrawnVertices(GLenum mode, std::size_t count);
// Draws one whole primitive from object coordinates, with the matrices and
// state in force.
void SubmitPrimitive(GLenum mode, const ObjectVertex* vertices, std::size_t count);

// gles2_outlines.cpp. One polygon, its corners in order in clip
// coordinates, as its face's polygon mode draws it (culled first when back
// faces are culled).
void EmitPolygonByMode(const Vertex* const* corners, std::size_t count, bool texturable);

// gles2_glyphs.cpp.
void SetRasterPosition(GLfloat x, GLfloat y);
void DrawGlyph(int character);

// gles2_lists.cpp. Calls that lists may hold, as data: what the table
// records or carries out, and what a replay carries out.
enum class ListOp {
    Enable, Disable, BlendFunc, BindTexture, Clear, ClearColor, Colour, TexCoord, Primitive, CallList,
    LoadIdentity, MatrixMode, Ortho, PushMatrix, PopMatrix, Rotate, Scale, Translate, PolygonMode, RasterPos,
    Glyph, Viewport, Scissor, TexParameter, TexImage,
};
struct ListCommand {
    ListOp op;
    GLenum e[3] = {0, 0, 0};        // enums, names, integers
    GLint i[5] = {0, 0, 0, 0, 0};   // sizes, levels, integer parameters
    double d[6] = {0, 0, 0, 0, 0, 0};  // coordinates, colours, angles
    const void* pixels = nullptr;    // TexImage: the image (copied into the list)
    std::size_t first = 0, count = 0;  // Primitive: its vertices in the list
};
// Records the command into the list being compiled and/or carries it out,
// as glNewList's mode says.
void Issue(const ListCommand& command);
GLuint GenerateLists(GLsizei range);
GLboolean IsListName(GLuint list);
void StartList(GLuint list, GLenum mode);
void FinishList();
bool CompilingList();
bool ExecutingCalls();  // false while a list is compiled with GL_COMPILE
// The primitive calls while a list is compiled.
void RecordBegin(GLenum mode);
void RecordVertex(GLfloat x, GLfloat y, GLfloat z);
void RecordEnd();
void RecordColour(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void RecordTexCoord(GLfloat s, GLfloat t);
