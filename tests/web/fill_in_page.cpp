// The fill-in scenes on the page: fill_in.html?scene=NAME runs this with the
// scene's name, on a canvas of 800 by 600; the title then says "drawn NAME".

#include "platform/gl_api.h"
#include "platform/gl_loader.h"
#include "tests/web/fill_in_scenes.h"

#include <emscripten.h>

#include <cstring>

int main(int argc, char** argv)
{
    LoadGraphicsLibraries();
    glutInit(&argc, argv);
    glutInitWindowSize(800, 600);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    if (argc < 2 || glutCreateWindow("fill-in scenes") <= 0)
        return 1;
    for (int i = 0; i < FillInSceneCount; ++i)
        if (std::strcmp(argv[1], FillInScenes[i]) == 0) {
            DrawFillInScene(i);
            EM_ASM({ document.title = 'drawn ' + UTF8ToString($0); }, FillInScenes[i]);
            return 0;
        }
    return 1;
}
