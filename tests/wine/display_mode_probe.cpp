// display-mode-probe: prints the desktop's current display mode as
// WIDTHxHEIGHTxBITS, so that the Wine test can compare it before, during and
// after the show. Exit code 1 when Windows reports no current mode.

#include <windows.h>

#include <cstdio>

int main()
{
    DEVMODEA mode = {};
    mode.dmSize = sizeof(mode);
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
        std::printf("none\n");
        return 1;
    }
    std::printf("%lux%lux%lu\n", mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel);
    return 0;
}
