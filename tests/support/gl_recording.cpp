#include "tests/support/gl_recording.h"

#include "platform/gl_api.h"

#include <type_traits>

namespace {
std::vector<GlCall> Calls;
GLuint NextListName = 1;
std::string CreatedWindowTitle;

template <typename T>
void AppendArgument(std::vector<double>& args, T value)
{
    if constexpr (std::is_arithmetic_v<T>)
        args.push_back(static_cast<double>(value));
    else if constexpr (std::is_same_v<T, const GLfloat*>) {
        for (int i = 0; i < 3; ++i)
            args.push_back(value[i]);
    }
}

template <typename... Args>
void Record(const char* name, Args... values)
{
    GlCall call{name, {}};
    (AppendArgument(call.args, values), ...);
    Calls.push_back(std::move(call));
}

#define GL_FUNCTION(ret, name, params, args) \
    ret ORV_APIENTRY Record_##name params    \
    {                                        \
        [](auto... values) { Record(#name, values...); } args; \
        return ret();                        \
    }
#define GLUT_FUNCTION GL_FUNCTION
#include "platform/gl_functions.inc"
#undef GL_FUNCTION
#undef GLUT_FUNCTION

GLuint ORV_APIENTRY RecordGenLists(GLsizei range)
{
    Record("glGenLists", range);
    GLuint base = NextListName;
    NextListName += static_cast<GLuint>(range);
    return base;
}
int ORV_APIENTRY RecordCreateWindow(const char* title)
{
    Record("glutCreateWindow");
    CreatedWindowTitle = title;
    return 1;
}
}  // namespace

void InstallRecordingGl()
{
#define GL_FUNCTION(ret, name, params, args) name = Record_##name;
#define GLUT_FUNCTION GL_FUNCTION
#include "platform/gl_functions.inc"
#undef GL_FUNCTION
#undef GLUT_FUNCTION
    glGenLists = RecordGenLists;
    glutCreateWindow = RecordCreateWindow;
    NextListName = 1;
    CreatedWindowTitle.clear();
    Calls.clear();
}

const std::vector<GlCall>& RecordedGlCalls() { return Calls; }
const std::string& RecordedWindowTitle() { return CreatedWindowTitle; }
void ClearRecordedGlCalls() { Calls.clear(); }

std::vector<GlCall> RecordedCallsNamed(const std::string& name)
{
    std::vector<GlCall> named;
    for (const GlCall& call : Calls)
        if (call.name == name)
            named.push_back(call);
    return named;
}
