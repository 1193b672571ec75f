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

#include "music/music.h"
#include "tools/make_standins/tiny_module.h"

#include <SDL.h>
#include <libopenmpt/libopenmpt.hpp>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
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

std::atomic<Clock::rep> PlayStartTicks{0};  // steady_clock ticks; 0 until playback starts

double HostMsSincePlay(Clock::time_point at)
{
    return std::chrono::duration<double, std::milli>(at.time_since_epoch() - Clock::duration(PlayStartTicks.load()))
        .count();
}

// The sink's monitor, recorded through PulseAudio's own client library so
// that the time at which a frame was played comes from the server's timing
// information and not from when a capture thread happened to wake up. Its
// callbacks run on the library's thread with the loop's lock held; the main
// thread reads the results after StopMonitor.
struct MonitorRecorder {
    pa_threaded_mainloop* Loop = nullptr;
    pa_context* Context = nullptr;
    pa_stream* Stream = nullptr;
    std::string Source;
    std::int64_t FramesRead = 0;        // frames of the stream so far, holes included
    std::int64_t FirstSoundFrame = -1;  // stream frame of the first loud sample
    Clock::time_point FirstSoundDelivered;
    double SinkLatencyMs = -1;  // the sink's buffer at the first timing after the first sound
    bool Asking = false;        // a timing request is on its way
    Clock::time_point AskedAt;
    std::vector<std::pair<double, double>> Timing;  // (host ms since play, stream ms the sink plays then)
};
MonitorRecorder Monitor;
constexpr int MonitorRate = 44100;
constexpr int MonitorFrameBytes = 4;  // 16-bit stereo
constexpr double LongestTimingAskMs = 2;  // answers that took longer say too little about when

void OnContextState(pa_context*, void*) { pa_threaded_mainloop_signal(Monitor.Loop, 0); }
void OnStreamState(pa_stream*, void*) { pa_threaded_mainloop_signal(Monitor.Loop, 0); }

// The server took its snapshot between the ask and the answer: the middle
// of the two is its host time. For a monitor, the frame that the sink plays
// at that moment is the stream's write index less the sink's buffer (the
// monitor gets every frame when the sink renders it, ahead of its playing).
void OnTimingAnswer(pa_stream* stream, int success, void*)
{
    Monitor.Asking = false;
    Clock::time_point now = Clock::now();
    const pa_timing_info* timing = pa_stream_get_timing_info(stream);
    if (!success || timing == nullptr || timing->write_index_corrupt || PlayStartTicks.load() == 0)
        return;
    double askMs = std::chrono::duration<double, std::milli>(now - Monitor.AskedAt).count();
    if (askMs > LongestTimingAskMs)
        return;
    double playingMs = 1000.0 * static_cast<double>(timing->write_index / MonitorFrameBytes) / MonitorRate +
                       timing->source_usec / 1000.0 - timing->sink_usec / 1000.0;
    Monitor.Timing.emplace_back(HostMsSincePlay(Monitor.AskedAt) + askMs / 2, playingMs);
    if (Monitor.FirstSoundFrame >= 0 && Monitor.SinkLatencyMs < 0)
        Monitor.SinkLatencyMs = timing->sink_usec / 1000.0;
}

// The first sample clearly above the decoder's dither marks the first
// sound. Every delivery asks for fresh timing unless an ask is pending.
void OnMonitorData(pa_stream* stream, std::size_t, void*)
{
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
        if (data != nullptr && Monitor.FirstSoundFrame < 0) {
            const std::int16_t* samples = static_cast<const std::int16_t*>(data);
            for (std::size_t i = 0; i < bytes / 2; ++i)
                if (std::abs(samples[i]) > 64) {
                    Monitor.FirstSoundFrame = Monitor.FramesRead + static_cast<std::int64_t>(i / 2);
                    Monitor.FirstSoundDelivered = Clock::now();
                    break;
                }
        }
        Monitor.FramesRead += static_cast<std::int64_t>(bytes / MonitorFrameBytes);
        pa_stream_drop(stream);
    }
    if (!Monitor.Asking && PlayStartTicks.load() != 0) {
        if (pa_operation* ask = pa_stream_update_timing_info(stream, OnTimingAnswer, nullptr)) {
            Monitor.Asking = true;
            Monitor.AskedAt = Clock::now();
            pa_operation_unref(ask);
        }
    }
}

