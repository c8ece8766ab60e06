#include "TimeLeft.h"

#include <algorithm>
#include <cmath>

TTimeLeftWords DescribeTimeLeft(double Seconds) {
    if (!(Seconds >= 15)) // NaN too
        return {TTimeLeftPhrase::FewSeconds};
    if (Seconds < 50)
        return {TTimeLeftPhrase::UnderAMinute};
    if (Seconds < 90)
        return {TTimeLeftPhrase::AboutAMinute};
    // Beyond any real batch; keeps the rounding below in range.
    Seconds = std::min(Seconds, 1e9);
    const double Minutes = Seconds / 60;
    if (std::lround(Minutes) < 60)
        return {TTimeLeftPhrase::Minutes, 0, static_cast<int>(std::lround(Minutes))};
    const long Fives = std::lround(Minutes / 5);
    if (Fives >= 10 * 12)
        return {TTimeLeftPhrase::Hours, static_cast<int>(std::lround(Seconds / 3600))};
    const int H = static_cast<int>(Fives / 12), M = static_cast<int>(Fives % 12 * 5);
    if (H == 1)
        return M == 0 ? TTimeLeftWords{TTimeLeftPhrase::AboutAnHour, 1, 0}
                      : TTimeLeftWords{TTimeLeftPhrase::OneHourMinutes, 1, M};
    return M == 0 ? TTimeLeftWords{TTimeLeftPhrase::Hours, H, 0}
                  : TTimeLeftWords{TTimeLeftPhrase::HoursMinutes, H, M};
}

void TTimeLeft::Update(double Now, int64_t Done, int64_t Total, bool Measurable) {
    if (!Started || Total != BatchTotal || Now < LastNow) {
        *this = TTimeLeft();
        Started = true;
        StartTime = Now;
        BatchTotal = Total;
    }
    LastNow = Now;
    if (Measurable) {
        InMarquee = false;
    } else if (!InMarquee) {
        InMarquee = true;
        MarqueeSince = Now;
    }

    if (History.empty() || Now - History.back().first >= SampleInterval)
        History.emplace_back(Now, Done);

    const double Elapsed = Now - StartTime;
    if (Done <= 0 || Total <= 0 || Elapsed <= 0)
        return;
    const double Left = static_cast<double>(std::max<int64_t>(Total - Done, 0));
    const double Measured = Left / Speed(Now, Done);
    if (!Estimated) {
        if (Elapsed >= WarmUp) {
            Estimated = true;
            Smoothed = Measured;
            SmoothedAt = Now;
        }
        return;
    }
    // The shown estimate counts down by itself and moves towards the measured one, more the
    // longer since the last report.
    const double Step = Now - SmoothedAt;
    const double Predicted = std::max(Smoothed - Step, 0.0);
    Smoothed = Predicted + (Measured - Predicted) * (1 - std::exp(-Step / Smoothing));
    SmoothedAt = Now;
}

double TTimeLeft::Speed(double Now, int64_t Done) {
    const double WindowStart = StartTime + (Now - StartTime) / 2;
    while (History.size() > 1 && History[1].first <= WindowStart)
        History.pop_front();
    const auto& [Then, DoneThen] = History.front();
    // Nothing converted within the window (a long file with only a marquee): the whole batch's
    // average is all there is.
    if (Done > DoneThen && Now > Then)
        return static_cast<double>(Done - DoneThen) / (Now - Then);
    return static_cast<double>(Done) / (Now - StartTime);
}

std::optional<double> TTimeLeft::Remaining() const {
    if (!Estimated)
        return std::nullopt;
    if (InMarquee && LastNow - MarqueeSince >= MarqueeGrace)
        return std::nullopt;
    return Smoothed;
}
