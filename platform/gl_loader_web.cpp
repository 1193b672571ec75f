// GL and GLUT on the page are not libraries loaded by name but units linked
// into it: GL's entry points are the GLES2 renderer's (gles2.h) over the
// toolchain's WebGL functions, GLUT's are glut_web.cpp's over its HTML5 and
// main-loop API (it supplies LoadGlutLibrary).

#include "platform/gl_loader.h"

#include "platform/gles2.h"

bool GlAvailable = false;
bool GlutAvailable = false;

const std::vector<const char*>& GlLibraryNames()
{
    static const std::vector<const char*> names;  // linked into the page, never loaded by name
    return names;
}

const std::vector<const char*>& GlutLibraryNames() { return GlLibraryNames(); }

bool LoadGlLibrary(const std::vector<const char*>&)
{
    if (!GlAvailable) {
        LoadGles2Functions(nullptr);
        InstallGles2Renderer();
    }
    GlAvailable = true;
    return true;
}

void LoadGraphicsLibraries()
{
    LoadGlLibrary(GlLibraryNames());
    LoadGlutLibrary(GlutLibraryNames());
}
