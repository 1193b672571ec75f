#include "music/heard_clock.h"

#include "platform/pi.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr std::int64_t NsPerSecond = 1000000000;
constexpr std::int64_t NsPerMs = 1000000;

std::int64_t FramesToNs(std::int64_t frames, std::int64_t sampleRate)
{
    // Split so that hours of frames times 10^9 cannot overflow.
    return frames / sampleRate * NsPerSecond + frames % sampleRate * NsPerSecond / sampleRate;
}

// Loop bandwidth: 0.3 Hz at 23-ms blocks weighs a phase error by about 0.06
// and settles within about two seconds, so that single wake-ups 8 to 14 ms
// late move the clock by less than a millisecond.
constexpr double LoopBandwidthHz = 0.3;

// Callbacks in a row more than half a period off, on one side, that restart
// the loop: the device's cycle has moved.
constexpr int MovedCallbacks = 3;

void StartLoop(CallbackFilter& filter, std::int64_t calledNs, double nominalPeriodNs)
{
    filter.Locked = true;
    filter.BaseNs = calledNs;
    filter.PeriodNs = nominalPeriodNs;
    filter.NextNs = nominalPeriodNs;
    filter.Callbacks = 1;
    filter.OffInARow = 0;
    filter.MovedInARow = 0;
    filter.MovedLate = false;
}

// What the audio thread last published, read whole.
struct Anchor {
    std::int64_t SampleRate;
    bool HasAnchor;
    std::int64_t Frame;
    std::int64_t HeardNs;
    std::int64_t RenderedEndFrame;
    bool Ended;
};

Anchor ReadAnchor(const HeardClock& clock)
{
    for (;;) {
        const std::uint32_t before = clock.Version.load(std::memory_order_acquire);
        const Anchor anchor{clock.SampleRate.load(std::memory_order_relaxed),
                            clock.HasAnchor.load(std::memory_order_relaxed),
                            clock.AnchorFrame.load(std::memory_order_relaxed),
                            clock.AnchorHeardNs.load(std::memory_order_relaxed),
                            clock.RenderedEndFrame.load(std::memory_order_relaxed),
                            clock.Ended.load(std::memory_order_relaxed)};
        std::atomic_thread_fence(std::memory_order_acquire);
        if (before % 2 == 0 && clock.Version.load(std::memory_order_relaxed) == before)
            return anchor;
    }
}

