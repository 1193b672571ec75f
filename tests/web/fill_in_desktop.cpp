// fill-in-desktop: draws the fill-in scenes on the desktop's GL and freeglut
// (the readout font needs GLUT, hence the capture tool's hidden window) and
// writes each as DIR/NAME.png, for fill_ins.mjs to hold the page's against.
//
//   fill-in-desktop DIR

#include "tests/web/fill_in_scenes.h"
#include "tools/capture/capture_gl.h"
#include "tools/capture/frame_targets.h"
#include "tools/capture/png_file.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fill-in-desktop DIR\n");
        return 2;
    }
    std::string error;
    if (!OpenCaptureGl(error) || !CreateFrameTargets(800, 600)) {
        std::fprintf(stderr, "fill-in-desktop: %s\n", error.empty() ? "no framebuffer objects" : error.c_str());
        return 1;
    }
    UseFullFrame({0, 0, 800, 600});
    std::vector<std::uint8_t> rgb;
    for (int i = 0; i < FillInSceneCount; ++i) {
        DrawFillInScene(i);
        ReadFullFrame(rgb);
        const std::string path = std::string(argv[1]) + "/" + FillInScenes[i] + ".png";
        if (!WritePng(path, 800, 600, rgb, error)) {
            std::fprintf(stderr, "fill-in-desktop: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
