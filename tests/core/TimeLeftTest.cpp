#include "TimeLeft.h"

#include <gtest/gtest.h>

namespace {

using P = TTimeLeftPhrase;

TEST(TimeLeftWords, SecondsAndMinutes) {
    EXPECT_EQ(DescribeTimeLeft(0), (TTimeLeftWords{P::FewSeconds}));
    EXPECT_EQ(DescribeTimeLeft(14.9), (TTimeLeftWords{P::FewSeconds}));
    EXPECT_EQ(DescribeTimeLeft(15), (TTimeLeftWords{P::UnderAMinute}));
    EXPECT_EQ(DescribeTimeLeft(49.9), (TTimeLeftWords{P::UnderAMinute}));
    EXPECT_EQ(DescribeTimeLeft(50), (TTimeLeftWords{P::AboutAMinute}));
    EXPECT_EQ(DescribeTimeLeft(89.9), (TTimeLeftWords{P::AboutAMinute}));
    EXPECT_EQ(DescribeTimeLeft(90), (TTimeLeftWords{P::Minutes, 0, 2}));
    EXPECT_EQ(DescribeTimeLeft(3 * 60 + 29), (TTimeLeftWords{P::Minutes, 0, 3}));
    EXPECT_EQ(DescribeTimeLeft(3 * 60 + 30), (TTimeLeftWords{P::Minutes, 0, 4}));
    EXPECT_EQ(DescribeTimeLeft(59 * 60 + 29), (TTimeLeftWords{P::Minutes, 0, 59}));
}

TEST(TimeLeftWords, HoursInFivesOfMinutesThenWholeHours) {
    EXPECT_EQ(DescribeTimeLeft(59 * 60 + 30), (TTimeLeftWords{P::AboutAnHour, 1, 0}));
    EXPECT_EQ(DescribeTimeLeft(62 * 60 + 29), (TTimeLeftWords{P::AboutAnHour, 1, 0}));
    EXPECT_EQ(DescribeTimeLeft(62 * 60 + 31), (TTimeLeftWords{P::OneHourMinutes, 1, 5}));
    EXPECT_EQ(DescribeTimeLeft(119 * 60), (TTimeLeftWords{P::Hours, 2, 0}));
    EXPECT_EQ(DescribeTimeLeft(2 * 3600 + 40 * 60), (TTimeLeftWords{P::HoursMinutes, 2, 40}));
    EXPECT_EQ(DescribeTimeLeft(9 * 3600 + 57 * 60), (TTimeLeftWords{P::HoursMinutes, 9, 55}));
    EXPECT_EQ(DescribeTimeLeft(9 * 3600 + 58 * 60), (TTimeLeftWords{P::Hours, 10, 0}));
    EXPECT_EQ(DescribeTimeLeft(30.4 * 3600), (TTimeLeftWords{P::Hours, 30, 0}));
    EXPECT_EQ(DescribeTimeLeft(1e300).Phrase, P::Hours) << "absurd estimates stay in range";
    EXPECT_GT(DescribeTimeLeft(1e300).Hours, 0);
}

// A batch converting at a steady Rate units per second, reported twice a second.
struct SteadyBatch {
    TTimeLeft Estimate;
    double Now = 100; // any steady clock
    int64_t Done = 0;
    int64_t Total = 1'000'000;
    double Rate = 1000;

