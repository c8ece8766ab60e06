#include "FFmpeg.h"

#include "FFmpegRun.h"
#include "IntegerText.h"

#include <algorithm>
#include <limits>
#include <string_view>

namespace {

constexpr std::wstring_view DurationMarker = L"Duration: ";
constexpr std::wstring_view TimeMarker = L"time=";
constexpr std::wstring_view NotAvailable = L"N/A";

// A field of the text at a fixed position; what lies past the end of the text is simply missing.
int32_t FieldAt(const std::wstring& Text, size_t Pos, size_t Length) {
    if (Pos >= Text.size())
        return 0;
    return TextToInt(std::wstring_view(Text).substr(Pos, Length));
}

int32_t Saturate(int64_t Value) {
    return static_cast<int32_t>(std::clamp<int64_t>(Value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int64_t ClockMs(int64_t Hours, int64_t Minutes, int64_t Seconds, int64_t Hundredths) {
    return ((Hours * 60 + Minutes) * 60 + Seconds) * 1000 + Hundredths * 10;
}

bool IsDigit(wchar_t C) {
    return C >= L'0' && C <= L'9';
}

size_t DigitRun(const std::wstring& Text, size_t Pos) {
    size_t end = Pos;
    while (end < Text.size() && IsDigit(Text[end]))
        ++end;
    return end - Pos;
}

int32_t ParseDuration(const std::wstring& Output, size_t I) {
    // HH:MM:SS.cc at fixed offsets; hours are printed unbounded, so a longer hour number shifts
    // the other fields.
    size_t hourDigits = DigitRun(Output, I + 10);
    size_t shift = hourDigits >= 3 ? hourDigits - 2 : 0;
    return Saturate(ClockMs(FieldAt(Output, I + 10, 2 + shift), FieldAt(Output, I + 13 + shift, 2),
                            FieldAt(Output, I + 16 + shift, 2),
                            FieldAt(Output, I + 19 + shift, 2)));
}

enum class TimeForm { Seconds, Clock, Incomplete };

// Current converters print "time=H...H:MM:SS.cc" (possibly negative or "N/A"); old ones printed
// plain seconds "time=SSSS.cc".
TimeForm ReadTime(const std::wstring& Output, size_t J, int32_t& Position) {
    // "time=N/A" (nothing written yet) is position 0; it must not fall through to the seconds
    // form, which would read the "." of a later "speed=1.23x".
    const std::wstring_view rest = std::wstring_view(Output).substr(J);
    if (rest.starts_with(NotAvailable)) {
        Position = 0;
        return TimeForm::Clock;
    }
    if (!rest.empty() && NotAvailable.starts_with(rest))
        return TimeForm::Incomplete;
    size_t hoursAt = J < Output.size() && Output[J] == L'-' ? J + 1 : J;
    size_t hourDigits = DigitRun(Output, hoursAt);
    size_t colon = hoursAt + hourDigits;
    // The chunk ended inside the number: which form it takes is not known yet.
    if (colon >= Output.size())
        return TimeForm::Incomplete;
    if (hourDigits > 0 && Output[colon] == L':') {
        // The last status line may still be arriving; its fields are then not all there.
        if (colon + 8 >= Output.size())
            return TimeForm::Incomplete;
        if (hoursAt != J) {
            Position = 0; // before the first frame
        } else {
            Position =
                Saturate(ClockMs(FieldAt(Output, J, hourDigits), FieldAt(Output, colon + 1, 2),
                                 FieldAt(Output, colon + 4, 2), FieldAt(Output, colon + 7, 2)));
        }
        return TimeForm::Clock;
    }

    size_t d = Output.find(L'.', J);
    if (d == std::wstring::npos) {
        Position = 0;
    } else {
        int64_t seconds = TextToInt(std::wstring_view(Output).substr(J, d - J));
        Position = Saturate(seconds * 1000 + int64_t{FieldAt(Output, d + 1, 2)} * 10);
    }
    return TimeForm::Seconds;
}

} // namespace

void ParseFFmpegProgress(const std::wstring& Output, int32_t& Position, int32_t& Duration) {
    Position = 0;
    Duration = 0;
    size_t i = Output.find(DurationMarker);
    if (i == std::wstring::npos)
        return;
    Duration = ParseDuration(Output, i);

    // Backwards from the end: the most recent status line is found first.
    for (size_t k = Output.rfind(TimeMarker); k != std::wstring::npos;
         k = k == 0 ? std::wstring::npos : Output.rfind(TimeMarker, k - 1)) {
        if (ReadTime(Output, k + TimeMarker.size(), Position) != TimeForm::Incomplete)
            return;
    }
    Position = 0;
}

bool ExecuteFFmpeg(const std::wstring& FFmpegPath, const std::wstring& Source,
                   const std::wstring& Destination, const std::wstring& Options,
                   std::wstring& Output, TProgressProc ProgressProc) {
    const TFFmpegRun run =
        RunFFmpeg(FFmpegPath, Source, Destination, Options, Output, ProgressProc);
    return run.Started && !run.Cancelled && run.ExitCode == 0;
}
