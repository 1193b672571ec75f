// The GLES2 renderer's ES 2 entry points on the page: the toolchain's WebGL
// functions, linked by their names. Only this unit includes the
// toolchain's GL header, whose functions carry the names that the show's
// own GL table (gl_api.h) uses for its pointers.

#include <GLES2/gl2.h>

#include "platform/gles2.h"

Gles2Functions Es;

bool LoadGles2Functions(void* (*)(const char* name))
{
#define GLES2_FUNCTION(ret, name, params) Es.name = &::name;
#include "platform/gles2_functions.inc"
#undef GLES2_FUNCTION
    return true;
}
