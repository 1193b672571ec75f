// The renderer scenes on the page: renderer.html?scene=NAME runs this with
// the scene's name, on a canvas of 800 by 600; the title then says "drawn
// NAME".

#include "platform/gl_api.h"
#include "platform/gl_loader.h"
#include "tests/support/renderer_scenes.h"

#include <emscripten.h>

#include <cstring>

int main(int argc, char** argv)
{
    LoadGraphicsLibraries();
    glutInit(&argc, argv);
    glutInitWindowSize(800, 600);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    if (argc < 2 || glutCreateWindow("renderer scenes") <= 0)
        return 1;
    for (int i = 0; i < RendererSceneCount; ++i)
        if (std::strcmp(argv[1], RendererScenes[i]) == 0) {
            DrawRendererScene(i);
            glFinish();  // what the renderer still holds, drawn before the page shows the canvas
            EM_ASM({ document.title = 'drawn ' + UTF8ToString($0); }, RendererScenes[i]);
            return 0;
        }
    return 1;
}
