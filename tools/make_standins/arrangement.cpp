#include "tools/make_standins/arrangement.h"

#include "tools/make_standins/instruments.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace {

// The arrangement, in rows of the whole song (0 .. SoundtrackRows - 1).
//
// The show's cues run a little faster than the 120 ms grid, so each drum
// section starts its own bar grid on its first big hit, and breaks without
// drums sit between them to hide the jumps:
//
//   0   intro: pad, pulse hits       582  rings I (drop)      1213 calm groove
//   130 groove A (pulses, bands)     763  break, riser        1321 quiet
//   352 breakdown                    791  rings II (flash)    1437 picture zooms
//   415 groove B (bands)             890  breakdown II        1501 last groove
//   543 build-up, stop at 575        1006 rings III (drop)    1625 closing, fade

std::vector<std::array<ModCell, ModChannels>> Grid;  // one row of the whole song each

// Harmony: chord roots as degrees of A minor (0 A, 1 B, 2 C, 3 D, 4 E,
// 5 F, 6 G) from a row on.
struct Chord {
    int row;
    int degree;
};

const Chord Chords[] = {
    {0, 0}, {34, 5}, {66, 2}, {98, 6},                                   // intro
    {130, 0}, {162, 5}, {194, 2}, {226, 6}, {258, 0}, {290, 5}, {322, 2},  // groove A
    {352, 5}, {384, 6},                                                 // breakdown
    {415, 0}, {447, 5}, {479, 2}, {511, 6},                             // groove B
    {543, 5}, {559, 6}, {575, 4},                                       // build-up
    {582, 0}, {614, 5}, {646, 2}, {678, 6}, {710, 0}, {742, 5},         // rings I
    {763, 4},                                                           // break
    {791, 0}, {823, 5}, {855, 2}, {887, 6},                             // rings II
    {894, 5}, {926, 6}, {958, 2}, {990, 4},                             // breakdown II
    {1006, 0}, {1038, 5}, {1070, 2}, {1102, 6}, {1134, 0}, {1166, 5},   // rings III
    {1191, 6},
    {1213, 5}, {1245, 2}, {1277, 6}, {1309, 0},                         // calm groove
    {1341, 3}, {1373, 5}, {1405, 4},                                    // quiet
    {1437, 0}, {1446, 5}, {1454, 2}, {1462, 6}, {1471, 4},              // zooms
    {1501, 0}, {1533, 5}, {1565, 2}, {1597, 6},                         // last groove
    {1625, 5}, {1657, 6}, {1689, 0},                                    // closing
};

// MIDI pitch of a degree of A minor, degree 0 being A4.
int ScalePitch(int degree) {
    static const int Steps[7] = {0, 2, 3, 5, 7, 8, 10};
    const int octave = (degree >= 0 ? degree : degree - 6) / 7;
    return 69 + 12 * octave + Steps[degree - 7 * octave];
}

// Drum and bass patterns, one character per row of a 16-row bar:
//   kick line:  k kick, s kick with snare, c clap
//   hat line:   c closed, C closed and louder, o open
//   bass line:  r root, o octave, f fifth, x stop
void Drums(int from, int to, int origin, const char* kicks, const char* hats, int level = 64) {
    for (int row = from; row < to; ++row) {
        const int p = Position(row, origin);
        switch (kicks[p]) {
        case 'k': Drum(row, Low, Kick, level); break;
        case 's': Drum(row, Low, KickSnare, level); break;
        case 'c': Drum(row, Low, Clap, level * 3 / 4); break;
        }
        switch (hats[p]) {
        case 'c': Drum(row, High, HatClosed, level * 5 / 16); break;
        case 'C': Drum(row, High, HatClosed, level / 2); break;
        case 'o': Drum(row, High, HatOpen, level * 7 / 16); break;
        }
    }
}

