#pragma once
// The sink's monitor, recorded through PulseAudio's own client library so
// that the time at which a frame was played comes from the server's timing
// information and not from when a capture thread happened to wake up. For
// clock-bench --monitor; meant for a server whose default source is the
// monitor of the sink that plays (bench/clock-bench-pulse starts one).

#include "bench/line_fit.h"

#include <chrono>
#include <cstdint>
#include <string>

using BenchClock = std::chrono::steady_clock;

constexpr int MonitorRate = 44100;  // frames per second of the recording

// Records the default source (with clock-bench-pulse: the null sink's
// monitor) in 256-frame fragments. False, with a message, when it cannot.
// It asks the server for no latency of its own: a recorder that asks for a
// small one (as SDL's capture does) makes the sink render in other pieces,
// which moved the player's callbacks in a sawtooth of about +-1.2 ms and the
// heard latency by 2 to 7 ms, from run to run; the bench would then measure
// its own recorder.
bool StartMonitor();

// Host time 0 of every figure below: when playback was started. Timing
// samples are taken only from then on.
void MarkMonitorPlayStart(BenchClock::time_point start);

// Ends the recording; no callback runs after it.
void StopMonitor();

struct MonitorResults {
    bool Recorded = false;              // the recording started
    std::string Source;                 // the source recorded
    std::int64_t FirstSoundFrame = -1;  // stream frame of the first loud sample; -1: none
    double FirstSoundDeliveredMs = 0;   // host ms since play when it came to us
    double SinkLatencyMs = -1;          // the sink's buffer at the first timing after it
    // Silences of a millisecond or more between the first and the last loud
    // frame: for a module that never falls quiet (clock-bench's own), each
    // is audio the sink did not get in time, and the music after it plays
    // that much later.
    int Dropouts = 0;
    double DroppedMs = 0;
};
// What the recording found. After StopMonitor.
MonitorResults MonitorResultsSoFar();

// The sink plays at a steady rate of its own: the position it plays (stream
// ms) as a line against host ms since play, from the timing samples between
// fromMs and toMs. Fewer than ten samples there give no line. After
// StopMonitor.
bool SinkPosition(double fromMs, double toMs, Line& line);
