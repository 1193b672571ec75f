// clock-bench [--monitor] [MODULE [SECONDS]]: plays a module through the
// live sound library for at most SECONDS (20), reading FMUSIC_GetTime about
// every millisecond, then prints how smooth and how true the heard clock was.
// Without a module, or with "-", it writes a tiny one of its own. On a
// machine without sound run it with SDL_AUDIODRIVER=dummy.
//
// --monitor records the default capture device while the music plays and
// reports when the first audible frame arrived there against the clock's
// zero. Meant for a sound server whose default source is the monitor of the
// sink that plays (bench/clock-bench-pulse starts such a server).

#include "music/music.h"
#include "tests/support/tiny_module.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

struct Reading {
    double HostMs;        // since playback was started, halfway through the call
    std::uint32_t Music;  // FMUSIC_GetTime
};

struct Fit {
    double Slope = 1;       // music ms per host ms
    double Deviation = 0;   // largest distance of a reading from the line, ms
    double ZeroHostMs = 0;  // host ms at which the line reads music time 0
};

// Least-squares line of music time against host time.
Fit FitLine(std::vector<Reading>::const_iterator begin, std::vector<Reading>::const_iterator end)
{
    Fit fit;
    double n = static_cast<double>(end - begin);
    if (n < 2)
        return fit;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (auto r = begin; r != end; ++r) {
        sx += r->HostMs;
        sy += r->Music;
        sxx += r->HostMs * r->HostMs;
        sxy += r->HostMs * r->Music;
    }
    fit.Slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    double intercept = (sy - fit.Slope * sx) / n;
    fit.ZeroHostMs = -intercept / fit.Slope;
    for (auto r = begin; r != end; ++r)
        fit.Deviation = std::max(fit.Deviation, std::fabs(r->Music - (intercept + fit.Slope * r->HostMs)));
    return fit;
}

// Host ms (since playback was started) at which the monitor first carried
// sound; negative while none came. Written by the capture thread.
std::atomic<double> MonitorFirstSoundMs{-1};
std::atomic<Clock::rep> PlayStartTicks{0};  // steady_clock ticks; 0 until playback starts
SDL_AudioDeviceID Monitor = 0;
bool MonitorOpen = false;

// Runs on SDL's capture thread. Before playback only silence comes; the
// first sample clearly above the decoder's dither marks the first sound.
void ListenToMonitor(void*, Uint8* stream, int length)
{
    Clock::rep start = PlayStartTicks.load();
    if (start == 0)
        return;
    double nowMs = std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch() - Clock::duration(start))
                       .count();
    if (MonitorFirstSoundMs.load() >= 0)
        return;
    const std::int16_t* samples = reinterpret_cast<const std::int16_t*>(stream);
    for (int i = 0; i < length / 2; ++i)
        if (std::abs(samples[i]) > 64) {
            MonitorFirstSoundMs.store(nowMs);
            return;
        }
}

// A small capture buffer, so that a block waits little before it is seen.
void OpenMonitor()
{
    SDL_AudioSpec wanted{};
    wanted.freq = 44100;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 256;
    wanted.callback = ListenToMonitor;
    SDL_AudioSpec obtained{};
    Monitor = SDL_OpenAudioDevice(nullptr, 1, &wanted, &obtained, 0);
    if (Monitor == 0) {
        std::printf("monitor: cannot record (%s)\n", SDL_GetError());
        return;
    }
    MonitorOpen = true;
    SDL_PauseAudioDevice(Monitor, 0);
}

void Report(const std::vector<Reading>& readings)
{
    // Fit only while the music moves: before the first heard frame and after
    // the last one the clock holds still by design.
    std::uint32_t last = readings.empty() ? 0 : readings.back().Music;
    std::vector<Reading> moving;
    for (const Reading& r : readings)
        if (r.Music > 0 && r.Music < last)
            moving.push_back(r);
    Fit whole = FitLine(moving.begin(), moving.end());

    long backward = 0;
    std::uint32_t largestStep = 0;
    double largestGap = 0, largestJump = 0;
    for (std::size_t i = 1; i < readings.size(); ++i) {
        double gap = readings[i].HostMs - readings[i - 1].HostMs;
        largestGap = std::max(largestGap, gap);
        if (readings[i].Music < readings[i - 1].Music) {
            ++backward;
            continue;
        }
        std::uint32_t step = readings[i].Music - readings[i - 1].Music;
        largestStep = std::max(largestStep, step);
        // When this reader was held up, a big step is only the time it
        // missed, at the rate the device plays (its drift taken out).
        largestJump = std::max(largestJump, step - gap * whole.Slope);
    }
    // The same over one-second stretches: what is left there is the clock's
    // own jitter, while the whole-run figure also holds any wander in the
    // rate at which the output consumes audio.
    double localDeviation = 0;
    for (std::size_t from = 0; from < moving.size();) {
        std::size_t to = from;
        while (to < moving.size() && moving[to].HostMs < moving[from].HostMs + 1000)
            ++to;
        if (to - from >= 100)
            localDeviation = std::max(localDeviation, FitLine(moving.begin() + from, moving.begin() + to).Deviation);
        from = to;
    }

    std::printf("readings:                 %zu over %.1f s\n", readings.size(),
                readings.empty() ? 0.0 : readings.back().HostMs / 1000);
    std::printf("music time reached:       %u ms\n", last);
    std::printf("first heard after:        %.1f ms of host time\n", moving.empty() ? 0.0 : moving.front().HostMs);
    std::printf("backward steps:           %ld\n", backward);
    std::printf("largest step:             %u ms\n", largestStep);
    std::printf("  largest host gap:       %.2f ms between readings (the reader's own delays)\n", largestGap);
    std::printf("  largest step beyond it: %.2f ms\n", largestJump);
    std::printf("largest deviation of fit: %.2f ms\n", whole.Deviation);
    std::printf("  within 1-s stretches:   %.2f ms\n", localDeviation);
    std::printf("drift against host clock: %+.1f ms per minute\n", (whole.Slope - 1) * 60000);
    double firstSound = MonitorFirstSoundMs.load();
    if (firstSound >= 0 && moving.size() >= 2) {
        // Where the fitted line reads 0: the start as the clock tells it,
        // free of the 1-ms steps of single readings.
        double zeroMs = whole.ZeroHostMs;
        std::printf("first sound at monitor:   %.1f ms of host time\n", firstSound);
        std::printf("start offset:             %+.1f ms (clock's zero %.1f ms minus first sound)\n",
                    zeroMs - firstSound, zeroMs);
    } else if (firstSound < 0 && MonitorOpen) {
        std::printf("first sound at monitor:   none came\n");
    }
}
// Host times of the audio callbacks, block by block (audio thread only).
std::vector<double> CallbackHostMs;
Clock::time_point ProbeStart;

