// Display modes on Windows through the display settings of the desktop.

#include "platform/display_modes.h"

#include <windows.h>

#include <mutex>

namespace {
std::mutex Lock;  // the restore may run on the console's control thread
bool Changed = false;
DEVMODEA ModeRecord;
}  // namespace

bool EnumDisplayMode(std::uint32_t index, DisplayMode* mode)
{
    std::lock_guard<std::mutex> guard(Lock);
    ModeRecord = {};
    ModeRecord.dmSize = sizeof(ModeRecord);
    if (!EnumDisplaySettingsA(nullptr, index, &ModeRecord))
        return false;
    *mode = DisplayMode{static_cast<std::int32_t>(ModeRecord.dmPelsWidth),
                        static_cast<std::int32_t>(ModeRecord.dmPelsHeight),
                        static_cast<std::int32_t>(ModeRecord.dmBitsPerPel), static_cast<std::int32_t>(index),
                        static_cast<std::int32_t>(ModeRecord.dmDisplayFrequency)};
    return true;
}

void ChangeDisplayMode(const DisplayMode& mode)
{
    std::lock_guard<std::mutex> guard(Lock);
    DEVMODEA record = {};
    record.dmSize = sizeof(record);
    if (!EnumDisplaySettingsA(nullptr, static_cast<DWORD>(mode.platformIndex), &record))
        return;
    // A dynamic change: not stored in the registry, so the restore below
    // returns to the stored mode.
    ChangeDisplaySettingsA(&record, 0);
    Changed = true;
}

void RestoreDisplayMode()
{
    std::lock_guard<std::mutex> guard(Lock);
    if (!Changed)
        return;
    Changed = false;
    ChangeDisplaySettingsA(nullptr, 0);
    ShowCursor(TRUE);
}
