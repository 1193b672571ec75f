#pragma once
// The soundtrack's hits on the show's cues, read from the effects' own cue
// tables: a stab, a crash, a clap or a boom on the row of every cue, and the
// mix stepping back on the row before each, so that every cue is heard as an
// accent. Written over the arrangement's grid (arrangement.h).

#include <cstdint>
#include <vector>

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

// Writes the hits into the arranged grid and makes room for them.
void AccentCues();
