// clock-bench [--monitor] [MODULE [SECONDS]]: plays a module through the
// live sound library for at most SECONDS (20), reading FMUSIC_GetTime about
// every millisecond, then prints how smooth and how true the heard clock was.
// Without a module, or with "-", it writes a tiny one of its own. On a
// machine without sound run it with SDL_AUDIODRIVER=dummy.
//
// --monitor records PulseAudio's default source while the music plays and
// reports when the sink played the first audible frame, by the server's own
// timing, against the clock's zero. Meant for a server whose default source
// is the monitor of the sink that plays (bench/clock-bench-pulse starts
// such a server).

#include "bench/line_fit.h"
#include "bench/monitor_recorder.h"
#include "music/music.h"
#include "music/sound_library_common.h"
#include "tools/make_standins/tiny_module.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>
#include <unistd.h>

namespace {
using Clock = BenchClock;

struct Reading {
    double HostMs;        // since playback was started, halfway through the call
    std::uint32_t Music;  // FMUSIC_GetTime
};

// The line of music time against host time through readings [from, to).
Line FitReadings(const std::vector<Reading>& readings, std::size_t from, std::size_t to)
{
    std::vector<Point> points;
    for (std::size_t i = from; i < to; ++i)
        points.push_back({readings[i].HostMs, static_cast<double>(readings[i].Music)});
    return FitLine(points.data(), points.data() + points.size());
}

// Host ms at which a line of music time against host time reads 0.
double ZeroHostMs(const Line& line) { return -line.Intercept / line.Slope; }

// Music frames before the module's first loud sample, rendered as the live
// library renders it; 0 when it cannot be read.
std::int64_t FirstLoudMusicFrame(const std::string& path)
{
    std::vector<char> bytes;
    std::ostringstream log;
    int error = SoundErrorNone;
    std::unique_ptr<openmpt::module> module = LoadLiveModule(path.c_str(), bytes, log, error);
    if (!module)
        return 0;
    try {
        std::vector<std::int16_t> block(2 * 1024);
        std::int64_t frames = 0;
        while (std::size_t count = module->read_interleaved_stereo(MonitorRate, 1024, block.data())) {
            for (std::size_t i = 0; i < 2 * count; ++i)
                if (std::abs(block[i]) > 64)
                    return frames + static_cast<std::int64_t>(i / 2);
            frames += static_cast<std::int64_t>(count);
        }
    } catch (...) {
    }
    return 0;
}
std::int64_t FirstLoudFrame = 0;

void Report(const std::vector<Reading>& readings)
{
    // Fit only while the music moves: before the first heard frame and after
    // the last one the clock holds still by design.
    std::uint32_t last = readings.empty() ? 0 : readings.back().Music;
    std::vector<Reading> moving;
    for (const Reading& r : readings)
        if (r.Music > 0 && r.Music < last)
            moving.push_back(r);
    const Line whole = FitReadings(moving, 0, moving.size());

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
            localDeviation = std::max(localDeviation, FitReadings(moving, from, to).Deviation);
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
    const MonitorResults monitor = MonitorResultsSoFar();
    if (!monitor.Recorded)
        return;
    // Frame 0 of the music is heard where the sink plays this stream
    // position: the first loud frame's, less the module's quiet lead-in.
    const double musicStartStreamMs =
        1000.0 * static_cast<double>(monitor.FirstSoundFrame - FirstLoudFrame) / MonitorRate;
    const double deliveredMs = monitor.FirstSoundDeliveredMs;
    Line nearStart;
    if (monitor.FirstSoundFrame < 0 || moving.size() < 2 ||
        !SinkPosition(deliveredMs - 1000, deliveredMs + 3000, nearStart)) {
        std::printf("first sound at monitor:   none came (%s)\n", monitor.Source.c_str());
        return;
    }
    const double heardStartMs = (musicStartStreamMs - nearStart.Intercept) / nearStart.Slope;
    // Where the fitted line reads 0: the start as the clock tells it, free
    // of the 1-ms steps of single readings. The readings are whole
    // milliseconds rounded down, so the line runs half a millisecond low.
    const double zeroMs = ZeroHostMs(whole) - 0.5 / whole.Slope;
    std::printf("first sound at monitor:   music frame 0 played by the sink at %.1f ms of host time (timing spread "
                "%.2f ms);\n                          first loud frame %lld came to us at %.1f ms, sink buffer then "
                "%.1f ms\n",
                heardStartMs, nearStart.Deviation, static_cast<long long>(FirstLoudFrame), deliveredMs,
                monitor.SinkLatencyMs);
    std::printf("start offset:             %+.1f ms (clock's zero %.1f ms minus frame 0 heard)\n",
                zeroMs - heardStartMs, zeroMs);
    // Every reading against what the sink was playing at that moment.
    Line sink;
    if (!SinkPosition(deliveredMs, readings.back().HostMs, sink))
        return;
    double sum = 0, low = 1e9, high = -1e9;
    for (const Reading& r : moving) {
        double error = r.Music + 0.5 - (sink.Intercept + sink.Slope * r.HostMs - musicStartStreamMs);
        sum += error;
        low = std::min(low, error);
        high = std::max(high, error);
    }
    std::printf("clock minus sink's play:  mean %+.2f ms, from %+.2f to %+.2f ms (sink timing spread %.2f ms)\n",
                sum / static_cast<double>(moving.size()), low, high, sink.Deviation);
    // The music itself moved against the sink there: a clock that follows
    // what is heard cannot stay on one line through them.
    std::printf("dropouts at the sink:     %d, %.1f ms in all\n", monitor.Dropouts, monitor.DroppedMs);
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
    // A sound server whose sink was idle may hold a new stream for up to
    // 2 s before it asks for more; the schedule counts from after that.
    const double blockMs = 1000.0 * obtained.samples / obtained.freq;
    std::size_t from = 0;
    for (std::size_t k = 1; k < CallbackHostMs.size(); ++k)
        if (CallbackHostMs[k] - CallbackHostMs[k - 1] > 10 * blockMs && CallbackHostMs[k] < 3000)
            from = k;
    std::vector<Reading> schedule;
    for (std::size_t k = from; k < CallbackHostMs.size(); ++k)
        schedule.push_back({CallbackHostMs[k], static_cast<std::uint32_t>(std::lround((k - from) * blockMs))});
    const Line fit = FitReadings(schedule, 0, schedule.size());
    std::printf("output's own schedule:    %zu callbacks, deviation of fit %.2f ms, drift %+.1f ms per minute",
                schedule.size(), fit.Deviation, (fit.Slope - 1) * 60000);
    if (from > 0)
        std::printf(" (from %.0f ms, after a hold)", CallbackHostMs[from]);
    std::printf("\n");
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
    if (monitor)
        FirstLoudFrame = FirstLoudMusicFrame(module);
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
        StartMonitor();
        // A null sink that was idle holds a new stream's first audio for up
        // to 2 s; play into a stream that already flows, so that the start
        // offset is the clock's and not that hold's.
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    }

    std::vector<Reading> readings;
    readings.reserve(static_cast<std::size_t>(seconds * 1100) + 16);
    Clock::time_point start = Clock::now();
    MarkMonitorPlayStart(start);
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
    StopMonitor();
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