void BassLine(int from, int to, int origin, const char* line, int volume) {
    for (int row = from; row < to; ++row) {
        const int root = PitchIn(ChordAt(row), 28);  // E1 .. D#2
        switch (line[Position(row, origin)]) {
        case 'r': Tone(row, Deep, Bass, root, volume); break;
        case 'o': Tone(row, Deep, Bass, root + 12, volume); break;
        case 'f': Tone(row, Deep, Bass, root + 7, volume); break;
        case 'x': Hush(row, Deep); break;
        }
    }
}

// A pad note at every chord change in [from, to).
void PadChords(int from, int to, int channel, int volume) {
    int last = -1;
    for (int row = from; row < to; ++row) {
        const int degree = ChordAt(row);
        if (degree != last || row == from)
            Tone(row, channel, Pad, PitchIn(degree, 52), volume);
        last = degree;
    }
}

// Melodies: for each chord root, two bars of eighth notes (two rows each):
// scale degrees from A4, '-' holds, '.' rests.
struct Motif {
    int chord;
    const char* notes;
};

const Motif ThemeA[] = {  // the groove's tune
    {0, "4 - - 2 - - 0 - 2 - 4 - 7 - - -"},
    {5, "5 - - 4 - - 2 - 4 - 5 - 4 - - -"},
    {2, "4 - - 6 - - 7 - 6 - 4 - 2 - - -"},
    {6, "3 - - 1 - - -1 - 1 - 3 - 4 - - -"},
    {4, "4 - 6 - 4 - 1 - - - -1 - 1 - - -"},
    {3, "3 - 5 - 7 - 5 - 3 - 2 - 0 - - -"},
};

const Motif ThemeB[] = {  // the breakdowns' slower tune
    {0, "0 - - - - - 2 - 4 - - - - - - -"},
    {5, "2 - - - 0 - - - 5 - - - 4 - - -"},
    {2, "4 - - - 2 - - - 6 - - - 4 - - -"},
    {6, "3 - - - 1 - - - -1 - - - 1 - - -"},
    {4, "1 - - - 4 - - - 6 - - 4 - - - -"},
    {3, "3 - - - 0 - - - 5 - - - 3 - - -"},
};

// Plays the theme on the top channel from `from` to `to`, restarting the
// motif of the current chord every 32 rows counted from `origin`.
template <std::size_t N>
void Melody(int from, int to, int origin, const Motif (&theme)[N], int volume) {
    for (int start = origin; start < to; start += 32) {
        const int degree = ChordAt(start);
        const char* notes = theme[0].notes;
        for (const Motif& m : theme)
            if (m.chord == degree)
                notes = m.notes;
        std::string token;
        std::size_t at = 0;
        const std::string text = notes;
        for (int step = 0; step < 16; ++step) {
            const std::size_t end = text.find(' ', at);
            token = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
            at = end == std::string::npos ? text.size() : end + 1;
            const int row = start + 2 * step;
            if (row < from || row >= to || token == "-")
                continue;
            if (token == ".")
                Hush(row, Top);
            else
                Tone(row, Top, Lead, ScalePitch(std::stoi(token)), volume);
        }
    }
}

// A snare roll from `from` to `to`, getting denser and louder.
void Roll(int from, int to, int channel, int startVolume, int endVolume) {
    for (int row = from; row < to; ++row) {
        const double k = static_cast<double>(row - from) / std::max(1, to - from - 1);
        const bool sixteenths = k > 0.5;
        if (!sixteenths && (row - from) % 2)
            continue;
        Drum(row, channel, Snare, static_cast<int>(startVolume + (endVolume - startVolume) * k));
        if (k > 0.85)  // retrigger every 3 ticks: thirty-second notes
            Grid[row][channel] = ModCell{Grid[row][channel].sample, Grid[row][channel].period, 0xE, 0x93};
    }
}

// ---------------------------------------------------------------------------
// Sections.

const char* const FourFloor = "k...s...k...s...";
const char* const OffbeatHats = "c.o.c.o.c.o.c.o.";
const char* const BusyHats = "ccoCccoCccoCccoC";
const char* const OffbeatBass = "x.r.x.r.x.r.x.ro";
const char* const RollingBass = "xrrrxrrfxrrrxroo";

