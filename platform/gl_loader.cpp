#include "platform/gl_loader.h"

#include "platform/gl_api.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

bool GlAvailable = false;
bool GlutAvailable = false;

namespace {

#if defined(_WIN32)
using LibraryHandle = HMODULE;
LibraryHandle OpenLibrary(const char* name) { return LoadLibraryA(name); }
void* FindSymbol(LibraryHandle library, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(library, name));
}
#else
using LibraryHandle = void*;
LibraryHandle OpenLibrary(const char* name) { return dlopen(name, RTLD_NOW | RTLD_GLOBAL); }
void* FindSymbol(LibraryHandle library, const char* name) { return dlsym(library, name); }
#endif

LibraryHandle OpenFirstLibrary(const std::vector<const char*>& names)
{
    for (const char* name : names)
        if (LibraryHandle library = OpenLibrary(name))
            return library;
    return nullptr;
}

// Takes the library's function when it has one; otherwise the stand-in stays.
template <typename Function>
void Bind(Function& entryPoint, LibraryHandle library, const char* name)
{
    if (void* symbol = FindSymbol(library, name))
        entryPoint = reinterpret_cast<Function>(symbol);
}

}  // namespace

const std::vector<const char*>& GlLibraryNames()
{
#if defined(_WIN32)
    static const std::vector<const char*> names{"opengl32.dll"};
    return names;
#else
    static const std::vector<const char*> names{"libGL.so.1"};
    return names;
#endif
}

const std::vector<const char*>& GlutLibraryNames()
{
#if defined(_WIN32)
    static const std::vector<const char*> names{"glut32.dll", "freeglut.dll"};
    return names;
#else
    // Debian 12 ships freeglut only under its full soname.
    static const std::vector<const char*> names{"libglut.so.3", "libglut.so.3.12", "libglut.so"};
    return names;
#endif
}

bool LoadGlLibrary(const std::vector<const char*>& names)
{
    LibraryHandle library = OpenFirstLibrary(names);
    if (!library)
        return false;
#define GL_FUNCTION(ret, name, params, args) Bind(name, library, #name);
#include "platform/gl_functions.inc"
#undef GL_FUNCTION
    GlAvailable = true;
    return true;
}

bool LoadGlutLibrary(const std::vector<const char*>& names)
{
    LibraryHandle library = OpenFirstLibrary(names);
    if (!library)
        return false;
#define GLUT_FUNCTION(ret, name, params, args) Bind(name, library, #name);
#include "platform/gl_functions.inc"
#undef GLUT_FUNCTION
#if defined(_WIN32)
    GLUT_BITMAP_TIMES_ROMAN_24 = reinterpret_cast<void*>(0x0005);  // freeglut's font id on Windows
#else
    GLUT_BITMAP_TIMES_ROMAN_24 = FindSymbol(library, "glutBitmapTimesRoman24");
#endif
    GlutAvailable = true;
    return true;
}

void LoadGraphicsLibraries()
{
    LoadGlLibrary(GlLibraryNames());
    LoadGlutLibrary(GlutLibraryNames());
}
