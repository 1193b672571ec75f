// The heard-time clock with scripted host times. At 1000 frames per second a
// frame is a millisecond, which keeps the scripts readable.

#include "music/heard_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {
constexpr std::int64_t Ms = 1000000;  // host times are in ns

TEST(HeardClock, InterpolatesBetweenAnchorsWithinTheRenderedAudioAndNeverBack)
{
    HeardClock clock;
    ResetHeardClock(clock, 1000);
    EXPECT_EQ(HeardTime(clock, 5 * Ms), 0u) << "nothing rendered yet";

    PublishHeardAnchor(clock, 0, 100, 50 * Ms, false);  // frames 0..99, frame 0 heard at 50 ms
    EXPECT_EQ(HeardTime(clock, 40 * Ms), 0u) << "not heard yet";
    EXPECT_EQ(HeardTime(clock, 80 * Ms + Ms / 2), 30u);
    EXPECT_EQ(HeardTime(clock, 200 * Ms), 100u) << "never beyond the audio rendered so far";

    // A late callback puts frame 100 at 220 ms, behind the 100 already given.
    PublishHeardAnchor(clock, 100, 100, 220 * Ms, false);
    EXPECT_EQ(HeardTime(clock, 210 * Ms), 100u);
    EXPECT_EQ(HeardTime(clock, 235 * Ms), 115u);
    EXPECT_EQ(HeardTime(clock, 230 * Ms), 115u) << "an earlier host time does not take it back";
}

TEST(HeardClock, FinishesOnlyAfterTheLastRenderedFrameIsHeard)
{
    HeardClock clock;
    ResetHeardClock(clock, 1000);
    EXPECT_FALSE(HeardToEnd(clock, 1000 * Ms)) << "not started is not finished";
    PublishHeardAnchor(clock, 0, 100, 10 * Ms, false);
    PublishHeardAnchor(clock, 100, 30, 110 * Ms, true);  // the decoder runs dry
    EXPECT_FALSE(HeardToEnd(clock, 139 * Ms)) << "the decoder is done, the listener is not";
    EXPECT_EQ(HeardTime(clock, 139 * Ms), 129u);
    EXPECT_TRUE(HeardToEnd(clock, 140 * Ms));
    EXPECT_EQ(HeardTime(clock, 140 * Ms), 130u);
    // Then silence plays: time goes on, so a show paced by it sees the end.
    EXPECT_EQ(HeardTime(clock, 5000 * Ms), 4990u);

    ResetHeardClock(clock, 1000);  // played again
    EXPECT_EQ(HeardTime(clock, 6000 * Ms), 0u);
    EXPECT_FALSE(HeardToEnd(clock, 6000 * Ms));

    // A song that ends on a block boundary: the next, empty block comes when
    // its frame would be heard only 900 ms later; that must not delay the end.
    PublishHeardAnchor(clock, 0, 100, 7000 * Ms, false);
    PublishHeardAnchor(clock, 100, 0, 7900 * Ms, true);
    EXPECT_TRUE(HeardToEnd(clock, 7100 * Ms));
}

TEST(HeardClock, HoursOfMusicAtTheRealRate)
{
    HeardClock clock;
    ResetHeardClock(clock, 44100);
    const std::int64_t heardAt = 3LL * 3600 * 1000 * Ms;
    PublishHeardAnchor(clock, 3LL * 3600 * 44100, 1024, heardAt, false);
    EXPECT_EQ(HeardTime(clock, heardAt + 20 * Ms), 10800020u);
    EXPECT_EQ(HeardTime(clock, heardAt + 60 * Ms), 10800023u) << "1024 frames are 23.2 ms";
}

TEST(SilentClock, CountsFromTheFirstAskAndEndsAfterTheShowLength)
{
    SilentClock clock;
    const std::int64_t firstAsk = 7000 * Ms;
    EXPECT_EQ(SilentTime(clock, firstAsk), 0u);
    EXPECT_EQ(SilentTime(clock, firstAsk + 1234 * Ms + Ms / 2), 1234u);
    EXPECT_FALSE(SilentShowOver(clock, firstAsk + 210000 * Ms, 210000));
    EXPECT_TRUE(SilentShowOver(clock, firstAsk + 210001 * Ms, 210000));

    SilentClock askedFirstForTheEnd;
    EXPECT_FALSE(SilentShowOver(askedFirstForTheEnd, 1000000 * Ms, 210000));
    EXPECT_EQ(SilentTime(askedFirstForTheEnd, 1000500 * Ms), 500u);
}
}  // namespace

