// The GLES2 renderer's ES 2 entry points, looked up by name: natively the
// test's EGL hands them out (eglGetProcAddress, which on Mesa answers for
// core functions too).

#include "platform/gles2.h"

Gles2Functions Es;

bool LoadGles2Functions(void* (*lookup)(const char* name))
{
    bool complete = true;
#define GLES2_FUNCTION(ret, name, params)                           \
    Es.name = reinterpret_cast<decltype(Es.name)>(lookup(#name)); \
    complete = complete && Es.name != nullptr;
#include "platform/gles2_functions.inc"
#undef GLES2_FUNCTION
    return complete;
}