// Brackets one writer's stores (the audio thread, or the main thread while
// the audio thread is kept out).
void BeginWrite(HeardClock& clock)
{
    clock.Version.store(clock.Version.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
}

void EndWrite(HeardClock& clock)
{
    clock.Version.store(clock.Version.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

// Music nanoseconds heard at nowNs, from the last anchor alone; may run past
// the rendered audio or be negative before the first frame is heard.
std::int64_t InterpolatedNs(const Anchor& anchor, std::int64_t nowNs)
{
    return FramesToNs(anchor.Frame, anchor.SampleRate) + (nowNs - anchor.HeardNs);
}
}  // namespace

void ResetHeardClock(HeardClock& clock, int sampleRate)
{
    BeginWrite(clock);
    clock.SampleRate.store(sampleRate > 0 ? sampleRate : SoundRate, std::memory_order_relaxed);
    clock.HasAnchor.store(false, std::memory_order_relaxed);
    clock.AnchorFrame.store(0, std::memory_order_relaxed);
    clock.AnchorHeardNs.store(0, std::memory_order_relaxed);
    clock.RenderedEndFrame.store(0, std::memory_order_relaxed);
    clock.Ended.store(false, std::memory_order_relaxed);
    EndWrite(clock);
    clock.LastMs = 0;
}

void PublishHeardAnchor(HeardClock& clock, std::int64_t blockStartFrame, std::int64_t renderedFrames,
                        std::int64_t heardAtNs, bool ended)
{
    BeginWrite(clock);
    // An empty block says nothing about when music is heard; keeping the old
    // anchor lets the last real block play out to its end.
    if (renderedFrames > 0) {
        clock.HasAnchor.store(true, std::memory_order_relaxed);
        clock.AnchorFrame.store(blockStartFrame, std::memory_order_relaxed);
        clock.AnchorHeardNs.store(heardAtNs, std::memory_order_relaxed);
        clock.RenderedEndFrame.store(blockStartFrame + renderedFrames, std::memory_order_relaxed);
    }
    if (ended)
        clock.Ended.store(true, std::memory_order_relaxed);
    EndWrite(clock);
}

std::uint32_t HeardTime(HeardClock& clock, std::int64_t nowNs)
{
    const Anchor anchor = ReadAnchor(clock);
    if (!anchor.HasAnchor)
        return clock.LastMs;
    // Until the last frame has been heard, time never runs ahead of the
    // rendered audio; after it, silence plays and time goes on with the
    // host clock, so the show keeps drawing frames and sees the end.
    const std::int64_t renderedNs = FramesToNs(anchor.RenderedEndFrame, anchor.SampleRate);
    std::int64_t heardNs = InterpolatedNs(anchor, nowNs);
    if (!anchor.Ended)
        heardNs = std::min(heardNs, renderedNs);
    std::uint32_t ms = heardNs > 0 ? static_cast<std::uint32_t>(heardNs / NsPerMs) : 0;
    clock.LastMs = std::max(clock.LastMs, ms);
    return clock.LastMs;
}

bool HeardToEnd(HeardClock& clock, std::int64_t nowNs)
{
    const Anchor anchor = ReadAnchor(clock);
    if (!anchor.Ended)
        return false;
    if (!anchor.HasAnchor)
        return true;  // a song without a single frame: nothing left to hear
    return InterpolatedNs(anchor, nowNs) >= FramesToNs(anchor.RenderedEndFrame, anchor.SampleRate);
}

std::int64_t FilterCallbackTime(CallbackFilter& filter, std::int64_t calledNs, std::int64_t blockFrames,
                                int sampleRate)
{
    if (blockFrames <= 0 || sampleRate <= 0)
        return calledNs;
    const double nominalPeriodNs = static_cast<double>(blockFrames) * NsPerSecond / sampleRate;
    if (!filter.Locked) {
        StartLoop(filter, calledNs, nominalPeriodNs);
        return calledNs;
    }
    const double calledAt = static_cast<double>(calledNs - filter.BaseNs);
    const double error = calledAt - filter.NextNs;
    const bool moved = std::fabs(error) > filter.PeriodNs / 2;
    filter.MovedInARow = moved ? (filter.MovedInARow > 0 && filter.MovedLate == (error > 0) ? filter.MovedInARow + 1 : 1) : 0;
    filter.MovedLate = error > 0;
    if (filter.MovedInARow >= MovedCallbacks) {
        StartLoop(filter, calledNs, nominalPeriodNs);
        return calledNs;
    }
    if (std::fabs(error) > filter.PeriodNs) {
        if (++filter.OffInARow >= 2) {
            StartLoop(filter, calledNs, nominalPeriodNs);
            return calledNs;
        }
        // One stray callback: keep the schedule, hand out the true time.
        filter.NextNs += filter.PeriodNs;
        return calledNs;
    }
    filter.OffInARow = 0;
    ++filter.Callbacks;
    // Second-order loop, critically damped: b = sqrt(2) w, c = w^2. Until
    // 1/b callbacks have come, the phase is their plain average instead: the
    // rate is known closely enough from the nominal one, the phase is not.
    const double omega = 2 * Pi * LoopBandwidthHz * filter.PeriodNs / NsPerSecond;
    const double phaseGain = std::max(std::sqrt(2.0) * omega, 1.0 / filter.Callbacks);
    const double thisAt = filter.NextNs + phaseGain * error;
    filter.PeriodNs += omega * omega * error;
    filter.NextNs = thisAt + filter.PeriodNs;
    // Keep the doubles small over hours of play.
    const std::int64_t shift = static_cast<std::int64_t>(thisAt);
    filter.BaseNs += shift;
    filter.NextNs -= static_cast<double>(shift);
    return filter.BaseNs + static_cast<std::int64_t>(std::llround(thisAt - static_cast<double>(shift)));
}

std::int64_t OutputLatencyNs(const char* driver, int blockFrames, int sampleRate)
{
    if (driver != nullptr && std::strcmp(driver, "pipewire") == 0)
        return PipeWireCycleLeadNs;
    return sampleRate > 0 ? FramesToNs(blockFrames, sampleRate) : 0;
}

std::uint32_t SilentTime(SilentClock& clock, std::int64_t nowNs)
{
    if (!clock.Started) {
        clock.Started = true;
        clock.StartNs = nowNs;
    }
    return static_cast<std::uint32_t>((nowNs - clock.StartNs) / NsPerMs);
}

bool SilentShowOver(SilentClock& clock, std::int64_t nowNs, std::uint32_t lengthMs)
{
    SilentTime(clock, nowNs);
    return nowNs - clock.StartNs > static_cast<std::int64_t>(lengthMs) * NsPerMs;
}