// The callback filter, driven by scripted callback trains of 1024-frame
// blocks at 44100 Hz. Each case gives the true schedule of the device and
// the wake-ups that come late; the filtered times must stay near the true
// ones, and the heard clock fed with them must never go back.
namespace {
constexpr double BlockNs = 1024.0 * 1e9 / 44100;

struct Train {
    const char* Name;
    double PeriodNs;            // the device's own block length
    int LateEvery;              // every n-th wake-up comes late (0: none)
    double LateNs;              // by this much
    int StallAt;                // the device stops before this block (0: never)
    double StallNs;             // for this long
    int SettledAfter;           // blocks after the start or the stall
    double ToleranceNs;         // largest filtered error once settled
};

TEST(CallbackFilter, FollowsTheDeviceButNotSingleLateWakeUps)
{
    const Train trains[] = {
        {"steady", BlockNs, 0, 0, 0, 0, 5, 0.05 * Ms},
        {"late by 14 ms now and then", BlockNs, 37, 14 * Ms, 0, 0, 5, 0.15 * 14 * Ms},
        {"late by 8 ms often", BlockNs, 5, 8 * Ms, 0, 0, 5, 0.3 * 8 * Ms},
        {"200 ppm fast", BlockNs * (1 - 200e-6), 0, 0, 0, 0, 200, 0.02 * Ms},
        {"200 ppm slow, late wake-ups", BlockNs * (1 + 200e-6), 23, 12 * Ms, 0, 0, 5, 0.15 * 12 * Ms},
        {"stall of half a second", BlockNs, 0, 0, 400, 500 * Ms, 3, 0.5 * Ms},
        {"stall while late wake-ups", BlockNs, 31, 10 * Ms, 400, 300 * Ms, 8, 0.2 * 10 * Ms},
        // A sound server that missed a cycle plays every later block a cycle
        // later, and calls back a cycle later too.
        {"a missed cycle", BlockNs, 0, 0, 400, BlockNs, 3, 0.05 * Ms},
        {"a missed cycle while late wake-ups", BlockNs, 37, 14 * Ms, 400, BlockNs, 8, 0.2 * 14 * Ms},
        {"two missed cycles", BlockNs, 0, 0, 400, 2 * BlockNs, 2, 0.05 * Ms},
    };
    for (const Train& train : trains) {
        SCOPED_TRACE(train.Name);
        CallbackFilter filter;
        HeardClock clock;
        ResetHeardClock(clock, 44100);
        const std::int64_t startNs = 5000 * Ms;
        const int blocks = 2600;  // about a minute
        double worst = 0;
        std::uint32_t lastMs = 0;
        int settledFrom = train.SettledAfter;
        for (int k = 0; k < blocks; ++k) {
            double trueNs = startNs + k * train.PeriodNs;
            if (train.StallAt != 0 && k >= train.StallAt) {
                trueNs += train.StallNs;
                if (k == train.StallAt)
                    settledFrom = k + train.SettledAfter;
            }
            bool late = train.LateEvery != 0 && k % train.LateEvery == train.LateEvery - 1;
            std::int64_t calledNs = static_cast<std::int64_t>(trueNs + (late ? train.LateNs : 0));
            std::int64_t filteredNs = FilterCallbackTime(filter, calledNs, 1024, 44100);
            if (k >= settledFrom)
                worst = std::max(worst, std::abs(static_cast<double>(filteredNs) - trueNs));
            PublishHeardAnchor(clock, k * 1024LL, 1024, filteredNs + static_cast<std::int64_t>(BlockNs), false);
            // The reader between this callback and the next, every 5 ms.
            for (double readNs = calledNs; readNs < trueNs + train.PeriodNs; readNs += 5 * Ms) {
                std::uint32_t ms = HeardTime(clock, static_cast<std::int64_t>(readNs));
                ASSERT_GE(ms, lastMs) << "backwards at block " << k;
                lastMs = ms;
            }
        }
        EXPECT_LE(worst, train.ToleranceNs);
        // A minute of music reads a minute at the device's rate, not the host's.
        std::int64_t endNs = startNs + static_cast<std::int64_t>(blocks * train.PeriodNs + train.StallNs);
        double expectedMs = blocks * 1024 * 1000.0 / 44100;
        EXPECT_NEAR(HeardTime(clock, endNs + static_cast<std::int64_t>(BlockNs)), expectedMs, 2.0);
    }
}
}  // namespace

