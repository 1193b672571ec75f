#include "tools/make_standins/instruments.h"

#include "platform/pi.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// Each sample is synthesized at the rate at which one chosen note plays it
// back, so that it sounds as designed on that note and in tune with the
// others on every note.

constexpr double PalClock = 3546895.0;  // Amiga clock / 2: period -> rate

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

}  // namespace

double NoteRate(int note) { return PalClock / NotePeriod(note); }

std::vector<ModSample> SoundtrackSamples() {
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

int PitchAtC3(int instrument) {
    switch (instrument) {
    case Bass: return 48;
    case Lead: return 72;
    default: return 60;  // pad, stab
    }
}
