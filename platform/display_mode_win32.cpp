// Display modes on Windows through the display settings of the desktop.

#include "platform/display_modes.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {
std::mutex Lock;  // the restore may run on the console's control thread
bool Changed = false;
// The driver's modes, read once when the enumeration starts, ordered by
// rising refresh rate (stable, so otherwise in the driver's order): the
// switch applies every match in turn and the last one, the fastest, stays.
std::vector<DisplayMode> Modes;
}  // namespace

bool EnumDisplayMode(std::uint32_t index, DisplayMode* mode)
{
    std::lock_guard<std::mutex> guard(Lock);
    if (index == 0) {
        Modes.clear();
        DEVMODEA record = {};
        record.dmSize = sizeof(record);
        for (DWORD driverIndex = 0; EnumDisplaySettingsA(nullptr, driverIndex, &record); ++driverIndex)
            Modes.push_back(DisplayMode{static_cast<std::int32_t>(record.dmPelsWidth),
                                        static_cast<std::int32_t>(record.dmPelsHeight),
                                        static_cast<std::int32_t>(record.dmBitsPerPel),
                                        static_cast<std::int32_t>(driverIndex),
                                        static_cast<std::int32_t>(record.dmDisplayFrequency)});
        std::stable_sort(Modes.begin(), Modes.end(), [](const DisplayMode& a, const DisplayMode& b) {
            return a.refreshRate < b.refreshRate;
        });
    }
    if (index >= Modes.size())
        return false;
    *mode = Modes[index];
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
