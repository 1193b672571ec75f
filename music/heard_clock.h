#pragma once
// The playing time that the listener hears, worked out from anchors that the
// audio callback publishes. Free of SDL and libopenmpt: the live sound library
// passes in the host times (nanoseconds of a monotonic clock), so tests can
// script them.
//
// Two threads share one HeardClock: the audio thread publishes anchors, the
// main thread reads the time. The fields are private to heard_clock.cpp; use
// the functions below.

#include <cstdint>
#include <mutex>

struct HeardClock {
    std::mutex Lock;                    // guards everything below
    std::int64_t SampleRate = 44100;    // frames per second of the music
    bool HasAnchor = false;             // no block rendered yet: time 0
    std::int64_t AnchorFrame = 0;       // music frame that the anchor is about
    std::int64_t AnchorHeardNs = 0;     // host time at which that frame is heard
    std::int64_t RenderedEndFrame = 0;  // frames rendered so far: the time never passes them
    bool Ended = false;                 // the decoder has delivered its last frame
    std::uint32_t LastMs = 0;           // last time handed out: never goes backwards
};

// Back to time 0, no anchor, not ended. Called on the main thread when a song
// starts playing, while the audio thread is kept out of the song (audio
// device locked). sampleRate in frames per second.
void ResetHeardClock(HeardClock& clock, int sampleRate);

// Called by the audio callback after it rendered a block: the block's first
// frame is music frame blockStartFrame, it holds renderedFrames frames of
// music (fewer than asked for, or 0, at the end), and its first frame is heard
// at host time heardAtNs (now plus the output latency). ended: the decoder
// has nothing more after this block.
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
