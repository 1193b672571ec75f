// The GLES2 renderer's drawing: one small shader pair, compiled as two
// programs (the colour alone, or the colour times the texture, as GL 1.1's
// default texture environment GL_MODULATE gives it), one vertex buffer, and
// the batch of vertices that waits for the GPU state it needs. GPU state is
// set only where it differs from what the last draw left: every WebGL call
// costs the page far more than a vertex does.

#include "platform/gl_api.h"
#include "platform/gles2.h"

#include <cstddef>
#include <vector>

namespace {
constexpr GLenum GL_ARRAY_BUFFER = 0x8892;
constexpr GLenum GL_STREAM_DRAW = 0x88E0;
constexpr GLenum GL_FLOAT = 0x1406;
constexpr GLenum GL_VERTEX_SHADER = 0x8B31;
constexpr GLenum GL_FRAGMENT_SHADER = 0x8B30;
constexpr GLenum GL_COMPILE_STATUS = 0x8B81;
constexpr GLenum GL_LINK_STATUS = 0x8B82;

const char* const VertexShader = R"(
attribute vec4 position;
attribute vec2 texCoord;
attribute vec4 colour;
varying vec2 fragmentTexCoord;
varying vec4 fragmentColour;
void main()
{
    gl_Position = position;
    gl_PointSize = 1.0;
    fragmentTexCoord = texCoord;
    fragmentColour = colour;
}
)";

// High precision where there is any: a picture of 512 texels needs more
// than half floats give its coordinates.
const char* const FragmentShader = R"(
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
varying vec2 fragmentTexCoord;
varying vec4 fragmentColour;
#ifdef TEXTURED
uniform sampler2D picture;
#endif
void main()
{
#ifdef TEXTURED
    gl_FragColor = fragmentColour * texture2D(picture, fragmentTexCoord);
#else
    gl_FragColor = fragmentColour;
#endif
}
)";

enum Attribute : GLuint { PositionAttribute, TexCoordAttribute, ColourAttribute };

// What a run of vertices needs from the GPU besides the vertices.
struct DrawKey {
    Primitives kind = Primitives::Triangles;
    GLuint texture = 0;  // 0: untextured
    bool blend = false;
    GLenum source = GL_ONE, destination = GL_ZERO;  // GL_ONE, GL_ZERO while blending is off
    bool cull = false;

    bool operator==(const DrawKey& other) const
    {
        return kind == other.kind && texture == other.texture && blend == other.blend && source == other.source &&
               destination == other.destination && cull == other.cull;
    }
};

GLuint PlainProgram = 0;
GLuint TexturedProgram = 0;
std::vector<Vertex> Batch;
DrawKey BatchKey;

// What the GPU was last left with.
GLuint ProgramInUse = 0;
GLuint TextureBound = 0;
DrawKey Applied;

GLuint Compile(GLenum type, const char* prelude)
{
    const GLuint shader = Es.glCreateShader(type);
    const GLchar* sources[] = {prelude, type == GL_VERTEX_SHADER ? VertexShader : FragmentShader};
    Es.glShaderSource(shader, 2, sources, nullptr);
    Es.glCompileShader(shader);
    GLint compiled = 0;
    Es.glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    return compiled ? shader : 0;
}

GLuint Link(const char* prelude)
{
    const GLuint vertex = Compile(GL_VERTEX_SHADER, "");
    const GLuint fragment = Compile(GL_FRAGMENT_SHADER, prelude);
    if (vertex == 0 || fragment == 0)
        return 0;
    const GLuint program = Es.glCreateProgram();
    Es.glAttachShader(program, vertex);
    Es.glAttachShader(program, fragment);
    // One vertex layout for both programs, so that the buffer's attributes
    // are set once.
    Es.glBindAttribLocation(program, PositionAttribute, "position");
    Es.glBindAttribLocation(program, TexCoordAttribute, "texCoord");
    Es.glBindAttribLocation(program, ColourAttribute, "colour");
    Es.glLinkProgram(program);
    GLint linked = 0;
    Es.glGetProgramiv(program, GL_LINK_STATUS, &linked);
    return linked ? program : 0;
}

