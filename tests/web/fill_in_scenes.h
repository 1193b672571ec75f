#pragma once
// Scenes that exercise what the page's GL table fills in for the toolchain
// (platform/gl_*_web.cpp), drawn through the program's GL entry points into
// an 800 by 600 frame: once on the desktop's GL and freeglut
// (fill_in_desktop.cpp), once on the page (fill_in_page.cpp), and compared
// by fill_ins.mjs.

// Names of the scenes, in order; also their pictures' names.
extern const char* const FillInScenes[];
extern const int FillInSceneCount;

// Draws scene `index` from a cleared frame, with GL state as a new context
// has it, and leaves the frame ready to read.
void DrawFillInScene(int index);
