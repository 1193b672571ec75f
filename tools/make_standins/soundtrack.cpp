#include "tools/make_standins/soundtrack.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

namespace {

// ---------------------------------------------------------------------------
// Samples. Each is synthesized at the rate at which one chosen note plays it
// back, so that it sounds as designed on that note and in tune with the
// others on every note.

constexpr double Pi = 3.14159265358979323846;
constexpr double PalClock = 3546895.0;  // Amiga clock / 2: period -> rate
constexpr int NoteC2 = 12, NoteC3 = 24, NoteB3 = 35;

double NoteRate(int note) { return PalClock / NotePeriod(note); }

// Instruments, numbered as the module's sample slots.
enum Instrument {
    Kick = 1, KickSnare, Snare, Clap, HatClosed, HatOpen, Crash, Boom, Riser,
    Bass, Stab, Pad, Lead, InstrumentEnd
};

// A fixed-seed generator, so that every run makes the same noise.
struct Random {
    std::uint32_t state;
    double Next() {  // -1..1
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state / 2147483648.0 - 1.0;
    }
};

// Scales to `peak` of full 8-bit range; headroom keeps rounding off the rails.
std::vector<std::int8_t> ToPcm(const std::vector<double>& wave, double peak = 0.94) {
    double most = 1e-9;
    for (double v : wave)
        most = std::max(most, std::fabs(v));
    std::vector<std::int8_t> pcm(wave.size() + wave.size() % 2, 0);
    for (std::size_t i = 0; i < wave.size(); ++i)
        pcm[i] = static_cast<std::int8_t>(std::clamp(std::lround(wave[i] / most * peak * 127), -127L, 127L));
    return pcm;
}

ModSample OneShot(const char* name, const std::vector<double>& wave) {
    ModSample s;
    s.name = name;
    s.data = ToPcm(wave);
    return s;
}

// A voice that sustains: after its attack it repeats [loopStart, +loopLength).
ModSample Looped(const char* name, const std::vector<double>& wave, std::size_t loopStart,
                 std::size_t loopLength) {
    ModSample s = OneShot(name, wave);
    s.loopStart = loopStart;
    s.loopLength = loopLength;
    return s;
}

// A two-pole state-variable filter; the drums' noise goes through it.
struct Filter {
    double cutoff, damping, low = 0, band = 0;
    double High(double in) {
        const double high = in - low - damping * band;
        band += cutoff * high;
        low += cutoff * band;
        return high;
    }
    double Band(double in) { High(in); return band; }
    double Low(double in) { High(in); return low; }
};

Filter MakeFilter(double hz, double rate, double damping) {
    return Filter{2 * std::sin(Pi * std::min(hz, rate / 6) / rate), damping};
}

// The six detuned square waves of a classic drum machine's cymbals.
double Metal(double t) {
    static const double Hz[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    double sum = 0;
    for (double f : Hz)
        sum += std::sin(2 * Pi * f * 2.2 * t) >= 0 ? 1 : -1;
    return sum / 6;
}

std::vector<double> KickWave(double rate) {
    std::vector<double> w(static_cast<std::size_t>(0.42 * rate));
    double phase = 0;
    Random r{0x1234567};
    for (std::size_t i = 0; i < w.size(); ++i) {
        const double t = i / rate;
        // A fast drop from a knock to a low thud; the click carries it on
        // small speakers.
        phase += 2 * Pi * (50 + 170 * std::exp(-t / 0.022)) / rate;
        const double click = t < 0.006 ? r.Next() * (1 - t / 0.006) * 0.6 : 0;
        w[i] = std::tanh(2.0 * std::sin(phase) * std::exp(-t / 0.2)) + click;
    }
    return w;
}

std::vector<double> SnareWave(double rate) {
    std::vector<double> w(static_cast<std::size_t>(0.26 * rate));
    Filter hp = MakeFilter(1800, rate, 1.2);
    Random r{0xBEEF};
    double phase = 0;
    for (std::size_t i = 0; i < w.size(); ++i) {
        const double t = i / rate;
        phase += 2 * Pi * (180 + 70 * std::exp(-t / 0.015)) / rate;
        w[i] = 0.55 * std::sin(phase) * std::exp(-t / 0.05) + hp.High(r.Next()) * std::exp(-t / 0.075);
    }
    return w;
}

std::vector<double> ClapWave(double rate) {
    std::vector<double> w(static_cast<std::size_t>(0.34 * rate));
    Filter bp = MakeFilter(1300, rate, 0.7);
    Random r{0xC1A9};
    for (std::size_t i = 0; i < w.size(); ++i) {
        const double t = i / rate;
        // Three quick slaps, then the room.
        double env = std::exp(-std::fmod(t, 0.011) / 0.003) * (t < 0.033 ? 1 : 0);
        if (t >= 0.022)
            env = std::max(env, 0.75 * std::exp(-(t - 0.022) / 0.09));
        w[i] = bp.Band(r.Next()) * env;
    }
    return w;
}

std::vector<double> HatWave(double rate, double seconds, double decay, std::uint32_t seed) {
    std::vector<double> w(static_cast<std::size_t>(seconds * rate));
    Filter hp = MakeFilter(7000, rate, 1.0);
    Random r{seed};
    for (std::size_t i = 0; i < w.size(); ++i) {
        const double t = i / rate;
        w[i] = hp.High(0.6 * Metal(t) + 0.5 * r.Next()) * std::exp(-t / decay);
    }
    return w;
}

std::vector<double> CrashWave(double rate) {
    std::vector<double> w(static_cast<std::size_t>(1.9 * rate));
    Filter hp = MakeFilter(3500, rate, 1.1);
    Filter lp = MakeFilter(9000, rate, 1.0);
    Random r{0xC4A5};
    for (std::size_t i = 0; i < w.size(); ++i) {
        const double t = i / rate;
        const double env = 0.35 * std::exp(-t / 0.05) + std::exp(-t / 0.5);
        w[i] = lp.Low(hp.High(0.45 * Metal(t * 1.31) + r.Next())) * env;
    }
    return w;
}

// A deep hit for the big moments: a long falling sine under a noise burst.
std::vector<double> BoomWave(double rate) {
    std::vector<double> w(static_cast<std::size_t>(1.6 * rate));
    Filter lp = MakeFilter(900, rate, 1.0);
    Random r{0xB00};
    double phase = 0;
    for (std::size_t i = 0; i < w.size(); ++i) {
        const double t = i / rate;
        phase += 2 * Pi * (36 + 90 * std::exp(-t / 0.07)) / rate;
        w[i] = std::tanh(1.4 * std::sin(phase) * std::exp(-t / 0.55)) + 0.6 * lp.Low(r.Next()) * std::exp(-t / 0.09);
    }
    return w;
}

// Noise swept upward in pitch and level: four seconds of build-up.
std::vector<double> RiserWave(double rate) {
    std::vector<double> w(static_cast<std::size_t>(4.0 * rate));
    Random r{0x515E};
    Filter bp = MakeFilter(300, rate, 0.5);
    for (std::size_t i = 0; i < w.size(); ++i) {
        const double t = i / rate;
        bp.cutoff = 2 * std::sin(Pi * std::min(300 * std::pow(20.0, t / 4.0), rate / 6) / rate);
        w[i] = bp.Band(r.Next()) * (0.05 + 0.95 * (t / 4.0) * (t / 4.0));
    }
    return w;
}

// Additive tone: harmonics of cycle `cycle` samples with weights from
// `weight(harmonic, sampleIndex)`, up to the Nyquist limit.
template <typename Weight>
double Harmonics(std::size_t i, double cycle, double detune, Weight weight) {
    double sum = 0;
    for (int h = 1; h * detune / cycle < 0.5; ++h)
        sum += weight(h, i) * std::sin(2 * Pi * h * detune * static_cast<double>(i) / cycle);
    return sum;
}

// Bass: a saw through a closing filter over 12 cycles, then one cycle looped.
// 128 samples a cycle at C-2's rate: C-2 sounds C two octaves below middle C.
ModSample BassSample() {
    const double cycle = 128, rate = NoteRate(NoteC2), f = rate / cycle;
    const std::size_t attack = 12 * 128;
    std::vector<double> w(attack + 128);
    for (std::size_t i = 0; i < w.size(); ++i) {
        const double k = std::max(0.0, 1.0 - static_cast<double>(i) / attack);  // 1 -> 0 over the attack
        const double cutoff = 420 + 2600 * k * k * k;
        w[i] = (0.8 + 0.2 * k) * Harmonics(i, cycle, 1, [&](int h, std::size_t) {
            const double x = h * f / cutoff;
            return (h == 1 ? 1.6 : 1.0) / h / std::sqrt(1 + x * x * x * x);
        });
    }
    return Looped("bass", w, attack, 128);
}

// Lead: two detuned saw-square voices, 128 and 129 cycles in a 4096-sample
// loop, so the loop is seamless and the voices beat slowly. 32 samples a
// cycle at C-3's rate: C-2 sounds middle C.
ModSample LeadSample() {
    const std::size_t attack = 1024, loop = 4096;
    std::vector<double> w(attack + loop);
    const auto weight = [&](int h, std::size_t i) {
        const double k = std::max(0.0, 1.0 - static_cast<double>(i) / attack);
        return (h % 2 ? 1.0 : 0.45) / h / (1 + 0.02 * h * h * (1 - k));
    };
    for (std::size_t i = 0; i < w.size(); ++i)
        w[i] = Harmonics(i, 32, 1, weight) + Harmonics(i, 32, 129.0 / 128, weight);
    return Looped("lead", w, attack, loop);
}

// Pad: a soft power chord (root, fifth, octave), each voice doubled a hair
// apart; every partial has a whole number of cycles in the 16384-sample
// loop. 64 samples a cycle at C-3's rate: C-3 sounds middle C.
ModSample PadSample() {
    const std::size_t attack = 4096, loop = 16384;
    const double voices[5] = {256, 257, 384, 383, 512};  // cycles a loop
    std::vector<double> w(attack + loop);
    for (std::size_t i = 0; i < w.size(); ++i) {
        double sum = 0;
        for (double v : voices)
            for (int h = 1; h * v < loop / 2 && h * v <= 4200; ++h)
                sum += std::sin(2 * Pi * h * v * static_cast<double>(i) / loop) / std::pow(h, 1.7);
        w[i] = sum * std::min(1.0, static_cast<double>(i) / attack);
    }
    return Looped("pad", w, attack, loop);
}

// Stab: a plucked power chord that dies within half a second, tuned as the pad.
ModSample StabSample() {
    const double rate = NoteRate(NoteC3), root = rate / 64;
    const double voices[5] = {1.0, 1.007, 1.4983, 1.4935, 2.0};
    std::vector<double> w(static_cast<std::size_t>(0.6 * rate));
    for (std::size_t i = 0; i < w.size(); ++i) {
        const double t = i / rate;
        const double cutoff = 700 + 5000 * std::exp(-t / 0.07);
        double sum = 0;
        for (double v : voices)
            for (int h = 1; h * root * v < rate / 2; ++h) {
                const double x = h * root * v / cutoff;
                sum += std::sin(2 * Pi * h * root * v * t + v) / h / (1 + x * x);
            }
        // Driven a little into saturation: denser, so it cuts through the beat.
        w[i] = std::tanh(0.5 * sum) * std::exp(-t / 0.24) * std::min(1.0, t / 0.002);
    }
    return OneShot("stab", w);
}

std::vector<ModSample> Samples() {
    const double drums = NoteRate(NoteC3), cymbals = NoteRate(NoteB3);
    std::vector<ModSample> s(InstrumentEnd - 1);
    s[Kick - 1] = OneShot("kick", KickWave(drums));
    std::vector<double> both = KickWave(drums), snare = SnareWave(drums);
    for (std::size_t i = 0; i < snare.size(); ++i)
        both[i] += 0.8 * snare[i];
    s[KickSnare - 1] = OneShot("kick+snare", both);
    s[Snare - 1] = OneShot("snare", SnareWave(drums));
    s[Clap - 1] = OneShot("clap", ClapWave(drums));
    s[HatClosed - 1] = OneShot("closed hat", HatWave(cymbals, 0.08, 0.018, 0x4A7));
    s[HatOpen - 1] = OneShot("open hat", HatWave(cymbals, 0.42, 0.11, 0x4A8));
    s[Crash - 1] = OneShot("crash", CrashWave(cymbals));
    s[Boom - 1] = OneShot("boom", BoomWave(drums));
    s[Riser - 1] = OneShot("riser", RiserWave(drums));
    s[Bass - 1] = BassSample();
    s[Stab - 1] = StabSample();
    s[Pad - 1] = PadSample();
    s[Lead - 1] = LeadSample();
    return s;
}

// MIDI pitch that note C-3 gives on each melodic sample (see their tuning).
int PitchAtC3(int instrument) {
    switch (instrument) {
    case Bass: return 48;
    case Lead: return 72;
    default: return 60;  // pad, stab
    }
}

// ---------------------------------------------------------------------------
// The show's cues, from the effects' tables (ms of music time).

const std::uint32_t PulseCues[] = {
    240, 3480, 4080, 7320, 7920, 11140, 11740, 14980, 15580, 18800, 19400,
    22640, 23240, 26480, 27060, 30300, 30900, 34140, 34740, 37960, 38560, 41800};

// Band starts. 42160 is the one band whose window the effect may leave
// empty; a hit there costs nothing either way.
const std::uint32_t BandCues[] = {
    15580, 19160, 23000, 26820, 30660, 34500, 38320, 42160, 49820, 53640,
    57480, 61320, 65140, 69040, 72860, 76700, 80460, 84300, 88140, 91960,
    95800, 99620, 103460, 107280, 111120, 114940, 118780, 122620, 126440, 130280,
    134100, 137940, 141760, 145600, 149440, 153260, 157100, 183980, 187740, 191580,
    199240};

const std::uint32_t RingCues[] = {
    69820, 70060, 70300, 70880, 71720, 71960, 72200, 72800,
    73640, 73880, 74120, 74720, 75560, 75800, 76040, 76640,
    77480, 77720, 77960, 78560, 79400, 79620, 79860, 80460,
    81300, 81540, 81780, 82380, 83220, 83460, 83700, 84060,
    85140, 85380, 85620, 86220, 87060, 87300, 87540, 88140,
    88960, 89200, 89440, 90040, 90880, 91120, 91360, 94960,
    95200, 95800, 96640, 96880, 97100, 97700, 98540, 98780,
    99020, 99620, 100460, 100700, 100940, 101540, 102380, 102620,
    102860, 106440, 106680, 120700, 120820, 121780, 122140, 122380,
    123460, 123680, 123920, 124520, 125360, 125600, 125840, 126440,
    127280, 127520, 127760, 128360, 129200, 129440, 129680, 130280,
    131120, 131360, 131600, 132200, 132660, 133140, 133740, 134100,
    134940, 135180, 135420, 136020, 136860, 137100, 137340, 137940,
    138780, 139020, 139260, 139860, 140700, 140940, 141160, 144760,
    145000, 179120, 179480, 179840};
constexpr int FirstFlash = 44, LastFlash = 47;  // ring cues that also flash the screen

const std::uint32_t StampCues[] = {
    72320, 95800, 99140, 99620, 102980, 103460, 125960, 126440,
    129800, 130280, 137460, 137940, 141280, 141760, 142420, 187260};

const std::uint32_t ZoomCues[] = {172480, 173480, 174480, 175480, 176480};

const std::uint32_t OrbitCues[] = {42220, 141820};  // the orbiting square's windows open

constexpr std::uint32_t ClosingCue = 194960;

// ---------------------------------------------------------------------------
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

enum Channel { Low, High, Deep, Top };  // Amiga panning: Low and Top left, High and Deep right

std::vector<std::array<ModCell, ModChannels>> Grid;

// A hit's row: the nearest row, unless the next row lands on the section's
// rhythm and the nearest does not. Sound that trails a picture by up to a
// row reads as in step; sound ahead of it does not, so hits only ever move
// later.
struct HitSection {
    int firstRow;
    int anchor;            // a row on the section's rhythm
    std::uint16_t rhythm;  // bit p: position p of 16 after the anchor is on it
};

const HitSection HitSections[] = {
    {0, 2, 1 << 0 | 1 << 11 | 1 << 14},           // pulse pairs and bands
    {352, 415, 1 << 0},                            // bands on the downbeat
    {582, 582, 1 << 0 | 1 << 2 | 1 << 4 | 1 << 9},  // the ring riff
    {763, 789, 1 << 0 | 1 << 2 | 1 << 4 | 1 << 9},
    {1006, 1029, 1 << 0 | 1 << 2 | 1 << 4 | 1 << 9},
    {1210, 1213, 1 << 0},
    {1321, 0, 0},
    {1501, 1501, 1 << 0 | 1 << 12},
    {1625, 0, 0},
};

bool OnRhythm(int row, const HitSection& s) {
    return s.rhythm && (s.rhythm >> (((row - s.anchor) % 16 + 16) % 16) & 1);
}

int HitRow(std::uint32_t ms) {
    const int early = static_cast<int>(ms / SoundtrackRowMs);
    const std::uint32_t past = ms % SoundtrackRowMs;
    const int nearest = past * 2 < SoundtrackRowMs ? early : early + 1;
    const HitSection* section = &HitSections[0];
    for (const HitSection& s : HitSections)
        if (s.firstRow <= early)
            section = &s;
    if (past != 0 && nearest == early && !OnRhythm(early, *section) && OnRhythm(early + 1, *section))
        return early + 1;
    return nearest;
}

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

int ChordAt(int row) {
    int degree = 0;
    for (const Chord& c : Chords)
        if (c.row <= row)
            degree = c.degree;
    return degree;
}

// MIDI pitch of a degree of A minor, degree 0 being A4.
int ScalePitch(int degree) {
    static const int Steps[7] = {0, 2, 3, 5, 7, 8, 10};
    const int octave = (degree >= 0 ? degree : degree - 6) / 7;
    return 69 + 12 * octave + Steps[degree - 7 * octave];
}

// The pitch class of a degree placed in [low, low + 12).
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

// Silences a channel from this row (volume 0) unless a note starts there.
void Hush(int row, int channel) {
    if (row < 0 || row >= SoundtrackRows || Grid[row][channel].period)
        return;
    Grid[row][channel].effect = 0xC;
    Grid[row][channel].param = 0;
}

int Position(int row, int origin) { return ((row - origin) % 16 + 16) % 16; }

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

// ---------------------------------------------------------------------------
// Hits on the cues, written over the arrangement.

// A stab on the chord of its row; in the ring sections the riff's four
// positions climb through the chord.
void StabAt(int row, int volume, int riffAnchor = -1) {
    int degree = ChordAt(row);
    if (riffAnchor >= 0) {
        switch (Position(row, riffAnchor)) {
        case 4: degree += 4; break;
        case 9: degree += 2; break;
        }
    }
    if (((degree % 7) + 7) % 7 == 1)  // a power chord on B leaves the key
        degree += 1;
    Tone(row, Top, Stab, PitchIn(degree, 52), volume);
}

// Room for a crash: the hats wait while it rings.
void CrashAt(int row, int volume) {
    for (int r = row + 1; r < std::min(row + 8, SoundtrackRows); ++r)
        if (Grid[r][High].sample == HatClosed || Grid[r][High].sample == HatOpen)
            Grid[r][High] = ModCell{};
    Drum(row, High, Crash, volume);
}

void PlaceHits() {
    for (std::uint32_t ms : BandCues)
        CrashAt(HitRow(ms), ms >= ClosingCue ? 48 : 56);  // softer in the calm close
    for (std::uint32_t ms : StampCues) {
        const int row = HitRow(ms);
        if (Grid[row][High].sample != Crash)
            Drum(row, High, Clap, 56);
    }
    for (std::uint32_t ms : PulseCues) {
        const int row = HitRow(ms);
        const bool pickup = Position(row, 2) == 11;
        StabAt(row, 56);
        if (row < 130)  // before the beat starts the pulses carry the low end
            Drum(row, Low, pickup ? Kick : Boom, pickup ? 44 : 56);
    }
    int i = 0;
    for (std::uint32_t ms : RingCues) {
        const int row = HitRow(ms);
        int anchor = -1;
        for (const HitSection& s : HitSections)
            if (s.firstRow <= row)
                anchor = s.rhythm == (1 << 0 | 1 << 2 | 1 << 4 | 1 << 9) ? s.anchor : -1;
        StabAt(row, 60, anchor);
        if (i >= FirstFlash && i <= LastFlash) {  // the screen flashes: everything hits
            Drum(row, Low, Boom, 64);
            CrashAt(row, 60);
        }
        ++i;
    }
    for (std::uint32_t ms : ZoomCues) {
        const int row = HitRow(ms);
        Drum(row, Low, Boom, 60);
        CrashAt(row, 48);
        StabAt(row, 50);
    }
    const int closing = HitRow(ClosingCue);
    Drum(closing, Low, Boom, 64);
    CrashAt(closing, 60);
    StabAt(closing, 56);
}

// Volume steps on every free row from `from`, so that whatever still sounds
// fades out, reaching silence at row `to`.
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

// Room for the hits. A cue is heard as an accent only where the music gets
// louder on it, and in a dense passage no hit is loud enough for that on its
// own. So on the row before every hit each channel plays on softer, at two
// fifths of its volume (the low one, where the kick's long thud rings, at a
// quarter), and takes its volume back on the hit's row: the mix breathes in
// before each hit. Where two hits follow row on row, the first one's loud
// notes stop after a tick, a flam into the second, and its soft ones give way.
void MakeRoom(const std::vector<int>& hitRows) {
    std::vector<bool> hit(SoundtrackRows + 1, false);
    for (int row : hitRows)
        hit[row] = true;
    int volume[ModChannels] = {64, 64, 64, 64};  // as arranged, before any ducking
    for (int row = 0; row < SoundtrackRows; ++row)
        for (int ch = 0; ch < ModChannels; ++ch) {
            ModCell& c = Grid[row][ch];
            const bool free = c.effect == 0 && c.param == 0;
            if (c.effect == 0xC)
                volume[ch] = c.param;
            else if (c.period)
                volume[ch] = 64;  // a note without a volume plays at its sample's, 64
            if (!hit[row + 1]) {
                if (hit[row] && !c.period && free)
                    c = ModCell{0, 0, 0xC, static_cast<std::uint8_t>(volume[ch])};
            } else if (hit[row] && c.period && c.effect == 0xC && c.param >= 56) {
                c = ModCell{c.sample, c.period, 0xE, 0xC1};  // full volume, cut after one tick
            } else {
                if (c.period && (hit[row] || c.effect != 0xC))
                    c = ModCell{};
                const int duck = ch == Low ? volume[ch] / 4 : volume[ch] * 2 / 5;
                c.effect = 0xC;
                c.param = static_cast<std::uint8_t>(duck);
            }
        }
}

}  // namespace

std::vector<SoundtrackHit> SoundtrackHits() {
    std::vector<SoundtrackHit> hits;
    for (std::uint32_t ms : PulseCues) hits.push_back({ms, HitRow(ms)});
    for (std::uint32_t ms : BandCues) hits.push_back({ms, HitRow(ms)});
    for (std::uint32_t ms : RingCues) hits.push_back({ms, HitRow(ms)});
    for (std::uint32_t ms : StampCues) hits.push_back({ms, HitRow(ms)});
    for (std::uint32_t ms : ZoomCues) hits.push_back({ms, HitRow(ms)});
    for (std::uint32_t ms : OrbitCues) hits.push_back({ms, HitRow(ms)});
    hits.push_back({ClosingCue, HitRow(ClosingCue)});
    std::stable_sort(hits.begin(), hits.end(), [](const SoundtrackHit& a, const SoundtrackHit& b) { return a.ms < b.ms; });
    return hits;
}

ModSong MakeSoundtrack() {
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
    PlaceHits();
    std::vector<int> rows;
    for (const SoundtrackHit& h : SoundtrackHits())
        rows.push_back(h.row);
    MakeRoom(rows);
    FadeOut(1680, SoundtrackRows - 4);
    // Speed 6, tempo 125 are the format's defaults; say so anyway, on two
    // cells that the arrangement leaves empty.
    Grid[0][Low] = ModCell{0, 0, 0xF, 6};
    Grid[0][Top] = ModCell{0, 0, 0xF, 125};

    ModSong song;
    song.title = "orvane";
    song.samples = Samples();
    for (int p = 0; p < SoundtrackPatterns; ++p) {
        ModPattern pattern;
        for (int r = 0; r < ModRows; ++r)
            for (int ch = 0; ch < ModChannels; ++ch)
                pattern[r * ModChannels + ch] = Grid[p * ModRows + r][ch];
        song.patterns.push_back(pattern);
        song.order.push_back(static_cast<std::uint8_t>(p));
    }
    return song;
}