void Intro() {  // 0..129: a pad swells, the pulses thump, hats creep in
    PadChords(0, 130, Deep, 30);
    for (int row = 34; row < 114; ++row) {
        const int level = 6 + (row - 34) * 18 / 80;
        if (Position(row, 2) % 2 == 0)
            Drum(row, High, Position(row, 2) % 4 == 2 && row >= 98 ? HatOpen : HatClosed, level);
    }
    Roll(114, 130, High, 20, 56);
}

void GrooveA() {  // 130..351
    Drums(130, 344, 130, FourFloor, OffbeatHats);
    BassLine(130, 352, 130, OffbeatBass, 50);
    Melody(258, 344, 258, ThemeA, 22);  // quietly, under the pulses' stabs
    Drums(344, 352, 130, FourFloor, "................");
    Roll(344, 352, High, 30, 56);
}

void Breakdown() {  // 352..414: no drums; pad, bass and the slow tune
    PadChords(352, 415, Low, 26);
    Tone(352, Deep, Bass, PitchIn(ChordAt(352), 28), 26);
    Tone(384, Deep, Bass, PitchIn(ChordAt(384), 28), 26);
    Melody(352, 415, 352, ThemeB, 30);
    Roll(399, 415, High, 12, 50);
}

void GrooveB() {  // 415..542, then the build-up and a stop before the drop
    Drums(415, 543, 415, FourFloor, BusyHats);
    BassLine(415, 543, 415, OffbeatBass, 50);
    Melody(415, 543, 415, ThemeA, 36);
    Hush(543, Top);
    // Build-up: kicks go on, the snare rolls, the bass pulses in eighths and
    // the riser climbs to the band at row 575... then a gap until the drop.
    Drums(543, 575, 415, "k...k...k...k...", "................");
    Roll(543, 575, High, 16, 60);
    BassLine(543, 575, 415, "r.r.r.r.r.r.r.r.", 44);
    Put(543, Top, Riser, NoteC3, 44);
    Hush(575, Top);
    Hush(575, Deep);
    Drum(575, Low, Kick, 64);  // the last beat before the gap
}

void RingsI() {  // 582..762, ending on three flashes
    Drums(582, 758, 582, FourFloor, BusyHats);
    BassLine(582, 758, 582, RollingBass, 46);
    Hush(763, Deep);
}

void Break() {  // 763..790: the band's crash rings out, then a short riser
    PadChords(770, 791, Low, 22);  // after the last flash's boom has rung
    Put(775, Top, Riser, NoteC3, 40);
    Grid[775][Top].effect = 0x9;  // start 2.1 s into the riser, so it peaks at the drop
    Grid[775][Top].param = static_cast<std::uint8_t>(NoteRate(NoteC3) * 2.1 / 256);
}

void RingsII() {  // 791..889
    Drums(791, 890, 791, FourFloor, BusyHats);
    BassLine(791, 890, 791, RollingBass, 46);
}

void BreakdownII() {  // 890..1005
    Hush(890, Low);
    Hush(890, High);
    PadChords(890, 1006, Low, 26);
    Hush(890, Deep);
    for (int row = 894; row < 1006; row += 32)
        Tone(row, Deep, Bass, PitchIn(ChordAt(row), 28), 26);
    Melody(894, 1006, 894, ThemeB, 30);
    Roll(994, 1006, High, 16, 56);
}

void RingsIII() {  // 1006..1190, then a bar of stabs over a pad
    Drums(1006, 1190, 1006, FourFloor, BusyHats);
    BassLine(1006, 1190, 1006, RollingBass, 46);
    PadChords(1191, 1213, Low, 34);
    Hush(1191, High);
    Hush(1191, Deep);
}

void CalmGroove() {  // 1213..1320: half time, the slow tune
    Drums(1213, 1321, 1213, "k.......c.......", "c.c.c.c.c.c.c.c.", 52);
    BassLine(1213, 1321, 1213, "r.........r.....", 32);
    Melody(1213, 1321, 1213, ThemeB, 32);
}