    void Run(double Seconds, bool Measurable = true) {
        for (double t = 0; t < Seconds; t += 0.5) {
            Now += 0.5;
            if (Measurable)
                Done = std::min<int64_t>(Total, Done + static_cast<int64_t>(Rate / 2));
            Estimate.Update(Now, Done, Total, Measurable);
        }
    }
};

TEST(TimeLeft, NothingDuringTheWarmUpOrBeforeAnythingIsConverted) {
    SteadyBatch Batch;
    Batch.Estimate.Update(Batch.Now, 0, Batch.Total, true);
    EXPECT_FALSE(Batch.Estimate.Remaining());
    Batch.Run(TTimeLeft::WarmUp - 1);
    EXPECT_FALSE(Batch.Estimate.Remaining());
    Batch.Run(1.5);
    ASSERT_TRUE(Batch.Estimate.Remaining());

    // Seconds pass with nothing converted: still nothing to go by.
    TTimeLeft Idle;
    for (int t = 0; t < 20; ++t)
        Idle.Update(t, 0, 1000, true);
    EXPECT_FALSE(Idle.Remaining());
}

TEST(TimeLeft, SteadyRateGivesTheExactTimeLeft) {
    SteadyBatch Batch;
    Batch.Estimate.Update(Batch.Now, 0, Batch.Total, true);
    Batch.Run(100);
    ASSERT_TRUE(Batch.Estimate.Remaining());
    EXPECT_NEAR(*Batch.Estimate.Remaining(), 900, 1);
}

TEST(TimeLeft, ASpeedChangeIsFollowedSmoothlyAndThenFully) {
    SteadyBatch Batch;
    Batch.Estimate.Update(Batch.Now, 0, Batch.Total, true);
    Batch.Run(200); // 800 s left at this speed
    const double Before = *Batch.Estimate.Remaining();
    EXPECT_NEAR(Before, 800, 1);
    Batch.Rate = 4000; // the machine got quieter: the rest goes four times as fast
    Batch.Run(0.5);
    double Previous = *Batch.Estimate.Remaining();
    EXPECT_GT(Previous, Before * 0.9) << "one report moves it only a little";
    for (int i = 0; i < 299; ++i) {
        Batch.Run(0.5);
        double Now = *Batch.Estimate.Remaining();
        EXPECT_LE(Now, Previous) << "it never goes back up on the way";
        Previous = Now;
    }
    // 150 s on, 200 000 units are left: 50 s at the new speed. The whole batch's average would
    // still say 87 s; the later half of the batch knows better.
    ASSERT_EQ(Batch.Done, 800'000);
    EXPECT_NEAR(Previous, 50, 50 * 0.25);
}

TEST(TimeLeft, HiddenDuringALastingMarqueeButNotABriefOne) {
    SteadyBatch Batch;
    Batch.Estimate.Update(Batch.Now, 0, Batch.Total, true);
    Batch.Run(20);
    Batch.Run(TTimeLeft::MarqueeGrace - 0.5, false);
    EXPECT_TRUE(Batch.Estimate.Remaining()) << "the moments before a duration is read";
    Batch.Run(1, false);
    EXPECT_FALSE(Batch.Estimate.Remaining());
    Batch.Run(0.5);
    EXPECT_TRUE(Batch.Estimate.Remaining());
}

TEST(TimeLeft, ANewTotalOrAClockGoingBackStartsAfresh) {
    SteadyBatch Batch;
    Batch.Estimate.Update(Batch.Now, 0, Batch.Total, true);
    Batch.Run(20);
    ASSERT_TRUE(Batch.Estimate.Remaining());
    Batch.Estimate.Update(Batch.Now + 0.5, Batch.Done, Batch.Total * 2, true);
    EXPECT_FALSE(Batch.Estimate.Remaining());

    TTimeLeft Other;
    for (int t = 0; t <= 20; ++t)
        Other.Update(t, t * 10, 1000, true);
    ASSERT_TRUE(Other.Remaining());
    Other.Update(3, 210, 1000, true);
    EXPECT_FALSE(Other.Remaining());
}

TEST(TimeLeft, AllDoneMeansNothingLeft) {
    TTimeLeft Estimate;
    for (int t = 0; t <= 10; ++t)
        Estimate.Update(t, t * 100, 1000, true);
    ASSERT_TRUE(Estimate.Remaining());
    EXPECT_NEAR(*Estimate.Remaining(), 0, 0.01);
}

} // namespace
