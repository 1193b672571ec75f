// The heard-time clock with scripted host times. At 1000 frames per second a
// frame is a millisecond, which keeps the scripts readable.

#include "music/heard_clock.h"

#include <gtest/gtest.h>

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
