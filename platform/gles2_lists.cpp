// Display lists in the GLES2 renderer. A list holds its calls as data: its
// primitives as vertex data (consecutive primitives of one separable kind
// joined into one), every other call as a command with its arguments. A
// replay carries the commands out in order, each primitive going to the
// batch whole, so that the sphere's 128 triangles are one primitive, and the
// ring, the square and the sphere add no draw of their own.
//
// A vertex takes the colour and texture coordinate current at its glVertex.
// While a list is compiled that is known only after a glColor (glTexCoord)
// of the list's own and until it calls another list; before, the vertex
// takes the one current at the replay, as GL's does.

#include "platform/gl_api.h"
#include "platform/gles2.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

namespace {
constexpr GLenum GL_LUMINANCE = 0x1909;
constexpr GLenum GL_LUMINANCE_ALPHA = 0x190A;
constexpr GLenum GL_ALPHA = 0x1906;
constexpr int MaxListNesting = 64;  // GL's minimum for GL_MAX_LIST_NESTING

// A primitive's flags: it set the colour (texture coordinate) that is
// current after it; the values are in the command's d[0..3] (d[4..5]).
constexpr GLenum SetsColour = 1;
constexpr GLenum SetsTexCoord = 2;

struct ListVertex {
    ObjectVertex vertex;
    bool ownColour, ownTexCoord;  // false: the one current at the replay
};

struct List {
    std::vector<ListCommand> commands;
    std::vector<ListVertex> vertices;
    std::vector<std::vector<unsigned char>> images;  // glTexImage2D's pixels, copied
};

std::map<GLuint, List> Lists;  // every name in use
GLuint Compiling = 0;          // 0: no list is being compiled
GLenum CompileMode = GL_COMPILE;
List Compiled;  // replaces the list's contents at glEndList

// What the list being compiled knows of the current attributes.
bool ColourKnown = false, TexCoordKnown = false;
GLfloat ListColour[4] = {1, 1, 1, 1};
GLfloat ListTexCoord[2] = {0, 0};
bool RecordingPrimitive = false;
ListCommand Primitive{ListOp::Primitive};

int ReplayDepth = 0;
std::vector<ObjectVertex> Replayed;

bool Separable(GLenum mode) { return mode == GL_POINTS || mode == GL_LINES || mode == GL_TRIANGLES || mode == GL_QUADS; }

std::size_t ImageBytes(GLsizei width, GLsizei height, GLenum format, GLenum type)
{
    if (type != GL_UNSIGNED_BYTE || width <= 0 || height <= 0)
        return 0;
    const std::size_t components = format == GL_RGBA ? 4 : format == GL_RGB ? 3 : format == GL_LUMINANCE_ALPHA ? 2
                                 : format == GL_LUMINANCE || format == GL_ALPHA ? 1 : 0;
    const std::size_t row = (static_cast<std::size_t>(width) * components + 3) / 4 * 4;  // GL's unpack alignment of 4
    return row * static_cast<std::size_t>(height);
}

void Record(const ListCommand& command)
{
    ListCommand recorded = command;
    if (command.op == ListOp::TexImage) {
        const std::size_t bytes = ImageBytes(command.i[2], command.i[3], command.e[1], command.e[2]);
        if (command.pixels != nullptr && bytes > 0) {
            const auto* pixels = static_cast<const unsigned char*>(command.pixels);
            Compiled.images.emplace_back(pixels, pixels + bytes);
            recorded.pixels = Compiled.images.back().data();
        } else {
            recorded.pixels = nullptr;
        }
    }
    if (command.op == ListOp::CallList)
        ColourKnown = TexCoordKnown = false;  // the called list may set them
    Compiled.commands.push_back(recorded);
}

void CallDisplayList(GLuint list);

void ReplayPrimitive(const List& list, const ListCommand& command)
{
    if (InsidePrimitive())
        return;  // a list called between glBegin and glEnd: the show never does
    Replayed.resize(command.count);
    const GLfloat* colour = CurrentColour();
    const GLfloat* texCoord = CurrentTexCoord();
    for (std::size_t i = 0; i < command.count; ++i) {
        const ListVertex& v = list.vertices[command.first + i];
        Replayed[i] = v.vertex;
        if (!v.ownColour)
            std::memcpy(Replayed[i].colour, colour, sizeof(Replayed[i].colour));
        if (!v.ownTexCoord)
            std::memcpy(Replayed[i].texCoord, texCoord, sizeof(Replayed[i].texCoord));
    }
    SubmitPrimitive(command.e[0], Replayed.data(), Replayed.size());
    const double* d = command.d;
    if (command.e[1] & SetsColour)
        SetColour(static_cast<GLfloat>(d[0]), static_cast<GLfloat>(d[1]), static_cast<GLfloat>(d[2]),
                  static_cast<GLfloat>(d[3]));
    if (command.e[1] & SetsTexCoord)
        SetTexCoord(static_cast<GLfloat>(d[4]), static_cast<GLfloat>(d[5]));
}

GLfloat F(double value) { return static_cast<GLfloat>(value); }

// Carries a command out; `list` holds the vertices of a replayed primitive.
void Carry(const ListCommand& c, const List* list)
{
    const double* d = c.d;
    switch (c.op) {
    case ListOp::Enable: EnableCap(c.e[0]); break;
    case ListOp::Disable: DisableCap(c.e[0]); break;
    case ListOp::BlendFunc: SetBlendFunc(c.e[0], c.e[1]); break;
    case ListOp::BindTexture:
        if (c.e[1] == GL_TEXTURE_2D)
            BindTextureName(c.e[0]);
        break;
    case ListOp::Clear: ClearBuffers(c.e[0]); break;
    case ListOp::ClearColor: SetClearColour(F(d[0]), F(d[1]), F(d[2]), F(d[3])); break;
    case ListOp::Colour: SetColour(F(d[0]), F(d[1]), F(d[2]), F(d[3])); break;
    case ListOp::TexCoord: SetTexCoord(F(d[0]), F(d[1])); break;
    case ListOp::Primitive:
        if (list != nullptr)
            ReplayPrimitive(*list, c);
        break;
    case ListOp::CallList: CallDisplayList(c.e[0]); break;
    case ListOp::LoadIdentity: LoadIdentityMatrix(); break;
    case ListOp::MatrixMode: SetMatrixMode(c.e[0]); break;
    case ListOp::Ortho: MultiplyOrtho(d[0], d[1], d[2], d[3], d[4], d[5]); break;
    case ListOp::PushMatrix: PushMatrix(); break;
    case ListOp::PopMatrix: PopMatrix(); break;
    case ListOp::Rotate: MultiplyRotation(d[0], d[1], d[2], d[3]); break;
    case ListOp::Scale: MultiplyScale(d[0], d[1], d[2]); break;
    case ListOp::Translate: MultiplyTranslation(d[0], d[1], d[2]); break;
    case ListOp::PolygonMode: SetPolygonMode(c.e[0], c.e[1]); break;
    case ListOp::RasterPos: SetRasterPosition(F(d[0]), F(d[1])); break;
    case ListOp::Glyph: DrawGlyph(static_cast<int>(c.e[0])); break;
    case ListOp::Viewport: SetViewport(c.i[0], c.i[1], c.i[2], c.i[3]); break;
    case ListOp::Scissor: SetScissor(c.i[0], c.i[1], c.i[2], c.i[3]); break;
    case ListOp::TexParameter:
        if (c.e[1] == GL_TEXTURE_2D)
            SetTexParameter(c.e[0], c.i[0]);
        break;
    case ListOp::TexImage:
        if (c.e[0] == GL_TEXTURE_2D)
            UploadTexImage(c.i[0], c.i[1], c.i[2], c.i[3], c.i[4], c.e[1], c.e[2], c.pixels);
        break;
    }
}

void CallDisplayList(GLuint list)
{
    const auto found = Lists.find(list);
    if (found == Lists.end() || ReplayDepth >= MaxListNesting)
        return;
    ++ReplayDepth;
    // By index, and from the list as it stands: a list that calls itself
    // while compiled with GL_COMPILE_AND_EXECUTE grows Compiled, never this.
    const List& contents = found->second;
    for (std::size_t i = 0; i < contents.commands.size(); ++i)
        Carry(contents.commands[i], &contents);
    --ReplayDepth;
}
}  // namespace

