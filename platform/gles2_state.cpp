// GL 1.1's state in the GLES2 renderer, where ES 2 differs or the renderer
// must know it: the enables, the blend function, the polygon modes, the
// viewport, textures by the names the program chooses (GL 1.1 makes a
// texture when a new name is bound; ES 2 binds only names it made), and the
// calls that need what is batched drawn first (clear, viewport, scissor,
// framebuffers, uploads, read-back, finish). State that is answered from
// here is kept here: asking WebGL makes the page wait for the browser's
// renderer to catch up with every draw before.

#include "platform/gl_api.h"
#include "platform/gles2.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {
constexpr GLenum GL_UNPACK_ALIGNMENT = 0x0CF5;
constexpr GLenum GL_TEXTURE_WRAP_S = 0x2802;
constexpr GLenum GL_TEXTURE_WRAP_T = 0x2803;
constexpr GLenum GL_NEAREST_MIPMAP_LINEAR = 0x2702;

struct Texture {
    GLuint es = 0;
    GLsizei width = 0, height = 0;  // of level 0; 0 until an image is given
    GLint minFilter = GL_NEAREST_MIPMAP_LINEAR;  // GL's initial one, which needs mipmaps
};

bool Blend = false, Texturing = false, Culling = false, Scissor = false, DepthTest = false;
GLenum Source = GL_ONE, Destination = GL_ZERO;
GLenum FrontMode = GL_FILL, BackMode = GL_FILL;
GLuint BoundName = 0;
std::unordered_map<GLuint, Texture> Textures;  // by the program's names
GLint Viewport[4] = {0, 0, 0, 0};
GLint PackAlignment = 4;
std::vector<std::uint8_t> Rgba;  // read-back of GL_RGB, which ES 2 need not read

Texture& Bound()
{
    Texture& texture = Textures[BoundName];
    if (texture.es == 0)
        Es.glGenTextures(1, &texture.es);
    return texture;
}

bool* Flag(GLenum cap)
{
    switch (cap) {
    case GL_BLEND: return &Blend;
    case GL_TEXTURE_2D: return &Texturing;
    case GL_CULL_FACE: return &Culling;
    case GL_SCISSOR_TEST: return &Scissor;
    case GL_DEPTH_TEST: return &DepthTest;
    default: return nullptr;
    }
}

void SetCap(GLenum cap, bool on)
{
    bool* flag = Flag(cap);
    if (flag == nullptr || *flag == on)
        return;
    *flag = on;
    // The batch holds blending, texturing and culling with its vertices;
    // the scissor and the depth test act on the ES side straight away.
    if (cap == GL_SCISSOR_TEST || cap == GL_DEPTH_TEST) {
        DrawBatch();
        if (on)
            Es.glEnable(cap);
        else
            Es.glDisable(cap);
    }
}

std::size_t RowBytes(GLsizei width, std::size_t perPixel, GLint alignment)
{
    const std::size_t bytes = static_cast<std::size_t>(width) * perPixel;
    const std::size_t align = static_cast<std::size_t>(std::max(1, alignment));
    return (bytes + align - 1) / align * align;
}
}  // namespace

bool StartState()
{
    Blend = Texturing = Culling = Scissor = DepthTest = false;
    Source = GL_ONE;
    Destination = GL_ZERO;
    FrontMode = BackMode = GL_FILL;
    BoundName = 0;
    Textures.clear();
    PackAlignment = 4;
    Es.glGetIntegerv(GL_VIEWPORT, Viewport);  // the context's, as GL starts with it
    return true;
}

void EnableCap(GLenum cap) { SetCap(cap, true); }
void DisableCap(GLenum cap) { SetCap(cap, false); }

GLboolean CapEnabled(GLenum cap)
{
    const bool* flag = Flag(cap);
    return flag != nullptr && *flag ? GL_TRUE : GL_FALSE;
}

void SetBlendFunc(GLenum source, GLenum destination)
{
    Source = source;
    Destination = destination;
}

bool BlendingOn() { return Blend; }
GLenum BlendSource() { return Source; }
GLenum BlendDestination() { return Destination; }
bool CullingOn() { return Culling; }

void SetPolygonMode(GLenum face, GLenum mode)
{
    if (mode != GL_POINT && mode != GL_LINE && mode != GL_FILL)
        return;
    if (face == GL_FRONT || face == GL_FRONT_AND_BACK)
        FrontMode = mode;
    if (face == GL_BACK || face == GL_FRONT_AND_BACK)
        BackMode = mode;
}

GLenum PolygonModeOf(bool frontFace) { return frontFace ? FrontMode : BackMode; }
bool EveryFaceFilled() { return FrontMode == GL_FILL && BackMode == GL_FILL; }

void BindTextureName(GLuint name) { BoundName = name; }

