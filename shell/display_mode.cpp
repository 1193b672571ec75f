#include "shell/display_mode.h"

#include "shell/settings.h"

namespace {
DisplayMode ModeRecord;    // filled by each enumeration call
std::uint32_t ModeIndex = 0;
}  // namespace

void SwitchDisplayMode()
{
    // Every match is applied, not only the first: with one mode per refresh
    // rate, the last one enumerated is the one that stays.
    for (ModeIndex = 0; EnumDisplayMode(ModeIndex, &ModeRecord); ++ModeIndex) {
        if (ModeRecord.width == WindowWidth && ModeRecord.height == WindowHeight &&
            ModeRecord.bitsPerPixel == ColorDepth)
            ChangeDisplayMode(ModeRecord);
    }
}