void Issue(const ListCommand& command)
{
    if (Compiling != 0) {
        Record(command);
        if (CompileMode == GL_COMPILE)
            return;
    }
    Carry(command, nullptr);
}

GLuint GenerateLists(GLsizei range)
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

GLboolean IsListName(GLuint list) { return Lists.count(list) != 0 ? GL_TRUE : GL_FALSE; }

void StartList(GLuint list, GLenum mode)
{
    if (list == 0 || Compiling != 0 || (mode != GL_COMPILE && mode != GL_COMPILE_AND_EXECUTE))
        return;  // GL's errors, which nothing reads
    Compiling = list;
    CompileMode = mode;
    Compiled = List{};
    ColourKnown = TexCoordKnown = false;
    RecordingPrimitive = false;
}

void FinishList()
{
    if (Compiling == 0)
        return;
    RecordEnd();
    Lists[Compiling] = std::move(Compiled);
    Compiled = List{};
    Compiling = 0;
}

bool CompilingList() { return Compiling != 0; }
bool ExecutingCalls() { return Compiling == 0 || CompileMode == GL_COMPILE_AND_EXECUTE; }

void RecordBegin(GLenum mode)
{
    if (RecordingPrimitive || mode > GL_POLYGON)
        return;
    RecordingPrimitive = true;
    Primitive = ListCommand{ListOp::Primitive, {mode, 0}};
    Primitive.first = Compiled.vertices.size();
}