GLuint TextureToDraw()
{
    if (!Texturing)
        return 0;
    const auto found = Textures.find(BoundName);
    if (found == Textures.end())
        return 0;
    const Texture& texture = found->second;
    const bool complete = texture.width > 0 && texture.height > 0 &&
                          (texture.minFilter == GL_NEAREST || texture.minFilter == GL_LINEAR);
    return complete ? texture.es : 0;
}

void UploadTexImage(GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border, GLenum format,
                    GLenum type, const void* pixels)
{
    (void)internalFormat;  // ES 2 takes the format the pixels come in
    if (border != 0 || width < 0 || height < 0)
        return;
    DrawBatch();  // draws already made keep the image they were made with
    Texture& texture = Bound();
    BindEsTexture(texture.es);
    Es.glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(format), width, height, 0, format, type, pixels);
    if (level == 0) {
        texture.width = width;
        texture.height = height;
    }
}

void SetTexParameter(GLenum pname, GLint param)
{
    const bool known = pname == GL_TEXTURE_MIN_FILTER || pname == GL_TEXTURE_MAG_FILTER ||
                       pname == GL_TEXTURE_WRAP_S || pname == GL_TEXTURE_WRAP_T;
    if (!known)
        return;
    DrawBatch();
    Texture& texture = Bound();
    BindEsTexture(texture.es);
    Es.glTexParameteri(GL_TEXTURE_2D, pname, param);
    if (pname == GL_TEXTURE_MIN_FILTER)
        texture.minFilter = param;
}

void SetViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (width < 0 || height < 0)
        return;
    DrawBatch();
    Viewport[0] = x;
    Viewport[1] = y;
    Viewport[2] = width;
    Viewport[3] = height;
    Es.glViewport(x, y, width, height);
}

const GLint* ViewportInForce() { return Viewport; }

void ClipToWindow(const GLfloat* clip, double* window)
{
    window[0] = Viewport[0] + (clip[0] / static_cast<double>(clip[3]) + 1.0) * Viewport[2] / 2.0;
    window[1] = Viewport[1] + (clip[1] / static_cast<double>(clip[3]) + 1.0) * Viewport[3] / 2.0;
}

void SetScissor(GLint x, GLint y, GLsizei width, GLsizei height)
{
    DrawBatch();
    Es.glScissor(x, y, width, height);
}

void SetClearColour(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { Es.glClearColor(r, g, b, a); }

void ClearBuffers(GLbitfield mask)
{
    DrawBatch();
    Es.glClear(mask);
}

void FinishDrawing()
{
    DrawBatch();
    Es.glFinish();
}

void SetPixelStore(GLenum pname, GLint param)
{
    if (pname == GL_PACK_ALIGNMENT)
        PackAlignment = param;
    if (pname == GL_PACK_ALIGNMENT || pname == GL_UNPACK_ALIGNMENT)
        Es.glPixelStorei(pname, param);
}

void ReadFramebuffer(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels)
{
    DrawBatch();
    if (format != GL_RGB || type != GL_UNSIGNED_BYTE || width <= 0 || height <= 0) {
        Es.glReadPixels(x, y, width, height, format, type, pixels);
        return;
    }
    // ES 2 reads RGBA; GL_RGB rows are made from it, in the pack alignment.
    const std::size_t from = RowBytes(width, 4, PackAlignment), to = RowBytes(width, 3, PackAlignment);
    Rgba.resize(from * static_cast<std::size_t>(height));
    Es.glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, Rgba.data());
    auto* out = static_cast<std::uint8_t*>(pixels);
    for (GLsizei row = 0; row < height; ++row)
        for (GLsizei column = 0; column < width; ++column)
            std::copy_n(&Rgba[row * from + column * 4], 3, &out[row * to + column * 3]);
}

void GetInteger(GLenum pname, GLint* data)
{
    switch (pname) {
    case GL_VIEWPORT: std::copy(Viewport, Viewport + 4, data); return;
    case GL_MATRIX_MODE: *data = static_cast<GLint>(MatrixModeInForce()); return;
    case GL_TEXTURE_BINDING_2D: *data = static_cast<GLint>(BoundName); return;
    case GL_BLEND_SRC: *data = static_cast<GLint>(Source); return;
    case GL_BLEND_DST: *data = static_cast<GLint>(Destination); return;
    case GL_POLYGON_MODE:
        data[0] = static_cast<GLint>(FrontMode);
        data[1] = static_cast<GLint>(BackMode);
        return;
    default:
        DrawBatch();
        Es.glGetIntegerv(pname, data);
    }
}

void GetTexLevelParameter(GLint level, GLenum pname, GLint* params)
{
    const auto found = Textures.find(BoundName);
    const bool known = level == 0 && found != Textures.end();
    if (pname == GL_TEXTURE_WIDTH)
        *params = known ? found->second.width : 0;
    else if (pname == GL_TEXTURE_HEIGHT)
        *params = known ? found->second.height : 0;
}

void BindFramebufferObject(GLuint framebuffer)
{
    DrawBatch();
    Es.glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
}