void RecordCallback(void*, Uint8* stream, int length)
{
    std::fill(stream, stream + length, Uint8{0});
    CallbackHostMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - ProbeStart).count());
}

// The audio output's own schedule, without the music: each callback should
// come one block of music later than the one before. How far those times
// stray from a straight line is what any clock that follows the heard audio
// inherits, so it is printed next to the clock's own figures.
void ReportOutputSchedule(double seconds)
{
    SDL_AudioSpec wanted{};
    wanted.freq = 44100;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = RecordCallback;
    SDL_AudioSpec obtained{};
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return;
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    CallbackHostMs.reserve(static_cast<std::size_t>(seconds * 100) + 16);
    ProbeStart = Clock::now();
    SDL_PauseAudioDevice(device, 0);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);

    // Block k holds music from k blocks in: as readings of "music time".
    const double blockMs = 1000.0 * obtained.samples / obtained.freq;
    std::vector<Reading> schedule;
    for (std::size_t k = 0; k < CallbackHostMs.size(); ++k)
        schedule.push_back({CallbackHostMs[k], static_cast<std::uint32_t>(std::lround(k * blockMs))});
    Fit fit = FitLine(schedule.begin(), schedule.end());
    std::printf("output's own schedule:    %zu callbacks, deviation of fit %.2f ms, drift %+.1f ms per minute\n",
                schedule.size(), fit.Deviation, (fit.Slope - 1) * 60000);
}
}  // namespace

int main(int argc, char** argv)
{
    bool monitor = argc > 1 && std::string(argv[1]) == "--monitor";
    if (monitor) {
        --argc;
        ++argv;
    }
    double seconds = argc > 2 ? std::atof(argv[2]) : 20;
    if (seconds <= 0)
        seconds = 20;
    std::string module = argc > 1 ? argv[1] : "";
    bool ownModule = module.empty() || module == "-";
    if (ownModule) {
        module = "/tmp/clock-bench-" + std::to_string(getpid()) + ".mod";
        int rows = static_cast<int>(seconds * 1000 / TinyModuleRowMs) + 2;
        if (!WriteTinyModule(module, std::min(rows, 8192))) {
            std::fprintf(stderr, "clock-bench: cannot write %s\n", module.c_str());
            return 1;
        }
    }

    if (!FSOUND_Init(44100, 32, 0)) {
        std::printf("sound output: %s\n", FmodErrorText(FSOUND_GetError()).c_str());
        return 1;
    }
    SongHandle song = FMUSIC_LoadSong(module.c_str());
    if (ownModule)
        std::remove(module.c_str());
    if (song == 0) {
        std::printf("%s: %s\n", module.c_str(), FmodErrorText(FSOUND_GetError()).c_str());
        FSOUND_Close();
        return 1;
    }
    std::printf("module: %s, %.1f s at most\n", ownModule ? "tiny module of our own" : module.c_str(), seconds);
    if (monitor) {
        OpenMonitor();
        // A null sink that was idle holds a new stream's first audio for up
        // to 2 s; play into a stream that already flows, so that the start
        // offset is the clock's and not that hold's.
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    }

    std::vector<Reading> readings;
    readings.reserve(static_cast<std::size_t>(seconds * 1100) + 16);
    Clock::time_point start = Clock::now();
    PlayStartTicks.store(start.time_since_epoch().count());
    FMUSIC_PlaySong(song);
    for (long tick = 1;; ++tick) {
        Clock::time_point before = Clock::now();
        std::uint32_t music = FMUSIC_GetTime(song);
        Clock::time_point after = Clock::now();
        double hostMs = std::chrono::duration<double, std::milli>(before - start + (after - before) / 2).count();
        readings.push_back({hostMs, music});
        if (hostMs >= seconds * 1000 || FMUSIC_IsFinished(song))
            break;
        std::this_thread::sleep_until(start + std::chrono::milliseconds(tick));
    }
    if (Monitor != 0)
        SDL_CloseAudioDevice(Monitor);
    FMUSIC_FreeSong(song);
    FSOUND_Close();

    // For a closer look: every reading as "host-ms music-ms".
    if (const char* dump = std::getenv("CLOCK_BENCH_DUMP"))
        if (std::FILE* file = std::fopen(dump, "w")) {
            for (const Reading& r : readings)
                std::fprintf(file, "%.3f %u\n", r.HostMs, r.Music);
            std::fclose(file);
        }
    Report(readings);
    ReportOutputSchedule(seconds);
    return 0;
}