void SetCapability(GLenum cap, bool on, bool& applied)
{
    if (on == applied)
        return;
    applied = on;
    if (on)
        Es.glEnable(cap);
    else
        Es.glDisable(cap);
}

void Apply(const DrawKey& key)
{
    const GLuint program = key.texture != 0 ? TexturedProgram : PlainProgram;
    if (program != ProgramInUse) {
        Es.glUseProgram(program);
        ProgramInUse = program;
    }
    if (key.texture != 0)
        BindEsTexture(key.texture);
    SetCapability(GL_BLEND, key.blend, Applied.blend);
    if (key.blend && (key.source != Applied.source || key.destination != Applied.destination)) {
        Es.glBlendFunc(key.source, key.destination);
        Applied.source = key.source;
        Applied.destination = key.destination;
    }
    SetCapability(GL_CULL_FACE, key.cull, Applied.cull);
}
}  // namespace

bool StartDrawing()
{
    PlainProgram = Link("");
    TexturedProgram = Link("#define TEXTURED\n");
    if (PlainProgram == 0 || TexturedProgram == 0)
        return false;
    Es.glUseProgram(TexturedProgram);
    Es.glUniform1i(Es.glGetUniformLocation(TexturedProgram, "picture"), 0);
    ProgramInUse = TexturedProgram;

    GLuint buffer = 0;
    Es.glGenBuffers(1, &buffer);
    Es.glBindBuffer(GL_ARRAY_BUFFER, buffer);
    const auto offset = [](std::size_t bytes) { return reinterpret_cast<const void*>(bytes); };
    Es.glVertexAttribPointer(PositionAttribute, 4, GL_FLOAT, GL_FALSE, sizeof(Vertex), offset(offsetof(Vertex, clip)));
    Es.glVertexAttribPointer(TexCoordAttribute, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                             offset(offsetof(Vertex, texCoord)));
    Es.glVertexAttribPointer(ColourAttribute, 4, GL_FLOAT, GL_FALSE, sizeof(Vertex), offset(offsetof(Vertex, colour)));
    Es.glEnableVertexAttribArray(PositionAttribute);
    Es.glEnableVertexAttribArray(TexCoordAttribute);
    Es.glEnableVertexAttribArray(ColourAttribute);

    // GL's initial state, which a fresh context has too.
    Applied = DrawKey{};
    TextureBound = 0;
    Batch.clear();
    return true;
}

void Emit(Primitives kind, bool texturable, const Vertex* vertices, std::size_t count)
{
    if (count == 0)
        return;
    DrawKey key;
    key.kind = kind;
    key.texture = texturable ? TextureToDraw() : 0;
    key.blend = BlendingOn();
    if (key.blend) {
        key.source = BlendSource();
        key.destination = BlendDestination();
    }
    key.cull = kind == Primitives::Triangles && CullingOn();
    if (!Batch.empty() && !(key == BatchKey))
        DrawBatch();
    BatchKey = key;
    Batch.insert(Batch.end(), vertices, vertices + count);
}

void DrawBatch()
{
    if (Batch.empty())
        return;
    Apply(BatchKey);
    Es.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(Batch.size() * sizeof(Vertex)), Batch.data(),
                    GL_STREAM_DRAW);
    const GLenum mode = BatchKey.kind == Primitives::Triangles ? GL_TRIANGLES
                      : BatchKey.kind == Primitives::Lines     ? GL_LINES
                                                               : GL_POINTS;
    Es.glDrawArrays(mode, 0, static_cast<GLsizei>(Batch.size()));
    Batch.clear();
}

void BindEsTexture(GLuint texture)
{
    if (texture == TextureBound)
        return;
    Es.glBindTexture(GL_TEXTURE_2D, texture);
    TextureBound = texture;
}
