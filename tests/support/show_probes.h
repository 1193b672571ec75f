#pragma once
// Probes of the show's frames at places and moments its cue tables define,
// all in one run of the show at 60 frames per second with flat grey test
// pictures: tests/effects_render_test.cpp checks each level, and the GLES2
// renderer's test compares whole frames at their moments. The view is
// x -4..4, y -3..3 over 800 by 600 pixels; the clear colour is 0.02 grey.

#include <cstdint>

inline constexpr int Background = 5;  // the clear colour's level

// Grey levels of created, sound, g0, g1, g2, g3, resp (the load order).
inline constexpr std::uint8_t PictureLevels[7] = {60, 40, 100, 110, 120, 130, 80};
inline constexpr int CreatedLevel = 60;
inline constexpr int SoundLevel = 40;
inline constexpr int RespLevel = 80;
inline constexpr int G0Level = 100;

// White at alpha a over the background, as SRC_ALPHA, ONE_MINUS_SRC_ALPHA blends it.
constexpr double Over(double alpha, double below = Background) { return 255 * alpha + below * (1 - alpha); }

struct Probe {
    std::uint32_t ms;
    double x, y;
    double level;
    const char* what;
};

// In ascending time, all in one run of the show, as a viewer sees it.
inline constexpr Probe ShowProbes[] = {
    {240, -1.448, 0.504, 255, "first square pulse, opaque, at its noise place"},
    {240, -1.448 + 0.9, 0.504, 255, "2 by 2 at its start"},
    {240, -1.448 + 1.1, 0.504, Background, "2 by 2 at its start"},
    {240, -1.448 + 0.97, 0.504, 255, "pulse's edge 1 unit from its centre: just inside"},
    {240, -1.448 + 1.03, 0.504, Background, "pulse's edge 1 unit from its centre: just outside"},
    {500, -1.448 + 1.4, 0.504, Over(1 - 260.0 / 550), "grown by 260/550 and faded as much"},
    {500, -1.448 + 1.55, 0.504, Background, "grown by 260/550 and faded as much"},
    {500, -1.448 + 1.44, 0.504, Over(1 - 260.0 / 550), "grown to 1.473 units: just inside"},
    {500, -1.448 + 1.50, 0.504, Background, "grown to 1.473 units: just outside"},
    {790, -1.448, 0.504, Background, "pulse over after 550 ms"},
    {15580, 0.191, 2, 255, "first band opaque at its start"},
    {15580, 0.191 + 1.45, 2, 255, "first band 3 units wide"},
    {15580, 0.191 + 1.55, 2, Background, "first band 3 units wide"},
    {16180, 0.191 + 0.95, 2, Over(0.5), "first band half faded, 2 wide at mid-window"},
    {16180, 0.191 + 1.05, 2, Background, "first band half faded, 2 wide at mid-window"},
    {16781, 0.191, 2, Background, "first band gone after its end"},
    {42220, -2.783, 0.747, Over(1 - 60.0 / 1440), "orbiting square in band 7's alpha"},
    {43000, -1.232, 2.9, Over(1 - 840.0 / 1440), "band 7 drawn, centred at -1.232"},
    {45000, -1.344 + 0.8, 1.788, 255, "orbiting square, axis-aligned at -450 degrees"},
    {45000, -1.344 + 0.95, 1.788, Background, "orbiting square, side 2 x 0.886"},
    {45000, -1.344 + 0.86, 1.788, 255, "orbiting square, side 2 x 0.886: just inside"},
    {45000, -1.344 + 0.91, 1.788, Background, "orbiting square, side 2 x 0.886: just outside"},
    {45505, -2.986, 0.192, Background, "orbiting square hidden while |s| <= 0.02"},
    {50000, 2.587, -1.013, Over(1 - 180.0 / 1440), "orbiting square in band 8's alpha"},
    // A corner direction of the square turned +140 degrees that -140 would miss.
    {50000, 2.469, 0.332, Over(1 - 180.0 / 1440), "orbiting square spins anticlockwise for s > 0"},
    {68850, 2.588, -1.011, 255, "orbiting square still drawn 10 ms before its first window ends"},
    {68860, 2.618, -0.977, Background, "orbiting square gone when its first window ends"},
    {69820, -1.676, -1.152, Background, "first ring's hole"},
    {69820, -1.676 + 0.8, -1.152, 255, "first ring, opaque at its cue"},
    {69820, -1.676 + 1.1, -1.152, Background, "first ring, radius 1 at its cue"},
    // Midway between two of the 30 corners the outer edge lies at 0.9945.
    {69820, -1.676 + 0.97, -1.152, 255, "first ring's outer edge: just inside"},
    {69820, -1.676 + 1.03, -1.152, Background, "first ring's outer edge: just outside"},
    {69820, -1.676 + 0.57, -1.152, Background, "first ring's inner edge at 0.6: just inside the hole"},
    {69820, -1.676 + 0.63, -1.152, 255, "first ring's inner edge at 0.6: just outside the hole"},
    {69970, -1.676 - 1.6, -1.152, Over(0.5), "first ring at twice its size, half faded"},
    {69970, -1.676 - 1.0, -1.152, Background, "first ring's grown hole"},
    {69970, -1.676 - 1.96, -1.152, Over(0.5), "first ring grown to radius 2: just inside"},
    {69970, -1.676 - 2.02, -1.152, Background, "first ring grown to radius 2: just outside"},
    {70060, -1.676 - 2.0, -1.152, Over(0.2), "ring of 69820 still drawn when t equals the next cue"},
    {70061, -1.676 - 2.0, -1.152, Background, "ring of 69820 cut short by the next cue"},
    {72400, -0.703, 0.435, Over(1 - 200.0 / 300), "first stamp in the ring's colour"},
    {72600, -0.703, 0.435, 255, "first stamp opaque white between rings"},
    {72810, -0.703, 0.435, Over(1 - 10.0 / 300), "first stamp in the next ring's colour"},
    {90950, 3.5, 2.5, Over(1 - 70.0 / 280), "flash over the whole view"},
    {90950, -3.5, -2.5, Over(1 - 70.0 / 280), "flash over the whole view"},
    {95200, 3.5, 2.5, Over(1 - 240.0 / 280), "flash of 94960 still drawn at the next cue"},
    {95201, 3.5, 2.5, Background, "flash of 94960 cut short by the next cue"},
    {172480, -1.138, -1.247, Background + RespLevel, "first zoom, full strength, added"},
    {172480, -1.138 + 1.45, -1.247, Background + RespLevel, "first zoom, 3 units across"},
    {172480, -1.138 + 1.55, -1.247, Background, "first zoom, 3 units across"},
    {173000, -1.138 + 2.12, -1.247, Background + RespLevel * 0.48, "first zoom grown to 4.3 units: just inside"},
    {173000, -1.138 + 2.18, -1.247, Background, "first zoom grown to 4.3 units: just outside"},
    {173479, -1.138, -1.247, Background, "first zoom almost faded"},
    {173480, 0.483, -0.5, Background + G0Level, "second zoom shows the second picture"},
    // 0.5 * 255 + 5 added, where SRC_ALPHA, ONE_MINUS_SRC_ALPHA would give 130.
    {179270, -0.095 - 1.6, -0.041, 132.5, "ring after the zooms blends additively"},
    {182950, 0.286, 1.991, 255, "orbiting square still drawn 10 ms before its second window ends"},
    {182960, 0.226, 1.994, Background, "orbiting square gone when its second window ends"},
    {184660, -0.943, 2, Over(0.5), "band 37 still fades"},
    // The closing scene's pictures, added with alphas 0.7006 and 0.5579 in
    // its first frame: "created.pcx" over x -3.751..2.250 and y -2.550..3.451,
    // "sound.pcx" over x -2.468..3.702 and y -3.856..2.314.
    {194960, -3.70, 2.8, Background + CreatedLevel * 0.7006, "created picture's left edge: just inside"},
    {194960, -3.80, 2.8, Background, "created picture's left edge: just outside"},
    {194960, 2.20, 2.8, Background + CreatedLevel * 0.7006, "created picture's right edge: just inside"},
    {194960, 2.30, 2.8, Background, "created picture's right edge: just outside"},
    {194960, 3.65, -2.8, Background + SoundLevel * 0.5579, "sound picture's right edge: just inside"},
    {194960, 3.75, -2.8, Background, "sound picture's right edge: just outside"},
    {194960, -2.42, -2.8, Background + SoundLevel * 0.5579, "sound picture's left edge: just inside"},
    {194960, -2.52, -2.8, Background, "sound picture's left edge: just outside"},
    {199960, 0.046, 2.9, 255, "last band opaque white: blending is off"},
    {207261, 3.8, 0, Background, "nothing after the closing scene"},
    {207261, -1.5, 1, Background, "nothing after the closing scene"},
};
