#pragma once
// The soundtrack's arrangement: its form, its sections (drums, bass, pads,
// tunes, rolls and risers, in rows of the whole song) and the pattern grid
// they are written into, with the note-writing steps that the hits on the
// show's cues use too. Main thread; the grid is this unit's own.

#include "tools/make_standins/module_writer.h"

#include <cstdint>

// Four channels, 27 patterns of 64 rows played once in order at speed 6 and
// tempo 125: 120 ms a row, 207360 ms in all.
constexpr int SoundtrackPatterns = 27;
constexpr int SoundtrackRows = SoundtrackPatterns * ModRows;
constexpr std::uint32_t SoundtrackRowMs = 120;

enum Channel { Low, High, Deep, Top };  // Amiga panning: Low and Top left, High and Deep right

// Starts a new grid of SoundtrackRows empty rows and writes every section
// into it.
void ArrangeSoundtrack();

// The cell of a row (0 .. SoundtrackRows - 1) and a channel of the grid.
ModCell& SoundtrackCell(int row, int channel);

// Degree of A minor (0 A .. 6 G) of the chord that sounds on a row.
int ChordAt(int row);
// The pitch class of a degree as a MIDI pitch in [low, low + 12).
int PitchIn(int degree, int low);
// A row's position 0..15 in a 16-row bar that starts at row `origin`.
int Position(int row, int origin);

// A note of `instrument` at tracker note `note` (or MIDI pitch, for Tone;
// drums play on their tuning note) with a volume 0..64; rows outside the
// song are ignored.
void Put(int row, int channel, int instrument, int note, int volume);
void Drum(int row, int channel, int instrument, int volume);
void Tone(int row, int channel, int instrument, int pitch, int volume);
// Silences a channel from this row (volume 0) unless a note starts there.
void Hush(int row, int channel);

// Volume steps on every free row from `from`, so that whatever still sounds
// fades out, reaching silence at row `to`.
void FadeOut(int from, int to);