// Where the clock starts. On a PulseAudio null sink a block was heard 23.0
// to 23.1 ms after its callback, one 1024-frame block as the live library
// assumes, with callbacks within 0.2 ms of a line; the song may start long
// after the device opened, right after it, or right after the server held
// the new stream for 2 s. In each case frame 0 must be heard when the clock
// reads 0, whatever the filter had seen before the song.
namespace {
struct Start {
    const char* Name;
    int SilentBlocks;  // callbacks before the song starts
    double HoldNs;     // the server's hold after the first callback
};

TEST(CallbackFilter, TheClockStartsWhenTheFirstBlockIsHeard)
{
    const Start starts[] = {
        {"song long after the device opened", 200, 0},
        {"song at once", 0, 0},
        {"song with the second callback", 1, 0},
        {"song after a hold of 2 s", 1, 2000 * Ms},
    };
    for (const Start& start : starts) {
        SCOPED_TRACE(start.Name);
        CallbackFilter filter;
        HeardClock clock;
        ResetHeardClock(clock, 44100);
        // The device's own schedule; the callbacks come within 0.2 ms of it.
        auto scheduleNs = [&](int k) { return 5000 * Ms + k * BlockNs + (k > 0 ? start.HoldNs : 0); };
        auto calledNs = [&](int k) { return scheduleNs(k) + (k % 3 - 1) * 0.2 * Ms; };
        const double frame0HeardNs = scheduleNs(start.SilentBlocks) + BlockNs;
        double worstMs = 0;
        for (int k = 0; k < start.SilentBlocks + 40; ++k) {
            std::int64_t filteredNs = FilterCallbackTime(filter, static_cast<std::int64_t>(calledNs(k)), 1024, 44100);
            if (k < start.SilentBlocks)
                continue;
            std::int64_t blockStart = (k - start.SilentBlocks) * 1024LL;
            PublishHeardAnchor(clock, blockStart, 1024, filteredNs + static_cast<std::int64_t>(BlockNs), false);
            // The reader until the next callback, every 2 ms.
            for (double readNs = calledNs(k); readNs < calledNs(k + 1); readNs += 2 * Ms) {
                double heardMs = std::max(0.0, (readNs - frame0HeardNs) / Ms);
                double ms = HeardTime(clock, static_cast<std::int64_t>(readNs));
                worstMs = std::max(worstMs, std::fabs(ms - heardMs));
            }
        }
        // Whole milliseconds, rounded down, and what is left of the jitter.
        EXPECT_LE(worstMs, 1.2);
    }
}
}  // namespace

// The page's library anchors on the frame being heard at an output
// timestamp, which before the song's first frame is heard lies before it,
// and gives as rendered what the audio context has rendered beyond it.
namespace {
TEST(HeardClock, AnAnchorBeforeTheFirstFrameKeepsTheTimeAtZeroUntilItIsHeard)
{
    HeardClock clock;
    ResetHeardClock(clock, 1000);
    PublishHeardAnchor(clock, -30, 70, 100 * Ms, false);  // frame 0 heard at 130 ms, frames up to 40 rendered
    EXPECT_EQ(HeardTime(clock, 100 * Ms), 0u);
    EXPECT_EQ(HeardTime(clock, 129 * Ms), 0u);
    EXPECT_EQ(HeardTime(clock, 155 * Ms), 25u);
    EXPECT_EQ(HeardTime(clock, 200 * Ms), 40u) << "not beyond what the context has rendered";
    // The audio was held up: a later timestamp puts frame 35 at 210 ms.
    PublishHeardAnchor(clock, 35, 45, 210 * Ms, false);
    EXPECT_EQ(HeardTime(clock, 212 * Ms), 40u) << "held until the audio catches up";
    EXPECT_EQ(HeardTime(clock, 216 * Ms), 41u);
    EXPECT_FALSE(HeardToEnd(clock, 1000 * Ms));
}
}  // namespace

namespace {
TEST(OutputLatency, ABlockAfterTheCallbackButOnPipeWiresNextCycle)
{
    EXPECT_EQ(OutputLatencyNs("pulseaudio", 1024, 44100), 23219954);
    EXPECT_EQ(OutputLatencyNs("pulseaudio", 1024, 48000), 21333333);
    EXPECT_EQ(OutputLatencyNs("dummy", 2048, 48000), 42666666);
    EXPECT_EQ(OutputLatencyNs("pipewire", 1024, 48000), PipeWireCycleLeadNs);
    EXPECT_EQ(OutputLatencyNs("pipewire", 2048, 48000), PipeWireCycleLeadNs);
    EXPECT_EQ(OutputLatencyNs(nullptr, 1024, 44100), 23219954) << "no driver named";
    EXPECT_EQ(OutputLatencyNs("pulseaudio", 1024, 0), 0) << "no rate";
}
}  // namespace
