#pragma once
// Scenes that exercise what the GLES2 renderer (platform/gles2.h) carries
// out beyond plain primitives, drawn through the program's GL entry points
// into an 800 by 600 frame: display lists in lists, polygon modes, glRectf,
// the readout's glyphs. They are drawn on the desktop's GL and freeglut and
// with the renderer, natively (tests/gles2_render_test.cpp) and on the page
// (tests/web/renderer_page.cpp, renderer_desktop.cpp, renderer_scenes.mjs),
// and compared.

// Names of the scenes, in order; also their pictures' names.
extern const char* const RendererScenes[];
extern const int RendererSceneCount;

// Draws scene `index` from a cleared frame, with GL state as a new context
// has it, and leaves the frame ready to read.
void DrawRendererScene(int index);
