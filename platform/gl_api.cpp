#include "platform/gl_api.h"

namespace {

template <typename... Args>
void IgnoreArguments(const Args&...) {}

// Stand-ins for entry points that a loaded library lacks: they do nothing
// and return 0, so a missing function is never called through null.
#define GL_FUNCTION(ret, name, params, args) \
    ret ORV_APIENTRY Missing_##name params   \
    {                                        \
        IgnoreArguments args;                \
        return ret();                        \
    }
#define GLUT_FUNCTION GL_FUNCTION
#include "platform/gl_functions.inc"
#undef GL_FUNCTION
#undef GLUT_FUNCTION

}  // namespace

#define GL_FUNCTION(ret, name, params, args) ret(ORV_APIENTRY* name) params = Missing_##name;
#define GLUT_FUNCTION GL_FUNCTION
#include "platform/gl_functions.inc"
#undef GL_FUNCTION
#undef GLUT_FUNCTION

void* GLUT_BITMAP_TIMES_ROMAN_24 = nullptr;

void ResetGraphicsEntryPoints()
{
#define GL_FUNCTION(ret, name, params, args) name = Missing_##name;
#define GLUT_FUNCTION GL_FUNCTION
#include "platform/gl_functions.inc"
#undef GL_FUNCTION
#undef GLUT_FUNCTION
    GLUT_BITMAP_TIMES_ROMAN_24 = nullptr;
}