// Records the default source (with clock-bench-pulse: the null sink's
// monitor) in 256-frame fragments. False, with a message, when it cannot.
// It asks the server for no latency of its own: a recorder that asks for a
// small one (as SDL's capture does) makes the sink render in other pieces,
// which moved the player's callbacks in a sawtooth of about +-1.2 ms and the
// heard latency by 2 to 7 ms, from run to run; the bench would then measure
// its own recorder.
bool StartMonitor()
{
    Monitor.Loop = pa_threaded_mainloop_new();
    if (Monitor.Loop == nullptr || pa_threaded_mainloop_start(Monitor.Loop) < 0) {
        std::printf("monitor: no PulseAudio main loop\n");
        return false;
    }
    pa_threaded_mainloop_lock(Monitor.Loop);
    Monitor.Context = pa_context_new(pa_threaded_mainloop_get_api(Monitor.Loop), "clock-bench monitor");
    pa_context_set_state_callback(Monitor.Context, OnContextState, nullptr);
    bool ok = pa_context_connect(Monitor.Context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0;
    while (ok && pa_context_get_state(Monitor.Context) != PA_CONTEXT_READY) {
        ok = PA_CONTEXT_IS_GOOD(pa_context_get_state(Monitor.Context));
        if (ok)
            pa_threaded_mainloop_wait(Monitor.Loop);
    }
    if (ok) {
        const pa_sample_spec spec{PA_SAMPLE_S16LE, MonitorRate, 2};
        Monitor.Stream = pa_stream_new(Monitor.Context, "clock-bench monitor", &spec, nullptr);
        pa_buffer_attr attr;
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = static_cast<std::uint32_t>(-1);
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = 256 * MonitorFrameBytes;
        pa_stream_set_state_callback(Monitor.Stream, OnStreamState, nullptr);
        pa_stream_set_read_callback(Monitor.Stream, OnMonitorData, nullptr);
        ok = pa_stream_connect_record(Monitor.Stream, nullptr, &attr, PA_STREAM_NOFLAGS) >= 0;
        while (ok && pa_stream_get_state(Monitor.Stream) != PA_STREAM_READY) {
            ok = PA_STREAM_IS_GOOD(pa_stream_get_state(Monitor.Stream));
            if (ok)
                pa_threaded_mainloop_wait(Monitor.Loop);
        }
        if (ok)
            Monitor.Source = pa_stream_get_device_name(Monitor.Stream);
    }
    if (!ok)
        std::printf("monitor: cannot record (%s)\n", pa_strerror(pa_context_errno(Monitor.Context)));
    pa_threaded_mainloop_unlock(Monitor.Loop);
    return ok;
}

void StopMonitor()
{
    if (Monitor.Loop == nullptr)
        return;
    pa_threaded_mainloop_stop(Monitor.Loop);  // no callback runs after this
    if (Monitor.Stream != nullptr) {
        pa_stream_disconnect(Monitor.Stream);
        pa_stream_unref(Monitor.Stream);
    }
    if (Monitor.Context != nullptr) {
        pa_context_disconnect(Monitor.Context);
        pa_context_unref(Monitor.Context);
    }
    pa_threaded_mainloop_free(Monitor.Loop);
    Monitor.Loop = nullptr;
}

// A least-squares line y = Intercept + Slope x through the points, and the
// largest distance of a point from it.
struct Line {
    double Slope = 1;
    double Intercept = 0;
    double Spread = 0;
};

Line FitPoints(const std::vector<std::pair<double, double>>& points)
{
    Line line;
    double n = static_cast<double>(points.size()), sx = 0, sy = 0, sxx = 0, sxy = 0;
    if (n < 2)
        return line;
    for (const std::pair<double, double>& p : points) {
        sx += p.first;
        sy += p.second;
        sxx += p.first * p.first;
        sxy += p.first * p.second;
    }
    line.Slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    line.Intercept = (sy - line.Slope * sx) / n;
    for (const std::pair<double, double>& p : points)
        line.Spread = std::max(line.Spread, std::fabs(p.second - (line.Intercept + line.Slope * p.first)));
    return line;
}

// The sink plays at a steady rate of its own: the position it plays, as a
// line against host time, from the timing samples between fromMs and toMs
// of host time. Fewer than ten samples there give no line.
bool SinkPosition(double fromMs, double toMs, Line& line)
{
    std::vector<std::pair<double, double>> points;
    for (const std::pair<double, double>& sample : Monitor.Timing)
        if (sample.first >= fromMs && sample.first <= toMs)
            points.push_back(sample);
    if (points.size() < 10)
        return false;
    line = FitPoints(points);
    return true;
}

// Music frames before the module's first loud sample, rendered as the live
// library renders it; 0 when it cannot be read.
std::int64_t FirstLoudMusicFrame(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return 0;
    std::vector<char> bytes;
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    try {
        openmpt::module module(bytes);
        std::vector<std::int16_t> block(2 * 1024);
        std::int64_t frames = 0;
        while (std::size_t count = module.read_interleaved_stereo(MonitorRate, 1024, block.data())) {
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
    if (Monitor.Stream == nullptr)
        return;
    // Frame 0 of the music is heard where the sink plays this stream
    // position: the first loud frame's, less the module's quiet lead-in.
    const double musicStartStreamMs =
        1000.0 * static_cast<double>(Monitor.FirstSoundFrame - FirstLoudFrame) / MonitorRate;
    const double deliveredMs = HostMsSincePlay(Monitor.FirstSoundDelivered);
    Line nearStart;
    if (Monitor.FirstSoundFrame < 0 || moving.size() < 2 ||
        !SinkPosition(deliveredMs - 1000, deliveredMs + 3000, nearStart)) {
        std::printf("first sound at monitor:   none came (%s)\n", Monitor.Source.c_str());
        return;
    }
    const double heardStartMs = (musicStartStreamMs - nearStart.Intercept) / nearStart.Slope;
    // Where the fitted line reads 0: the start as the clock tells it, free
    // of the 1-ms steps of single readings. The readings are whole
    // milliseconds rounded down, so the line runs half a millisecond low.
    const double zeroMs = whole.ZeroHostMs - 0.5 / whole.Slope;
    std::printf("first sound at monitor:   music frame 0 played by the sink at %.1f ms of host time (timing spread "
                "%.2f ms);\n                          first loud frame %lld came to us at %.1f ms, sink buffer then "
                "%.1f ms\n",
                heardStartMs, nearStart.Spread, static_cast<long long>(FirstLoudFrame), deliveredMs,
                Monitor.SinkLatencyMs);
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
                sum / static_cast<double>(moving.size()), low, high, sink.Spread);
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
    Fit fit = FitLine(schedule.begin(), schedule.end());
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
