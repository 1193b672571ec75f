#include "tests/support/fake_display_modes.h"

namespace {
std::vector<DisplayMode> Modes;
std::vector<DisplayMode> Changes;
int Enumerated = 0;
int Restores = 0;
}  // namespace

void SetFakeDisplayModes(std::vector<DisplayMode> modes) { Modes = std::move(modes); }
const std::vector<DisplayMode>& ChangedDisplayModes() { return Changes; }
int EnumeratedModeCount() { return Enumerated; }
int RestoreCount() { return Restores; }

void ResetFakeDisplayModes()
{
    Modes.clear();
    Changes.clear();
    Enumerated = 0;
    Restores = 0;
}

bool EnumDisplayMode(std::uint32_t index, DisplayMode* mode)
{
    if (index >= Modes.size())
        return false;
    *mode = Modes[index];
    ++Enumerated;
    return true;
}

void ChangeDisplayMode(const DisplayMode& mode) { Changes.push_back(mode); }
void RestoreDisplayMode() { ++Restores; }
void GuardDisplayModeOnExit() {}
