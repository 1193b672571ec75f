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
// The main thread reads the time. The fields are private to heard_clock.cpp;
// use the functions below.

#include "music/sound_library.h"

#include <cstdint>
#include <mutex>

struct HeardClock {
    std::mutex Lock;                       // guards everything below
    std::int64_t SampleRate = SoundRate;   // frames per second of the music
    bool HasAnchor = false;                // no block rendered yet: time 0
    std::int64_t AnchorFrame = 0;          // music frame that the anchor is about
    std::int64_t AnchorHeardNs = 0;        // host time at which that frame is heard
    std::int64_t RenderedEndFrame = 0;     // frames rendered so far: the time never passes them
    bool Ended = false;                    // the decoder has delivered its last frame
    std::uint32_t LastMs = 0;              // last time handed out: never goes backwards
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
// (a stall, a restart), and the loop starts again from there. Owned by the
// audio thread.
struct CallbackFilter {
    bool Locked = false;      // false: the next callback starts the loop
    std::int64_t BaseNs = 0;  // host time the doubles below count from
    double PeriodNs = 0;      // one block at the device's own rate, host ns
    double NextNs = 0;        // when the next callback is due
    int Callbacks = 0;        // callbacks since the loop started
    int OffInARow = 0;        // consecutive callbacks more than a period off
};

// The filtered host time (ns) of a callback that came at calledNs and asks
// for blockFrames frames at sampleRate frames per second. Audio thread.
std::int64_t FilterCallbackTime(CallbackFilter& filter, std::int64_t calledNs, std::int64_t blockFrames,
                                int sampleRate);

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
