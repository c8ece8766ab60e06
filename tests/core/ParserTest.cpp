#include "FFmpeg.h"
#include "IntegerText.h"

#include <gtest/gtest.h>

namespace {

struct Parsed {
    int32_t Position;
    int32_t Duration;
};

Parsed Parse(const std::wstring& Text) {
    Parsed p{-1, -1};
    ParseFFmpegProgress(Text, p.Position, p.Duration);
    return p;
}

TEST(TextToInt, ReadsDecimalAndHexadecimalForms) {
    EXPECT_EQ(TextToInt(L"42"), 42);
    EXPECT_EQ(TextToInt(L"   -17"), -17);
    EXPECT_EQ(TextToInt(L"+5"), 5);
    EXPECT_EQ(TextToInt(L"$1F"), 31);
    EXPECT_EQ(TextToInt(L"x10"), 16);
    EXPECT_EQ(TextToInt(L"X10"), 16);
    EXPECT_EQ(TextToInt(L"0x10"), 16);
    EXPECT_EQ(TextToInt(L"0XfF"), 255);
    EXPECT_EQ(TextToInt(L"-$10"), -16);
    EXPECT_EQ(TextToInt(L"007"), 7);
    EXPECT_EQ(TextToInt(L"2147483647"), 2147483647);
    EXPECT_EQ(TextToInt(L"-2147483648"), INT32_MIN);
}

TEST(TextToInt, SaturatingFormKeepsTheRuleAndCapsTheMagnitude) {
    EXPECT_EQ(TextToIntSaturated(L" $A", 100), 10);
    EXPECT_EQ(TextToIntSaturated(L"-0x10", 100), -16);
    EXPECT_EQ(TextToIntSaturated(L"99999999999999999999999", 100), 100);
    EXPECT_EQ(TextToIntSaturated(L"-$FFFFFFFFFFFFFFFFFFFF", 100), -100);
    for (const wchar_t* bad : {L"", L"-", L"$", L"1 ", L"12a", L"999999999999999999999z"})
        EXPECT_FALSE(TextToIntSaturated(bad, 100)) << "\"" << bad << "\"";
    EXPECT_EQ(IntegerTextLength(L" -$1F:00"), 5u);
    EXPECT_EQ(IntegerTextLength(L"N/A"), 0u);
}

TEST(TextToInt, AnythingElseGivesTheDefault) {
    for (const wchar_t* bad : {L"", L" ", L"-", L"$", L"0x", L"12a", L"1 ", L"\t1", L"1.5", L"N/",
                               L"2147483648", L"-2147483649", L"$80000000", L"99999999999999999999",
                               L"00:00:45", L"--1", L"+-1", L"x-1", L"\x0661"}) {
        EXPECT_EQ(TextToInt(bad, -99), -99)
            << "text: \"" << std::string(bad, bad + wcslen(bad)) << '"';
    }
    EXPECT_EQ(TextToInt(L"junk"), 0) << "the default default is 0";
}

TEST(ParseFFmpegProgress, NothingBeforeTheDuration) {
    EXPECT_EQ(Parse(L"").Position, 0);
    EXPECT_EQ(Parse(L"").Duration, 0);
    Parsed p = Parse(L"frame= 1 time=00:00:05.00 bitrate=1\r");
    EXPECT_EQ(p.Position, 0) << "time= is not looked for without a duration";
    EXPECT_EQ(p.Duration, 0);
}

TEST(ParseFFmpegProgress, PlainSecondsForm) {
    Parsed p = Parse(L"  Duration: 00:01:30.50, start: 0.000000\ntime=45.25 bitrate");
    EXPECT_EQ(p.Duration, 90500);
    EXPECT_EQ(p.Position, 45250);
    EXPECT_EQ(Parse(L"Duration: 00:01:30.50\ntime=12.5 bitrate").Position, 12000);
    EXPECT_EQ(Parse(L"Duration: 00:01:30.50\ntime=12 and no full stop").Position, 0);
}

TEST(ParseFFmpegProgress, OnlyTheLastTimeCounts) {
    Parsed p = Parse(L"Duration: 00:10:00.00\r\ntime=00:00:01.00 x\rtime=00:00:02.00 x\r"
                     L"time=00:01:03.50 bitrate=  1.0kbits/s\r");
    EXPECT_EQ(p.Position, 63500);
    EXPECT_EQ(p.Duration, 600000);
}

TEST(ParseFFmpegProgress, ClockFormAsCurrentConvertersPrintIt) {
    EXPECT_EQ(Parse(L"Duration: 00:01:30.50\ntime=00:00:45.25 bitrate=").Position, 45250);
    EXPECT_EQ(Parse(L"Duration: 02:00:00.00\ntime=01:59:59.99 bitrate=").Position, 7199990);
    EXPECT_EQ(Parse(L"Duration: 123:45:06.79\ntime=100:00:00.00 x").Position, 360000000);
    EXPECT_EQ(Parse(L"Duration: 00:00:01.00\ntime=-00:00:00.02 bitrate=N/A").Position, 0);
    EXPECT_EQ(Parse(L"Duration: 00:00:01.00\ntime=N/A bitrate=N/A speed=1.5x").Position, 0);
}

TEST(ParseFFmpegProgress, NotAvailableTimeIsPositionZero) {
    // The seconds form must not take over: it would read "1.23" of the speed as 230 ms.
    EXPECT_EQ(Parse(L"Duration: 00:00:10.00\ntime=N/A bitrate=N/A speed=1.23x").Position, 0);
    EXPECT_EQ(Parse(L"Duration: 00:00:10.00\ntime=00:00:04.00 x\rtime=N/A bitrate=N/A speed=1.23x")
                  .Position,
              0)
        << "the newest status counts, even when it knows no time";
    // Still arriving: the previous complete status holds.
    EXPECT_EQ(Parse(L"Duration: 00:00:10.00\ntime=00:00:04.00 x\rtime=N").Position, 4000);
    EXPECT_EQ(Parse(L"Duration: 00:00:10.00\ntime=00:00:04.00 x\rtime=N/").Position, 4000);
    EXPECT_EQ(Parse(L"Duration: 00:00:10.00\ntime=00:00:04.00 x\rtime=N/A").Position, 0);
}

TEST(ParseFFmpegProgress, UnfinishedClockFallsBackToThePreviousStatus) {
    // The chunk ended inside the newest status line: the last complete one still holds.
    EXPECT_EQ(Parse(L"Duration: 00:01:00.00\ntime=00:00:44.00 x\rframe= 9 time=00:00:4").Position,
              44000);
    EXPECT_EQ(Parse(L"Duration: 00:01:00.00\nframe= 9 time=00:00:4").Position, 0);
    EXPECT_EQ(Parse(L"Duration: 00:01:00.00\ntime=00:00:45.2").Position, 0);
    EXPECT_EQ(Parse(L"Duration: 00:01:00.00\ntime=00:00:45.25").Position, 45250);
    EXPECT_EQ(Parse(L"Duration: 00:01:00.00\ntime=00:00:44.00 x\rtime=").Position, 44000);
    EXPECT_EQ(Parse(L"Duration: 00:01:00.00\ntime=00:00:44.00 x\rtime=0").Position, 44000);
    EXPECT_EQ(Parse(L"Duration: 00:01:00.00\ntime=00:00:44.00 x\rtime=-0").Position, 44000);
}

TEST(ParseFFmpegProgress, DurationFields) {
    EXPECT_EQ(Parse(L"Duration: N/A, start: 0.0\ntime=00:00:03.00 x").Duration, 0);
    EXPECT_EQ(Parse(L"Duration: N/A, start: 0.0\ntime=00:00:03.00 x").Position, 3000);
    EXPECT_EQ(Parse(L"Duration: 00:01:3").Duration, 63000) << "partial seconds field";
    EXPECT_EQ(Parse(L"Duration: 00:01:30.5").Duration, 90050);
    EXPECT_EQ(Parse(L"Duration: 0").Duration, 0);
    EXPECT_EQ(Parse(L"Duration: ").Duration, 0);
    EXPECT_EQ(Parse(L"Duration: 01:02:03.04").Duration, 3723040);
    EXPECT_EQ(Parse(L"Duration: 123:45:06.79, start").Duration, 445506790);
    EXPECT_EQ(Parse(L"Duration: 1000:00:00.00, start").Duration, INT32_MAX) << "saturates";
    EXPECT_EQ(Parse(L"duration: 00:01:00.00\ntime=1.00").Duration, 0) << "case-sensitive";
}

TEST(ParseFFmpegProgress, HoursFollowTheIntegerRule) {
    // Hours are read as every other number is: blanks, a sign, decimal or hexadecimal.
    EXPECT_EQ(Parse(L"Duration: $A:00:00.00, start").Duration, 36000000);
    EXPECT_EQ(Parse(L"Duration: 0x2:00:01.00, start").Duration, 7201000);
    EXPECT_EQ(Parse(L"Duration:  1:02:03.00, start").Duration, 3723000);
    EXPECT_EQ(Parse(L"Duration: +1:00:00.00, start").Duration, 3600000);
    EXPECT_EQ(Parse(L"Duration: $FFFFFFFFFF:00:00.00, start").Duration, INT32_MAX)
        << "beyond 32 bits it still saturates";
    EXPECT_EQ(Parse(L"Duration: -1:00:00.00, start").Duration, 0) << "no length is negative";
    EXPECT_EQ(Parse(L"Duration: 1 2:00:00.00, start").Duration, 0) << "not an integer";
    EXPECT_EQ(Parse(L"Duration: $A:00:00.00\ntime=$1:00:00.00 x").Position, 3600000);
    EXPECT_EQ(Parse(L"Duration: 02:00:00.00\ntime= 1:00:30.00 x").Position, 3630000);
    EXPECT_EQ(Parse(L"Duration: 02:00:00.00\ntime=-$1:00:00.00 x").Position, 0)
        << "before the first frame";
}

TEST(ParseFFmpegProgress, OnlyTheFirstDurationCounts) {
    // Later "Duration: " lines (for example from the output's description) are ignored.
    Parsed p = Parse(L"Duration: 00:00:10.00\nOutput\n  Duration: 00:00:20.00\ntime=00:00:01.00 x");
    EXPECT_EQ(p.Duration, 10000);
    EXPECT_EQ(p.Position, 1000);
}

} // namespace