void Quiet() {  // 1321..1436 and on through the picture zooms: pad and tune only
    Hush(1321, Low);
    Hush(1321, High);
    PadChords(1321, 1501, Deep, 22);
    Melody(1341, 1437, 1341, ThemeB, 26);
    Hush(1437, Top);
}

void LastGroove() {  // 1501..1624
    Drums(1501, 1609, 1501, FourFloor, OffbeatHats);
    Drums(1609, 1625, 1501, "k...s...k...k.k.", "................");
    Roll(1613, 1625, High, 24, 56);
    BassLine(1501, 1625, 1501, OffbeatBass, 50);
    Melody(1501, 1625, 1501, ThemeA, 36);
}

void Closing() {  // 1625..1727: the closing scene, calm, fading to nothing
    PadChords(1633, SoundtrackRows, Low, 30);  // once the closing boom has rung
    Hush(1625, Deep);
    for (int row = 1657; row < SoundtrackRows; row += 32)
        Tone(row, Deep, Bass, PitchIn(ChordAt(row), 28), 30);
    Melody(1657, SoundtrackRows - 8, 1657, ThemeB, 28);
}

}  // namespace

void ArrangeSoundtrack() {
    Grid.assign(SoundtrackRows, {});
    Intro();
    GrooveA();
    Breakdown();
    GrooveB();
    RingsI();
    Break();
    RingsII();
    BreakdownII();
    RingsIII();
    CalmGroove();
    Quiet();
    LastGroove();
    Closing();
}

ModCell& SoundtrackCell(int row, int channel) { return Grid[row][channel]; }

int ChordAt(int row) {
    int degree = 0;
    for (const Chord& c : Chords)
        if (c.row <= row)
            degree = c.degree;
    return degree;
}

int PitchIn(int degree, int low) {
    const int pitch = ScalePitch(degree);
    return low + ((pitch - low) % 12 + 12) % 12;
}

void Put(int row, int channel, int instrument, int note, int volume) {
    if (row < 0 || row >= SoundtrackRows)
        return;
    ModCell& c = Grid[row][channel];
    c.sample = static_cast<std::uint8_t>(instrument);
    c.period = NotePeriod(note);
    c.effect = 0xC;
    c.param = static_cast<std::uint8_t>(std::clamp(volume, 0, 64));
}

void Drum(int row, int channel, int instrument, int volume) {
    const bool cymbal = instrument == HatClosed || instrument == HatOpen || instrument == Crash;
    Put(row, channel, instrument, cymbal ? NoteB3 : NoteC3, volume);
}

void Tone(int row, int channel, int instrument, int pitch, int volume) {
    int note = pitch - PitchAtC3(instrument) + NoteC3;
    while (note < 0)
        note += 12;
    while (note >= ModNoteCount)
        note -= 12;
    Put(row, channel, instrument, note, volume);
}

void Hush(int row, int channel) {
    if (row < 0 || row >= SoundtrackRows || Grid[row][channel].period)
        return;
    Grid[row][channel].effect = 0xC;
    Grid[row][channel].param = 0;
}

int Position(int row, int origin) { return ((row - origin) % 16 + 16) % 16; }

void FadeOut(int from, int to) {
    int volume[ModChannels] = {0, 0, 0, 0};
    for (int row = 0; row < SoundtrackRows; ++row) {
        const double gain = std::clamp(static_cast<double>(to - row) / (to - from), 0.0, 1.0);
        for (int ch = 0; ch < ModChannels; ++ch) {
            ModCell& c = Grid[row][ch];
            if (c.effect == 0xC) {
                volume[ch] = c.param;
                if (row >= from)
                    c.param = static_cast<std::uint8_t>(std::lround(c.param * gain));
            } else if (row >= from && c.effect == 0 && c.param == 0) {
                c.effect = 0xC;
                c.param = static_cast<std::uint8_t>(std::lround(volume[ch] * gain));
            }
        }
    }
}
