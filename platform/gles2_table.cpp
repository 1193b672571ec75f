// The GLES2 renderer's GL entry points, which InstallGles2Renderer puts
// into the table of gl_functions.inc. Each call that a display list may hold
// is compiled into the list being defined, carried out, or both, as
// glNewList's mode says; the others (the list commands themselves, queries,
// pixel storage, read-back, finish and framebuffer objects) GL always
// carries out at once.

#include "platform/gl_api.h"
#include "platform/gles2.h"

#include <initializer_list>

namespace {
ListCommand Command(ListOp op, std::initializer_list<GLenum> enums = {}, std::initializer_list<double> numbers = {})
{
    ListCommand command{op};
    int i = 0;
    for (GLenum e : enums)
        command.e[i++] = e;
    i = 0;
    for (double d : numbers)
        command.d[i++] = d;
    return command;
}

ListCommand Integers(ListOp op, std::initializer_list<GLint> integers, std::initializer_list<GLenum> enums = {})
{
    ListCommand command = Command(op, enums);
    int i = 0;
    for (GLint value : integers)
        command.i[i++] = value;
    return command;
}

void ORV_APIENTRY Begin(GLenum mode)
{
    if (CompilingList())
        RecordBegin(mode);
    if (ExecutingCalls())
        BeginPrimitive(mode);
}

void ORV_APIENTRY End()
{
    if (CompilingList())
        RecordEnd();
    if (ExecutingCalls())
        EndPrimitive();
}

void ORV_APIENTRY Vertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    if (CompilingList())
        RecordVertex(x, y, z);
    if (ExecutingCalls())
        AddVertex(x, y, z);
}

void ORV_APIENTRY Color4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    if (CompilingList())
        RecordColour(r, g, b, a);
    if (ExecutingCalls())
        SetColour(r, g, b, a);
}

void ORV_APIENTRY TexCoord2f(GLfloat s, GLfloat t)
{
    if (CompilingList())
        RecordTexCoord(s, t);
    if (ExecutingCalls())
        SetTexCoord(s, t);
}

void ORV_APIENTRY Rectf(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2)
{
    if (CompilingList() && !InsidePrimitive()) {
        RecordBegin(GL_POLYGON);
        RecordVertex(x1, y1, 0.0f);
        RecordVertex(x2, y1, 0.0f);
        RecordVertex(x2, y2, 0.0f);
        RecordVertex(x1, y2, 0.0f);
        RecordEnd();
    }
    if (ExecutingCalls())
        DrawRect(x1, y1, x2, y2);
}

void ORV_APIENTRY TexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                             GLint border, GLenum format, GLenum type, const void* pixels)
{
    ListCommand command = Integers(ListOp::TexImage, {level, internalFormat, width, height, border}, {target, format, type});
    command.pixels = pixels;
    Issue(command);
}

void ORV_APIENTRY GetTexLevelParameteriv(GLenum target, GLint level, GLenum pname, GLint* params)
{
    if (target == GL_TEXTURE_2D)
        GetTexLevelParameter(level, pname, params);
}
}  // namespace

