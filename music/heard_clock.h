#pragma once
// The playing time that the listener hears, worked out from anchors that the
// sound output reports. Free of SDL and libopenmpt: the sound library's core
// passes in the host times (nanoseconds of a monotonic clock), so tests can
// script them.
//
// Who publishes the anchors (through the core's ReportHeard, one HeardClock
// per song) depends on the output backend:
// - SDL2 (the desktop): the audio thread, in every callback that renders;
// - the page's: the page's main thread, when the core asks the output for
//   its latest word just before it reads the clock;
// - the tests' scripted output: the test's own thread;
// - offline: none; that music time is set, not heard.
// The main thread reads the time. The writer never waits for the reader: the
// SDL audio thread may run at real-time priority with a deadline a few
// milliseconds away, and a lock that the main thread was preempted in would
// hold it past that. It writes an anchor between two steps of Version, and
// the reader reads again when Version was odd or moved meanwhile. The fields
// are private to heard_clock.cpp; use the functions below.

#include "music/sound_library.h"

#include <atomic>
#include <cstdint>

struct HeardClock {
    std::atomic<std::uint32_t> Version{0};          // odd while an anchor is being written
    std::atomic<std::int64_t> SampleRate{SoundRate};  // frames per second of the music
    std::atomic<bool> HasAnchor{false};             // no block rendered yet: time 0
    std::atomic<std::int64_t> AnchorFrame{0};       // music frame that the anchor is about
    std::atomic<std::int64_t> AnchorHeardNs{0};     // host time at which that frame is heard
    std::atomic<std::int64_t> RenderedEndFrame{0};  // frames rendered so far: the time never passes them
    std::atomic<bool> Ended{false};                 // the decoder has delivered its last frame
    std::uint32_t LastMs = 0;  // the reader's only: last time handed out, never goes backwards
};

// Back to time 0, no anchor, not ended. Called on the main thread when a song
// is loaded and when it starts playing, while the output is stopped.
// sampleRate in frames per second.
void ResetHeardClock(HeardClock& clock, int sampleRate);

// Called for the output (see above) once it knows when music is heard: music
// frame blockStartFrame is heard at host time heardAtNs, and renderedFrames
// frames from it on have been rendered (fewer than asked for, or 0, at the
// end). SDL's callback gives the block it just rendered, heard at now plus
// the output latency. ended: the decoder has nothing more after this block.
void PublishHeardAnchor(HeardClock& clock, std::int64_t blockStartFrame, std::int64_t renderedFrames,
                        std::int64_t heardAtNs, bool ended);

// Whole milliseconds of music heard at host time nowNs: interpolated from the
// last anchor, never beyond the audio rendered so far, never below the value
// it returned before. Once the decoder has ended and its last frame has been
// heard, the time goes on with the host clock (silence is playing), so that
// a caller paced by this time keeps running. Called on the main thread.
std::uint32_t HeardTime(HeardClock& clock, std::int64_t nowNs);

// True once the decoder has ended and the last rendered frame has been heard
// by host time nowNs. Called on the main thread.
bool HeardToEnd(HeardClock& clock, std::int64_t nowNs);

// Smooths the host times of the audio callbacks. The device asks for one
// block per period at a steady rate of its own (a little off the host
// clock's); the thread that serves it wakes late now and then. A second-order
// delay-locked loop follows the device's rate and phase and lets a single
// late wake-up move its estimate by only a small part of the lateness. Right
// after a start it averages the phase of all callbacks so far, so that it
// locks within a few of them. A callback more than a period off the estimate
// is passed through unfiltered; two in a row mean the device itself jumped
// (a stall, a restart), and the loop starts again from there. So does a
// third callback in a row more than half a period off on the same side: the
// device's cycle moved for good by about a block (a sound server that missed
// a cycle plays everything after it a cycle later), where single late
// wake-ups come back on time at the next callback. Owned by the audio thread.
struct CallbackFilter {
    bool Locked = false;      // false: the next callback starts the loop
    std::int64_t BaseNs = 0;  // host time the doubles below count from
    double PeriodNs = 0;      // one block at the device's own rate, host ns
    double NextNs = 0;        // when the next callback is due
    int Callbacks = 0;        // callbacks since the loop started
    int OffInARow = 0;        // consecutive callbacks more than a period off
    int MovedInARow = 0;      // consecutive callbacks more than half a period off, on one side
    bool MovedLate = false;   // that side: late
};

// The filtered host time (ns) of a callback that came at calledNs and asks
// for blockFrames frames at sampleRate frames per second. Audio thread.
std::int64_t FilterCallbackTime(CallbackFilter& filter, std::int64_t calledNs, std::int64_t blockFrames,
                                int sampleRate);

// How long after its callback a block's first frame is heard, in ns, for
// SDL's audio driver `driver` playing blocks of blockFrames at sampleRate.
// Most drivers keep one block queued ahead of the one being rendered, so a
// block is heard a block after its callback. SDL's pipewire driver hands the
// block to the PipeWire graph's next cycle, which follows its callback by a
// few milliseconds whatever the block's length: PipeWireCycleLeadNs.
std::int64_t OutputLatencyNs(const char* driver, int blockFrames, int sampleRate);

// The lead of a PipeWire cycle over SDL's callback for it, measured on a
// null sink: 5.2 to 6.8 ms for cycles of 1024 and 2048 frames at 48000 Hz.
// A sink with a device adds the device's own buffer, which SDL cannot tell.
constexpr std::int64_t PipeWireCycleLeadNs = 5000000;

// The clock of a show without music: time since it was first asked.
struct SilentClock {
    bool Started = false;
    std::int64_t StartNs = 0;
};

// Whole milliseconds since the first call of either function below, at host
// time nowNs (modulo 2^32). Main thread only.
std::uint32_t SilentTime(SilentClock& clock, std::int64_t nowNs);

// True once more than lengthMs have passed since the first ask.
bool SilentShowOver(SilentClock& clock, std::int64_t nowNs, std::uint32_t lengthMs);