void RecordVertex(GLfloat x, GLfloat y, GLfloat z)
{
    if (!RecordingPrimitive)
        return;
    ListVertex v{{{x, y, z}, {ListTexCoord[0], ListTexCoord[1]}, {ListColour[0], ListColour[1], ListColour[2], ListColour[3]}},
                 ColourKnown, TexCoordKnown};
    Compiled.vertices.push_back(v);
}

void RecordEnd()
{
    if (!RecordingPrimitive)
        return;
    RecordingPrimitive = false;
    const GLenum mode = Primitive.e[0];
    Primitive.count = DrawnVertices(mode, Compiled.vertices.size() - Primitive.first);
    Compiled.vertices.resize(Primitive.first + Primitive.count);
    // A primitive of a separable kind right after one of the same kind goes
    // on in it: together they draw the same as apart.
    std::vector<ListCommand>& commands = Compiled.commands;
    ListCommand* previous = commands.empty() ? nullptr : &commands.back();
    if (previous != nullptr && previous->op == ListOp::Primitive && previous->e[0] == mode && Separable(mode) &&
        previous->first + previous->count == Primitive.first) {
        previous->count += Primitive.count;
        if (Primitive.e[1] & SetsColour)
            std::copy(Primitive.d, Primitive.d + 4, previous->d);
        if (Primitive.e[1] & SetsTexCoord)
            std::copy(Primitive.d + 4, Primitive.d + 6, previous->d + 4);
        previous->e[1] |= Primitive.e[1];
        return;
    }
    commands.push_back(Primitive);
}

void RecordColour(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    const GLfloat colour[4] = {std::clamp(r, 0.0f, 1.0f), std::clamp(g, 0.0f, 1.0f), std::clamp(b, 0.0f, 1.0f),
                               std::clamp(a, 0.0f, 1.0f)};
    std::copy(colour, colour + 4, ListColour);
    ColourKnown = true;
    if (RecordingPrimitive) {
        std::copy(colour, colour + 4, Primitive.d);
        Primitive.e[1] |= SetsColour;
    } else {
        Record({ListOp::Colour, {}, {}, {colour[0], colour[1], colour[2], colour[3]}});
    }
}

void RecordTexCoord(GLfloat s, GLfloat t)
{
    ListTexCoord[0] = s;
    ListTexCoord[1] = t;
    TexCoordKnown = true;
    if (RecordingPrimitive) {
        Primitive.d[4] = s;
        Primitive.d[5] = t;
        Primitive.e[1] |= SetsTexCoord;
    } else {
        Record({ListOp::TexCoord, {}, {}, {s, t}});
    }
}
