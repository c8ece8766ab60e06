// The estimate of the time a batch has left, from the bytes it has converted per second so far,
// and the words it is told in.
//
// The speed is measured over the later half of the time gone by: long enough to hold several
// files' start-ups in proportion, recent enough to follow a machine that becomes busier or
// quieter. The shown estimate then counts down by itself and moves towards the measured one
// gradually, so it does not jump about.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

// How the time left is put into words; the numbers fill the phrase.
enum class TTimeLeftPhrase {
    FewSeconds,     // "A few seconds left"
    UnderAMinute,   // "Less than a minute left"
    AboutAMinute,   // "About a minute left"
    Minutes,        // "About {Minutes} minutes left", 2 to 59
    AboutAnHour,    // "About an hour left"
    OneHourMinutes, // "About 1 hour {Minutes} minutes left", in fives
    Hours,          // "About {Hours} hours left"
    HoursMinutes,   // "About {Hours} hours {Minutes} minutes left", in fives, below 10 hours
};

struct TTimeLeftWords {
    TTimeLeftPhrase Phrase = TTimeLeftPhrase::FewSeconds;
    int Hours = 0;
    int Minutes = 0;
    bool operator==(const TTimeLeftWords&) const = default;
};

// The phrase for Seconds left: the nearer minute below an hour, the nearer five minutes below ten
// hours, the nearer hour beyond.
TTimeLeftWords DescribeTimeLeft(double Seconds);

// Follows one batch. Times are seconds on any steady clock; Done and Total are in any unit that
// grows with the bytes converted (the overall bar's).
class TTimeLeft {
public:
    // No estimate before this long into the batch: the first seconds are mostly the converter
    // starting up.
    static constexpr double WarmUp = 5.0;
    // A marquee shorter than this (the moments before a file's duration is known) keeps the
    // estimate shown.
    static constexpr double MarqueeGrace = 2.0;
    // How quickly the shown estimate follows the measured one.
    static constexpr double Smoothing = 5.0;
    // Progress is remembered at most this often.
    static constexpr double SampleInterval = 0.5;

    // One progress report. The first one starts the clock, as does a change of Total. Measurable
    // is false while the current file's own progress is unknown (its bar only a marquee); its
    // bytes then arrive all at once when it ends.
    void Update(double Now, int64_t Done, int64_t Total, bool Measurable);

    // The smoothed estimate of the seconds left, when it is worth showing: after the warm-up,
    // once something has been converted, and not during a lasting marquee.
    std::optional<double> Remaining() const;

private:
    // Units per second over the later half of the batch so far.
    double Speed(double Now, int64_t Done);

    bool Started = false;
    double StartTime = 0;
    int64_t BatchTotal = 0;
    double LastNow = 0;

    bool Estimated = false; // Smoothed holds an estimate past the warm-up
    double Smoothed = 0;
    double SmoothedAt = 0;

    bool InMarquee = false;
    double MarqueeSince = 0;

    // (time, done) at most every SampleInterval, from the start of the measuring window on.
    std::deque<std::pair<double, int64_t>> History;
};
