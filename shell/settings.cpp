#include "shell/settings.h"

std::int32_t WindowWidth = ORVANE_WINDOW_WIDTH;
std::int32_t WindowHeight = ORVANE_WINDOW_HEIGHT;
std::int32_t ColorDepth = ORVANE_COLOR_DEPTH;
bool FullScreen = ORVANE_FULLSCREEN;
bool KeepAspect = false;
const char* const DataFolder = ORVANE_DATA_FOLDER;
