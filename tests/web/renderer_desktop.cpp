// renderer-desktop: draws the renderer scenes on the desktop's GL and
// freeglut (the readout font needs GLUT, hence the capture tool's hidden
// window) and writes each as DIR/NAME.png, for renderer_scenes.mjs to hold
// the page's against.
//
//   renderer-desktop DIR

#include "tests/support/renderer_scenes.h"
#include "tools/capture/capture_gl.h"
#include "tools/capture/frame_targets.h"
#include "tools/capture/png_file.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: renderer-desktop DIR\n");
        return 2;
    }
    std::string error;
    if (!OpenCaptureGl(error) || !CreateFrameTargets(800, 600)) {
        std::fprintf(stderr, "renderer-desktop: %s\n", error.empty() ? "no framebuffer objects" : error.c_str());
        return 1;
    }
    UseFullFrame({0, 0, 800, 600});
    std::vector<std::uint8_t> rgb;
    for (int i = 0; i < RendererSceneCount; ++i) {
        DrawRendererScene(i);
        ReadFullFrame(rgb);
        const std::string path = std::string(argv[1]) + "/" + RendererScenes[i] + ".png";
        if (!WritePng(path, 800, 600, rgb, error)) {
            std::fprintf(stderr, "renderer-desktop: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
