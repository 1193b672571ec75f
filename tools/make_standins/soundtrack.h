#pragma once
// "cud.mod", the show's soundtrack, composed and synthesized here: four
// channels, 27 patterns of 64 rows played once in order at speed 6 and
// tempo 125, that is 120 ms a row and 207360 ms in all, ending just after
// the closing scene (207260 ms). Every cue time of the show's effects falls
// on a hit of the music, within one row, and the music steps back on the row
// before each hit, so that every cue is heard as an accent.

#include "tools/make_standins/module_writer.h"

#include <cstdint>
#include <vector>

constexpr int SoundtrackPatterns = 27;
constexpr int SoundtrackRows = SoundtrackPatterns * ModRows;
constexpr std::uint32_t SoundtrackRowMs = 120;

// The whole module; identical on every call.
ModSong MakeSoundtrack();

// A cue of the show and the row whose notes mark it: a note starts on that
// row, and |row * 120 - ms| < 120.
struct SoundtrackHit {
    std::uint32_t ms;
    int row;
};

// Every cue of the show's effects (square pulses, band starts, the orbiting
// square's window starts, ring pulses and flashes, square stamps, picture
// zooms, the closing scene), ascending by time.
std::vector<SoundtrackHit> SoundtrackHits();
