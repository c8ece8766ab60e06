#include "FFmpegOutput.h"

#include "IntegerText.h"

#include <algorithm>
#include <limits>

namespace {

using View = std::wstring_view;

constexpr int64_t Limit = ReportedNumberLimit;
constexpr View NotAvailable = L"N/A";
constexpr View DurationMarker = L"Duration: ";

bool IsDigit(wchar_t C) {
    return C >= L'0' && C <= L'9';
}

bool Contains(View Text, View Part) {
    return Text.find(Part) != View::npos;
}

View TrimLeft(View Text) {
    while (!Text.empty() && (Text.front() == L' ' || Text.front() == L'\t'))
        Text.remove_prefix(1);
    return Text;
}

View TrimRight(View Text) {
    while (!Text.empty() && (Text.back() == L' ' || Text.back() == L'\t'))
        Text.remove_suffix(1);
    return Text;
}

// A line as the reader reads it: its first LineLimit characters, without trailing blanks.
View ReadableLine(View Raw) {
    return TrimRight(Raw.substr(0, TFFmpegOutput::LineLimit));
}

int64_t Saturated(int64_t Value) {
    return std::clamp<int64_t>(Value, -Limit, Limit);
}

int32_t To32(int64_t Value) {
    return static_cast<int32_t>(std::clamp<int64_t>(Value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Digits at Pos as a number (saturating at Limit); Pos moves past them. None when there are none.
std::optional<int64_t> Number(View Text, size_t& Pos) {
    const size_t start = Pos;
    int64_t value = 0;
    for (; Pos < Text.size() && IsDigit(Text[Pos]); ++Pos)
        value = std::min(Limit, value * 10 + (Text[Pos] - L'0'));
    if (Pos == start)
        return std::nullopt;
    return value;
}

// A two-character field at a fixed place ("MM", "SS", "cc"): its digits, or 0 when it holds
// anything else; what lies past the end of the text is simply missing.
int64_t Field(View Text, size_t Pos) {
    if (Pos >= Text.size())
        return 0;
    const View field = Text.substr(Pos, 2);
    int64_t value = 0;
    for (wchar_t c : field) {
        if (!IsDigit(c))
            return 0;
        value = value * 10 + (c - L'0');
    }
    return value;
}

int64_t ClockMs(int64_t Hours, int64_t Minutes, int64_t Seconds, int64_t Hundredths) {
    // Hours at most Limit / 3,600,000, so nothing here leaves 64 bits.
    Hours = std::min(Hours, Limit / 3'600'000);
    return Saturated(((Hours * 60 + Minutes) * 60 + Seconds) * 1000 + Hundredths * 10);
}

// The hours of a clock time at the start of Text: the integer rule's text up to the first colon
// (printed unbounded, so it saturates), Colon at that colon. None when no colon ends an integer
// there ("N/A"); Colon is then where the integer's text ends.
std::optional<int64_t> HoursAt(View Text, size_t& Colon) {
    Colon = IntegerTextLength(Text);
    if (Colon >= Text.size() || Text[Colon] != L':')
        return std::nullopt;
    return TextToIntSaturated(Text.substr(0, Colon), Limit / 3'600'000);
}

// Whether the hours text before Colon carries a minus sign ("-0" too).
bool NegativeHours(View Text, size_t Colon) {
    return TrimLeft(Text.substr(0, Colon)).starts_with(L'-');
}

// A length, "H...H:MM:SS.cc" at the start of Text, the fields at fixed places after the hours.
// None without hours and their colon ("N/A"), or with a minus sign: no length is negative.
std::optional<int64_t> ClockAt(View Text) {
    size_t colon = 0;
    const std::optional<int64_t> hours = HoursAt(Text, colon);
    if (!hours || NegativeHours(Text, colon))
        return std::nullopt;
    return ClockMs(*hours, Field(Text, colon + 1), Field(Text, colon + 4), Field(Text, colon + 7));
}

enum class TTimeForm { Clock, Seconds, NotAvailable, Incomplete };

struct TTime {
    TTimeForm Form = TTimeForm::Incomplete;
    int64_t Ms = 0;
};

// A status line's time field, Text starting just after "time=". Current converters print
// "H...H:MM:SS.cc" (negative before the first frame, "N/A" when nothing is known); earlier versions
// printed plain seconds, "SSSS.cc". Text may end inside the field while the line is still
// arriving: the form is then Incomplete.
TTime ReadTime(View Text) {
    // "N/A" must not fall through to the seconds form, which would read the "." of a later
    // "speed=1.23x".
    if (Text.starts_with(NotAvailable))
        return {TTimeForm::NotAvailable, 0};
    if (!Text.empty() && NotAvailable.starts_with(Text))
        return {};
    size_t colon = 0;
    const std::optional<int64_t> hours = HoursAt(Text, colon);
    if (colon >= Text.size())
        return {};
    if (hours) {
        if (colon + 8 >= Text.size())
            return {};
        if (NegativeHours(Text, colon))
            return {TTimeForm::Clock, 0}; // before the first frame
        return {TTimeForm::Clock, ClockMs(*hours, Field(Text, colon + 1), Field(Text, colon + 4),
                                          Field(Text, colon + 7))};
    }
    const size_t dot = Text.find(L'.');
    if (dot == View::npos)
        return {TTimeForm::Seconds, 0};
    const int64_t seconds = TextToInt(Text.substr(0, dot));
    return {TTimeForm::Seconds, seconds * 1000 + Field(Text, dot + 1) * 10};
}

// Where a status line's time field starts, or npos when Line is no status line.
size_t StatusTimeAt(View Line) {
    if (Line.starts_with(L"time="))
        return 5;
    if (!Line.starts_with(L"frame=") && !Line.starts_with(L"size=") && !Line.starts_with(L"Lsize="))
        return View::npos;
    const size_t at = Line.find(L" time=");
    return at == View::npos ? View::npos : at + 6;
}

// "-4.997000" at Pos, in ms (rounded towards zero).
std::optional<int64_t> SecondsAt(View Text, size_t Pos) {
    const bool negative = Pos < Text.size() && Text[Pos] == L'-';
    if (negative)
        ++Pos;
    const std::optional<int64_t> whole = Number(Text, Pos);
    if (!whole)
        return std::nullopt;
    int64_t ms = std::min(*whole, Limit / 1000) * 1000;
    if (Pos < Text.size() && Text[Pos] == L'.') {
        ++Pos;
        for (int64_t scale = 100; Pos < Text.size() && IsDigit(Text[Pos]); ++Pos, scale /= 10)
            ms += (Text[Pos] - L'0') * scale;
    }
    return negative ? -ms : ms;
}

// The number after Marker in Line ("frame=  125" -> 125), blanks allowed before it.
std::optional<int64_t> NumberAfter(View Line, View Marker) {
    const size_t at = Line.find(Marker);
    if (at == View::npos)
        return std::nullopt;
    size_t pos = at + Marker.size();
    while (pos < Line.size() && Line[pos] == L' ')
        ++pos;
    return Number(Line, pos);
}

// A status line's "size=  258kB" (or "Lsize=", "KiB" from later versions); none for "N/A" or
// another unit.
std::optional<int64_t> SizeOfLine(View Line) {
    const size_t at = Line.find(L"size=");
    if (at == View::npos)
        return std::nullopt;
    size_t pos = at + 5;
    while (pos < Line.size() && Line[pos] == L' ')
        ++pos;
    const std::optional<int64_t> size = Number(Line, pos);
    const View unit = Line.substr(pos);
    if (!size || !(unit.starts_with(L"kB") || unit.starts_with(L"KiB")))
        return std::nullopt;
    return size;
}

// "Stream #0:1(eng): Audio: opus, 48000 Hz" (already trimmed at the left).
std::optional<TReportedStream> StreamLine(View Line) {
    constexpr View Marker = L"Stream #";
    if (!Line.starts_with(Marker))
        return std::nullopt;
    size_t idEnd = Marker.size();
    while (idEnd < Line.size() &&
           (IsDigit(Line[idEnd]) ||
            (Line[idEnd] == L':' && idEnd + 1 < Line.size() && IsDigit(Line[idEnd + 1]))))
        ++idEnd;
    // The id may be followed by "(eng)" or "[0x1]"; the kind follows the next ": ".
    const size_t kindAt = Line.find(L": ", idEnd);
    if (kindAt == View::npos || idEnd == Marker.size())
        return std::nullopt;
    const View id = Line.substr(Marker.size(), idEnd - Marker.size());
    View rest = Line.substr(kindAt + 2);
    TReportedStream stream;
    if (rest.starts_with(L"Video: "))
        stream.Kind = TStreamKind::Video;
    else if (rest.starts_with(L"Audio: "))
        stream.Kind = TStreamKind::Audio;
    else if (!rest.starts_with(L"Subtitle: ") && !rest.starts_with(L"Data: ") &&
             !rest.starts_with(L"Attachment: "))
        return std::nullopt; // "Stream #0:0 -> #0:0 (...)" of the stream mapping, for one
    rest = rest.substr(rest.find(L": ") + 2);
    stream.Id = id;
    stream.Codec = rest.substr(0, rest.find_first_of(L" ,"));
    stream.AttachedPicture = Contains(rest, L"(attached pic)");
    return stream;
}

// "[matroska,webm @ 0x55ad5af76940] EBML header parsing failed" -> "EBML header parsing failed".
View WithoutComponent(View Line) {
    if (Line.starts_with(L"[")) {
        const size_t close = Line.find(L"] ");
        if (close != View::npos && Contains(Line.substr(0, close), L" @ "))
            return Line.substr(close + 2);
    }
    return Line;
}

// Lines that tell nothing about what went wrong, though they are not indented.
bool IsBoilerplate(View Line) {
    for (View start : {View(L"ffmpeg version"), View(L"Input #"), View(L"Output #"),
                       View(L"Stream mapping:"), View(L"Press [q]"), View(L"Conversion failed!"),
                       View(L"Exiting normally"), View(L"***")}) {
        if (Line.starts_with(start))
            return true;
    }
    return false;
}

// What the demuxer prints when the file stops before its own structure said it would.
bool SaysEndedEarly(View Line) {
    for (View message : {View(L"File ended prematurely"), View(L"Truncating packet of size"),
                         View(L"Read error at pos.")}) {
        if (Contains(Line, message))
            return true;
    }
    return false;
}

// The input's own duration line: "  Duration: 00:00:05.00, start: ..." under "Input #0" at its
// indentation (tags and descriptions are indented further), or unindented before any section.
bool IsDurationLine(View Line, bool InInput, bool BeforeSections) {
    if (!InInput && !BeforeSections)
        return false;
    size_t blanks = 0;
    while (blanks < Line.size() && blanks < 2 && Line[blanks] == L' ')
        ++blanks;
    return Line.substr(blanks).starts_with(DurationMarker);
}

// The duration a Duration line gives, or nothing when Line is not one (in that section).
std::optional<std::optional<int64_t>> DurationOfLine(View Line, bool InInput, bool BeforeSections) {
    if (!IsDurationLine(Line, InInput, BeforeSections))
        return std::nullopt;
    return ClockAt(TrimLeft(Line).substr(DurationMarker.size()));
}

// The position a status line gives once its time is complete; false for any other line.
bool PositionOfLine(View Line, int32_t& Position) {
    const size_t timeAt = StatusTimeAt(Line);
    if (timeAt == View::npos)
        return false;
    const TTime time = ReadTime(Line.substr(timeAt));
    if (time.Form == TTimeForm::Incomplete)
        return false;
    Position = To32(time.Ms);
    return true;
}

} // namespace

TFFmpegOutput::TSection TFFmpegOutput::NextSection(std::wstring_view Line, TSection Current) {
    if (Line.starts_with(L"Input #"))
        return Line.starts_with(L"Input #0") ? TSection::Input : TSection::OtherInput;
    if (Line.starts_with(L"Output #"))
        return Line.starts_with(L"Output #0") ? TSection::Output : TSection::OtherOutput;
    if (Line.starts_with(L"Stream mapping:") || Line.starts_with(L"Press [q]"))
        return TSection::OtherOutput; // past the descriptions, and past "before any"
    return Current;
}

void TFFmpegOutput::Append(std::wstring_view Text) {
    const size_t base = Total;
    size_t i = 0;
    while (i < Text.size()) {
        const size_t end = std::min(Text.find_first_of(L"\r\n", i), Text.size());
        if (Line.size() < LineLimit)
            Line.append(Text.substr(i, std::min(end - i, LineLimit - Line.size())));
        if (end == Text.size())
            break;
        EndLine();
        LineStart = base + end + 1;
        i = end + 1;
    }
    Total += Text.size();
    KeptText.Append(Text, OpeningEnd);
}

void TFFmpegOutput::Finish() {
    EndLine();
}

void TFFmpegOutput::EndLine() {
    const View line = ReadableLine(Line);
    if (!line.empty() && ReadLine(line) && !StatusSeen) {
        StatusSeen = true;
        OpeningEnd = LineStart;
    }
    Line.clear();
}

bool TFFmpegOutput::ReadLine(std::wstring_view Line) {
    if (!IsVersionBannerLine(Line)) {
        if (Read.LastLines.size() == ReportedLineCount)
            Read.LastLines.erase(Read.LastLines.begin());
        Read.LastLines.emplace_back(Line);
    }
    const bool indented = Line.front() == L' ' || Line.front() == L'\t';
    if (!DurationSeen &&
        IsDurationLine(Line, Section == TSection::Input, Section == TSection::None)) {
        DurationSeen = true;
        const View trimmed = TrimLeft(Line);
        InputDuration = ClockAt(trimmed.substr(DurationMarker.size()));
        if (!Read.DurationEstimated)
            Read.DurationMs = InputDuration;
        const size_t start = trimmed.find(L"start: ");
        if (start != View::npos)
            Read.StartMs = SecondsAt(trimmed, start + 7).value_or(0);
        return false;
    }
    if (!indented) {
        Section = NextSection(Line, Section);
        if (Line.starts_with(L"Input #")) {
            Read.InputOpened = Read.InputOpened || Section == TSection::Input;
            return false;
        }
        if (Line.starts_with(L"Output #")) {
            Read.OutputOpened = Read.OutputOpened || Section == TSection::Output;
            return false;
        }
    } else {
        if (std::optional<TReportedStream> stream = StreamLine(TrimLeft(Line))) {
            if (Section == TSection::Input)
                Read.InputStreams.push_back(std::move(*stream));
            else if (Section == TSection::Output)
                Read.OutputStreams.push_back(std::move(*stream));
        }
        return false; // descriptions, tags, the banner's details
    }

    if (const size_t timeAt = StatusTimeAt(Line); timeAt != View::npos) {
        if (std::optional<int64_t> frames = NumberAfter(Line, L"frame="))
            Read.Frames = frames;
        if (std::optional<int64_t> size = SizeOfLine(Line))
            Read.SizeKB = size;
        const TTime time = ReadTime(Line.substr(timeAt));
        if (time.Form != TTimeForm::Incomplete)
            StatusPosition = time.Ms;
        if (time.Form == TTimeForm::Clock || time.Form == TTimeForm::Seconds)
            Read.TimeMs = time.Ms;
        return true;
    }
    if (Line.starts_with(L"video:") && Contains(Line, L" audio:")) {
        Read.VideoKB = NumberAfter(Line, L"video:");
        Read.AudioKB = NumberAfter(Line, L" audio:");
        return false;
    }
    if (SaysEndedEarly(Line))
        Read.EndedPrematurely = true;
    // A source without a recorded duration gets one the converter guesses from the bit rate.
    if (Contains(Line, L"Estimating duration from bitrate")) {
        Read.DurationEstimated = true;
        Read.DurationMs.reset();
    }
    if (IsBoilerplate(Line))
        return false;
    const View message = WithoutComponent(Line);
    if (SaysWriteError(message)) {
        if (Read.WriteError.empty())
            Read.WriteError = message;
        Read.DiskFull = Read.DiskFull || SaysDiskFull(message);
    }
    if (Read.Messages.size() == ReportedMessageCount)
        Read.Messages.erase(Read.Messages.begin());
    Read.Messages.emplace_back(message);
    return false;
}

void TFFmpegOutput::Progress(int32_t& Position, int32_t& Duration) const {
    Position = 0;
    Duration = 0;
    std::optional<int64_t> duration = InputDuration;
    const View arriving(Line);
    if (!DurationSeen) {
        const auto arrivingDuration =
            DurationOfLine(arriving, Section == TSection::Input, Section == TSection::None);
        if (!arrivingDuration)
            return; // no position is looked for before the duration
        duration = *arrivingDuration;
    }
    Duration = To32(duration.value_or(0));
    if (!PositionOfLine(arriving, Position))
        Position = To32(StatusPosition.value_or(0));
}

void TFFmpegOutput::ProgressOf(std::wstring_view Output, int32_t& Position, int32_t& Duration) {
    // The reader itself reads the text, but only the lines the progress depends on: forwards
    // until its duration, then from the newest status line whose time is complete (found
    // backwards, by the reader's own line rules) to the end. What lies between changes neither.
    TFFmpegOutput reader;
    const size_t lastBreak = Output.find_last_of(L"\r\n");
    const size_t arrivingAt = lastBreak == View::npos ? 0 : lastBreak + 1;
    size_t at = 0;
    while (at < arrivingAt && !reader.DurationSeen) {
        const size_t end = Output.find_first_of(L"\r\n", at) + 1;
        reader.Append(Output.substr(at, end - at));
        at = end;
    }
    size_t from = arrivingAt;
    if (reader.DurationSeen) {
        for (size_t end = lastBreak; end != View::npos && end > at;) {
            const size_t before = Output.find_last_of(L"\r\n", end - 1);
            const size_t start = before == View::npos ? 0 : before + 1;
            if (start < at)
                break;
            int32_t position = 0;
            if (PositionOfLine(ReadableLine(Output.substr(start, end - start)), position)) {
                from = start;
                break;
            }
            end = before;
        }
    }
    reader.Append(Output.substr(std::max(at, from)));
    reader.Progress(Position, Duration);
}
