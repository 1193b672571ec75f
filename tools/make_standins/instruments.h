#pragma once
// The soundtrack's instruments: drums, cymbals, a riser and four tuned
// voices, synthesized here as 8-bit samples, the same on every call.

#include "tools/make_standins/module_writer.h"

#include <vector>

// Instruments, numbered as the module's sample slots.
enum Instrument {
    Kick = 1, KickSnare, Snare, Clap, HatClosed, HatOpen, Crash, Boom, Riser,
    Bass, Stab, Pad, Lead, InstrumentEnd
};

// Notes of the tracker's three octaves that the samples are tuned on.
constexpr int NoteC2 = 12, NoteC3 = 24, NoteB3 = 35;

// Frames per second at which a sample plays back on `note`.
double NoteRate(int note);

// The instruments' samples, slot 1 (Kick) first.
std::vector<ModSample> SoundtrackSamples();

// MIDI pitch that note C-3 gives on a melodic instrument (see their tuning).
int PitchAtC3(int instrument);