void InstallGles2Renderer()
{
    glBegin = Begin;
    glEnd = End;
    glVertex2f = [](GLfloat x, GLfloat y) { Vertex3f(x, y, 0.0f); };
    glVertex3f = Vertex3f;
    glVertex3fv = [](const GLfloat* v) { Vertex3f(v[0], v[1], v[2]); };
    glColor3f = [](GLfloat r, GLfloat g, GLfloat b) { Color4f(r, g, b, 1.0f); };
    glColor4f = Color4f;
    glTexCoord2f = TexCoord2f;
    glRectf = Rectf;

    glEnable = [](GLenum cap) { Issue(Command(ListOp::Enable, {cap})); };
    glDisable = [](GLenum cap) { Issue(Command(ListOp::Disable, {cap})); };
    glBlendFunc = [](GLenum source, GLenum destination) { Issue(Command(ListOp::BlendFunc, {source, destination})); };
    glBindTexture = [](GLenum target, GLuint texture) { Issue(Command(ListOp::BindTexture, {texture, target})); };
    glTexParameteri = [](GLenum target, GLenum pname, GLint param) {
        Issue(Integers(ListOp::TexParameter, {param}, {pname, target}));
    };
    glTexImage2D = TexImage2D;
    glPolygonMode = [](GLenum face, GLenum mode) { Issue(Command(ListOp::PolygonMode, {face, mode})); };
    glClear = [](GLbitfield mask) { Issue(Command(ListOp::Clear, {mask})); };
    glClearColor = [](GLfloat r, GLfloat g, GLfloat b, GLfloat a) { Issue(Command(ListOp::ClearColor, {}, {r, g, b, a})); };
    glViewport = [](GLint x, GLint y, GLsizei width, GLsizei height) {
        Issue(Integers(ListOp::Viewport, {x, y, width, height}));
    };
    glScissor = [](GLint x, GLint y, GLsizei width, GLsizei height) {
        Issue(Integers(ListOp::Scissor, {x, y, width, height}));
    };

    glMatrixMode = [](GLenum mode) { Issue(Command(ListOp::MatrixMode, {mode})); };
    glLoadIdentity = [] { Issue(Command(ListOp::LoadIdentity)); };
    glOrtho = [](GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
        Issue(Command(ListOp::Ortho, {}, {l, r, b, t, n, f}));
    };
    glPushMatrix = [] { Issue(Command(ListOp::PushMatrix)); };
    glPopMatrix = [] { Issue(Command(ListOp::PopMatrix)); };
    glRotatef = [](GLfloat angle, GLfloat x, GLfloat y, GLfloat z) { Issue(Command(ListOp::Rotate, {}, {angle, x, y, z})); };
    glScalef = [](GLfloat x, GLfloat y, GLfloat z) { Issue(Command(ListOp::Scale, {}, {x, y, z})); };
    glTranslatef = [](GLfloat x, GLfloat y, GLfloat z) { Issue(Command(ListOp::Translate, {}, {x, y, z})); };
    glRasterPos2f = [](GLfloat x, GLfloat y) { Issue(Command(ListOp::RasterPos, {}, {x, y})); };

    glGenLists = GenerateLists;
    glNewList = StartList;
    glEndList = FinishList;
    glIsList = IsListName;
    glCallList = [](GLuint list) { Issue(Command(ListOp::CallList, {list})); };

    glFinish = FinishDrawing;
    glGetIntegerv = GetInteger;
    glGetTexLevelParameteriv = GetTexLevelParameteriv;
    glIsEnabled = CapEnabled;
    glPixelStorei = SetPixelStore;
    glReadPixels = ReadFramebuffer;

    // Framebuffer objects are ES 2's own; only binding one must draw the
    // batch first.
    glBindFramebuffer = [](GLenum, GLuint framebuffer) { BindFramebufferObject(framebuffer); };
    glBindRenderbuffer = [](GLenum target, GLuint renderbuffer) { Es.glBindRenderbuffer(target, renderbuffer); };
    glCheckFramebufferStatus = [](GLenum target) { return Es.glCheckFramebufferStatus(target); };
    glFramebufferRenderbuffer = [](GLenum target, GLenum attachment, GLenum renderbufferTarget, GLuint renderbuffer) {
        Es.glFramebufferRenderbuffer(target, attachment, renderbufferTarget, renderbuffer);
    };
    glGenFramebuffers = [](GLsizei n, GLuint* framebuffers) { Es.glGenFramebuffers(n, framebuffers); };
    glGenRenderbuffers = [](GLsizei n, GLuint* renderbuffers) { Es.glGenRenderbuffers(n, renderbuffers); };
    glRenderbufferStorage = [](GLenum target, GLenum internalFormat, GLsizei width, GLsizei height) {
        Es.glRenderbufferStorage(target, internalFormat, width, height);
    };
}

bool StartGles2Renderer() { return StartDrawing() && StartState(); }

void FlushGles2Renderer() { DrawBatch(); }
