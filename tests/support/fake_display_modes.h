#pragma once
// A fake desktop for the display-mode switch: a list of modes to enumerate,
// and a log of the changes and restores made.

#include "platform/display_modes.h"

#include <vector>

void SetFakeDisplayModes(std::vector<DisplayMode> modes);
// The modes passed to ChangeDisplayMode, in order.
const std::vector<DisplayMode>& ChangedDisplayModes();
int EnumeratedModeCount();  // EnumDisplayMode calls that returned a mode
int RestoreCount();         // RestoreDisplayMode calls
void ResetFakeDisplayModes();
