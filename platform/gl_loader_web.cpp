// The page's GL table. GL and GLUT are linked into the page, not loaded by
// name: the toolchain emulates OpenGL 1.1 on WebGL and GLUT on the canvas.
// Every entry point of gl_functions.inc is bound here, either to the
// toolchain's function or to one of the web units' fill-ins. Display lists,
// which the toolchain lacks, are recorded and replayed here, and texture
// names the program chooses itself are given WebGL textures here.

#include "platform/gl_loader.h"

#include "platform/gl_web.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string_view>
#include <type_traits>
#include <vector>

bool GlAvailable = false;
bool GlutAvailable = false;

namespace {

// Entry points that the toolchain lacks or has only as an empty stub. The
// ones the show draws with get a fill-in below; the capture tool's and the
// desktop window watch's keep their stand-ins.
constexpr std::string_view ToolchainLacks[] = {
    "glCallList", "glEndList", "glGenLists", "glIsList", "glNewList", "glPolygonMode", "glRasterPos2f",
    "glRectf", "glGetTexImage", "glXGetCurrentDrawable", "glutBitmapCharacter", "glutHideWindow",
    "glutMainLoopEvent", "glutSetOption",
};

// GL carries these out at once even while a list is being compiled: the list
// commands themselves, queries, pixel storage and framebuffer objects.
constexpr std::string_view ExecutedAtOnce[] = {
    "glNewList", "glEndList", "glGenLists", "glIsList", "glFinish", "glGetIntegerv", "glGetTexImage",
    "glGetTexLevelParameteriv", "glIsEnabled", "glPixelStorei", "glReadPixels", "glXGetCurrentDrawable",
    "glBindFramebuffer", "glBindRenderbuffer", "glCheckFramebufferStatus", "glFramebufferRenderbuffer",
    "glGenFramebuffers", "glGenRenderbuffers", "glRenderbufferStorage",
};

constexpr bool Listed(const std::string_view* names, std::size_t count, std::string_view name)
{
    for (std::size_t i = 0; i < count; ++i)
        if (names[i] == name)
            return true;
    return false;
}
template <std::size_t N>
constexpr bool Listed(const std::string_view (&names)[N], std::string_view name)
{
    return Listed(names, N, name);
}

// Takes the toolchain's function unless it lacks it. The function is named
// only inside a template that is instantiated for the ones it has, so the
// ones it lacks are never imported (an import it cannot satisfy fails the
// link).
template <bool Lacking, typename Function, typename Get>
void BindToolchain(Function& entryPoint, Get get)
{
    if constexpr (!Lacking)
        entryPoint = get(0);
}

// What carries out each GL call that is not only compiled into a list:
// Carry holds the toolchain's function or a fill-in; Execute first draws the
// primitives gathered so far (gl_immediate_web.cpp), except for the calls
// that build primitives.
struct Executors {
#define GL_FUNCTION(ret, name, params, args) ret(*name) params;
#include "platform/gl_functions.inc"
#undef GL_FUNCTION
} Carry, Execute;

#define GL_FUNCTION(ret, name, params, args) \
    ret ORV_APIENTRY Gathered_##name params  \
    {                                        \
        DrawGathered();                      \
        return Carry.name args;              \
    }
#include "platform/gl_functions.inc"
#undef GL_FUNCTION

// Display lists. A list holds its calls with their arguments; replaying it
// runs them through Execute, so lists called from lists nest, and a list
// that calls another takes that one's contents as they are when it runs.
using Command = std::function<void()>;
std::map<GLuint, std::vector<Command>> Lists;  // every name in use
GLuint Compiling = 0;                          // 0: no list is being compiled
GLenum CompileMode = GL_COMPILE;
std::vector<Command> Compiled;  // replaces the list's contents at glEndList
int ReplayDepth = 0;
constexpr int MaxListNesting = 64;  // GL's minimum for GL_MAX_LIST_NESTING
constexpr GLenum GL_COMPILE_AND_EXECUTE = 0x1301;

bool Recording(std::string_view name) { return Compiling != 0 && !Listed(ExecutedAtOnce, name); }

template <typename Ret, typename... Params, typename... Values>
void Record(Ret (*execute)(Params...), Values... values)
{
    if constexpr (std::is_void_v<Ret> && !(std::is_pointer_v<Values> || ...))
        Compiled.push_back([=] { execute(values...); });
    else
        std::abort();  // a query, or a call whose pointer must be copied: never recorded this way
}

#define GL_FUNCTION(ret, name, params, args)                                  \
    ret ORV_APIENTRY Web_##name params                                        \
    {                                                                         \
        if (Recording(#name)) {                                               \
            [](auto... values) { Record(Execute.name, values...); } args;     \
            if (CompileMode == GL_COMPILE)                                    \
                return ret();                                                 \
        }                                                                     \
        return Execute.name args;                                             \
    }
#include "platform/gl_functions.inc"
#undef GL_FUNCTION

// The two calls with a pointer that lists may hold: what it points at is
// copied while the list is compiled.
void CopyingVertex3fv(const GLfloat* v)
{
    if (Recording("glVertex3fv")) {
        const GLfloat x = v[0], y = v[1], z = v[2];
        Compiled.push_back([=] { AddVertex(x, y, z); });
        if (CompileMode == GL_COMPILE)
            return;
    }
    AddVertex(v[0], v[1], v[2]);
}

std::size_t PixelBytes(GLsizei width, GLsizei height, GLenum format)
{
    const std::size_t perPixel = format == GL_RGBA ? 4 : format == GL_RGB ? 3 : 1;
    const std::size_t row = (width * perPixel + 3) / 4 * 4;  // rows start on 4 bytes, GL's default unpack alignment
    return row * static_cast<std::size_t>(height);
}

void CopyingTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                       GLint border, GLenum format, GLenum type, const void* pixels)
{
    if (Recording("glTexImage2D")) {
        std::vector<unsigned char> copy;
        if (pixels != nullptr && width > 0 && height > 0) {
            copy.resize(PixelBytes(width, height, format));
            std::memcpy(copy.data(), pixels, copy.size());
        }
        Compiled.push_back([=] {
            Execute.glTexImage2D(target, level, internalFormat, width, height, border, format, type,
                                 copy.empty() ? nullptr : copy.data());
        });
        if (CompileMode == GL_COMPILE)
            return;
    }
    Execute.glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

// GL 1.1 lets a program choose its texture names and make a texture by
// binding a name (the show does: 20 to 26); WebGL binds only textures it
// made. Each name the program binds gets one of the toolchain's the first
// time.
std::map<GLuint, GLuint> TextureNames;

void BindTexture(GLenum target, GLuint texture)
{
    if (texture != 0) {
        GLuint& made = TextureNames[texture];
        if (made == 0)
            Toolchain_glGenTextures(1, &made);
        texture = made;
    }
    Toolchain_glBindTexture(target, texture);
}

GLuint GenLists(GLsizei range)
{
    if (range <= 0)
        return 0;
    // The first run of `range` unused names.
    GLuint base = 1;
    for (auto it = Lists.lower_bound(base); it != Lists.end() && it->first < base + range; it = Lists.lower_bound(base))
        base = it->first + 1;
    for (GLuint name = base; name < base + static_cast<GLuint>(range); ++name)
        Lists[name];
    return base;
}

GLboolean IsList(GLuint list) { return Lists.count(list) != 0 ? GL_TRUE : GL_FALSE; }

void NewList(GLuint list, GLenum mode)
{
    if (list == 0 || Compiling != 0 || (mode != GL_COMPILE && mode != GL_COMPILE_AND_EXECUTE))
        return;  // GL's errors, which nothing reads
    Compiling = list;
    CompileMode = mode;
    Compiled.clear();
}

void EndList()
{
    if (Compiling == 0)
        return;
    Lists[Compiling] = std::move(Compiled);
    Compiled.clear();
    Compiling = 0;
}

void CallList(GLuint list)
{
    const auto found = Lists.find(list);
    if (found == Lists.end() || ReplayDepth >= MaxListNesting)
        return;
    ++ReplayDepth;
    // By index: a list that calls itself while being compiled with
    // GL_COMPILE_AND_EXECUTE grows Compiled, never this vector.
    const std::vector<Command>& commands = found->second;
    for (std::size_t i = 0; i < commands.size(); ++i)
        commands[i]();
    --ReplayDepth;
}

void BindGl()
{
    // The stand-ins first, so that an entry point neither the toolchain nor
    // a fill-in provides stays harmless.
#define GL_FUNCTION(ret, name, params, args) \
    Carry.name = name;                       \
    BindToolchain<Listed(ToolchainLacks, #name)>(Carry.name, [](auto) { return &Toolchain_##name; });
#include "platform/gl_functions.inc"
#undef GL_FUNCTION
    Carry.glBindTexture = BindTexture;
    Carry.glGenLists = GenLists;
    Carry.glIsList = IsList;
    Carry.glNewList = NewList;
    Carry.glEndList = EndList;
    Carry.glCallList = CallList;
    Carry.glRasterPos2f = SetRasterPos;
    Carry.glViewport = SetViewport;

#define GL_FUNCTION(ret, name, params, args) Execute.name = Gathered_##name;
#include "platform/gl_functions.inc"
#undef GL_FUNCTION
    // The calls that build primitives, or change what the next one takes.
    Execute.glBegin = BeginPrimitive;
    Execute.glEnd = EndPrimitive;
    Execute.glVertex2f = [](GLfloat x, GLfloat y) { AddVertex(x, y, 0.0f); };
    Execute.glVertex3f = AddVertex;
    Execute.glVertex3fv = [](const GLfloat* v) { AddVertex(v[0], v[1], v[2]); };
    Execute.glTexCoord2f = SetTexCoord;
    Execute.glColor3f = [](GLfloat r, GLfloat g, GLfloat b) { SetColour(r, g, b, 1.0f); };
    Execute.glColor4f = SetColour;
    Execute.glPolygonMode = SetPolygonMode;
    Execute.glRectf = DrawRect;
    // Replaying a list makes its own calls, through Execute.
    Execute.glCallList = CallList;

#define GL_FUNCTION(ret, name, params, args) name = Web_##name;
#include "platform/gl_functions.inc"
#undef GL_FUNCTION
    glVertex3fv = CopyingVertex3fv;
    glTexImage2D = CopyingTexImage2D;
}

void BindGlut()
{
#define GLUT_FUNCTION(ret, name, params, args) \
    BindToolchain<Listed(ToolchainLacks, #name)>(name, [](auto) { return &Toolchain_##name; });
#include "platform/gl_functions.inc"
#undef GLUT_FUNCTION
    glutBitmapCharacter = DrawBitmapCharacter;
    GLUT_BITMAP_TIMES_ROMAN_24 = ReadoutFont();
    // The frame ends here: what is gathered belongs to it.
    glutSwapBuffers = [] {
        DrawGathered();
        Toolchain_glutSwapBuffers();
    };
}

}  // namespace

const std::vector<const char*>& GlLibraryNames()
{
    static const std::vector<const char*> names;  // linked into the page, never loaded by name
    return names;
}

const std::vector<const char*>& GlutLibraryNames() { return GlLibraryNames(); }

bool LoadGlLibrary(const std::vector<const char*>&)
{
    if (!GlAvailable)
        BindGl();  // once: binding again would make the table call itself
    GlAvailable = true;
    return true;
}

bool LoadGlutLibrary(const std::vector<const char*>&)
{
    if (!GlutAvailable)
        BindGlut();  // once: the page's program may have wrapped some since
    GlutAvailable = true;
    return true;
}

void LoadGraphicsLibraries()
{
    LoadGlLibrary(GlLibraryNames());
    LoadGlutLibrary(GlutLibraryNames());
}
