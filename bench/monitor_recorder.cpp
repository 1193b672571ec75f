#include "bench/monitor_recorder.h"

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
using Clock = BenchClock;

std::atomic<Clock::rep> PlayStartTicks{0};  // steady_clock ticks; 0 until playback starts

double HostMsSincePlay(Clock::time_point at)
{
    return std::chrono::duration<double, std::milli>(at.time_since_epoch() - Clock::duration(PlayStartTicks.load()))
        .count();
}

// Its callbacks run on the library's thread with the loop's lock held; the
// main thread reads the results after StopMonitor.
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
    std::vector<Point> Timing;  // (host ms since play, stream ms the sink plays then)
    std::int64_t QuietFrames = 0;     // the silence so far since the last loud frame
    std::int64_t SilencesFrames = 0;  // silences of DropoutFrames or more, loud frames after them
    int Silences = 0;
};
MonitorRecorder Monitor;
constexpr int MonitorFrameBytes = 4;  // 16-bit stereo
constexpr double LongestTimingAskMs = 2;  // answers that took longer say too little about when
constexpr std::int64_t DropoutFrames = MonitorRate / 1000;  // a millisecond of silence

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
    Monitor.Timing.push_back({HostMsSincePlay(Monitor.AskedAt) + askMs / 2, playingMs});
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
        const std::int16_t* samples = static_cast<const std::int16_t*>(data);
        for (std::size_t frame = 0; frame < bytes / MonitorFrameBytes; ++frame) {
            // A hole in the stream (data == nullptr) is silence too.
            const bool loud = data != nullptr &&
                              (std::abs(samples[2 * frame]) > 64 || std::abs(samples[2 * frame + 1]) > 64);
            if (!loud) {
                ++Monitor.QuietFrames;
                continue;
            }
            if (Monitor.FirstSoundFrame < 0) {
                Monitor.FirstSoundFrame = Monitor.FramesRead + static_cast<std::int64_t>(frame);
                Monitor.FirstSoundDelivered = Clock::now();
            } else if (Monitor.QuietFrames >= DropoutFrames) {
                ++Monitor.Silences;
                Monitor.SilencesFrames += Monitor.QuietFrames;
            }
            Monitor.QuietFrames = 0;
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
}  // namespace

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

void MarkMonitorPlayStart(BenchClock::time_point start) { PlayStartTicks.store(start.time_since_epoch().count()); }

MonitorResults MonitorResultsSoFar()
{
    MonitorResults results;
    results.Recorded = Monitor.Stream != nullptr;
    results.Source = Monitor.Source;
    results.FirstSoundFrame = Monitor.FirstSoundFrame;
    results.FirstSoundDeliveredMs = HostMsSincePlay(Monitor.FirstSoundDelivered);
    results.SinkLatencyMs = Monitor.SinkLatencyMs;
    results.Dropouts = Monitor.Silences;
    results.DroppedMs = 1000.0 * static_cast<double>(Monitor.SilencesFrames) / MonitorRate;
    return results;
}

bool SinkPosition(double fromMs, double toMs, Line& line)
{
    std::vector<Point> points;
    for (const Point& sample : Monitor.Timing)
        if (sample.x >= fromMs && sample.x <= toMs)
            points.push_back(sample);
    if (points.size() < 10)
        return false;
    line = FitLine(points.data(), points.data() + points.size());
    return true;
}
