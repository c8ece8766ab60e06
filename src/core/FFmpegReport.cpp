#include "FFmpegReport.h"

#include <string_view>

namespace {

using View = std::wstring_view;

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

// Digits at Pos as a number; Pos moves past them. None when there are none.
std::optional<int64_t> Number(View Text, size_t& Pos) {
    size_t start = Pos;
    int64_t value = 0;
    while (Pos < Text.size() && IsDigit(Text[Pos]) && Pos - start < 18)
        value = value * 10 + (Text[Pos++] - L'0');
    if (Pos == start)
        return std::nullopt;
    return value;
}

// "H...H:MM:SS.cc" (also "-H:MM:SS.cc", which counts as 0) at Pos.
std::optional<int64_t> ClockAt(View Text, size_t Pos) {
    bool negative = Pos < Text.size() && Text[Pos] == L'-';
    if (negative)
        ++Pos;
    auto hours = Number(Text, Pos);
    if (!hours || Pos >= Text.size() || Text[Pos++] != L':')
        return std::nullopt;
    auto minutes = Number(Text, Pos);
    if (!minutes || Pos >= Text.size() || Text[Pos++] != L':')
        return std::nullopt;
    auto seconds = Number(Text, Pos);
    if (!seconds)
        return std::nullopt;
    int64_t ms = ((*hours * 60 + *minutes) * 60 + *seconds) * 1000;
    if (Pos < Text.size() && Text[Pos] == L'.') {
        ++Pos;
        int64_t scale = 100;
        while (Pos < Text.size() && IsDigit(Text[Pos])) {
            ms += (Text[Pos++] - L'0') * scale;
            scale /= 10;
        }
    }
    return negative ? 0 : ms;
}

// "-4.997000" at Pos, in ms (rounded towards zero).
std::optional<int64_t> SecondsAt(View Text, size_t Pos) {
    bool negative = Pos < Text.size() && Text[Pos] == L'-';
    if (negative)
        ++Pos;
    auto whole = Number(Text, Pos);
    if (!whole)
        return std::nullopt;
    int64_t ms = *whole * 1000;
    if (Pos < Text.size() && Text[Pos] == L'.') {
        ++Pos;
        int64_t scale = 100;
        while (Pos < Text.size() && IsDigit(Text[Pos])) {
            ms += (Text[Pos++] - L'0') * scale;
            scale /= 10;
        }
    }
    return negative ? -ms : ms;
}

// The number after Marker in Line ("frame=  125" -> 125), blanks allowed before it.
std::optional<int64_t> NumberAfter(View Line, View Marker) {
    size_t at = Line.find(Marker);
    if (at == View::npos)
        return std::nullopt;
    size_t pos = at + Marker.size();
    while (pos < Line.size() && Line[pos] == L' ')
        ++pos;
    return Number(Line, pos);
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
    size_t kindAt = Line.find(L": ", idEnd);
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
    size_t codecEnd = rest.find_first_of(L" ,");
    stream.Id = id;
    stream.Codec = rest.substr(0, codecEnd);
    stream.AttachedPicture = Contains(rest, L"(attached pic)");
    return stream;
}

bool IsStatusLine(View Line) {
    return Contains(Line, L"time=") &&
           (Line.starts_with(L"frame=") || Line.starts_with(L"size=") || Contains(Line, L" size="));
}

// "[matroska,webm @ 0x55ad5af76940] EBML header parsing failed" -> "EBML header parsing failed".
View WithoutComponent(View Line) {
    if (Line.starts_with(L"[")) {
        size_t close = Line.find(L"] ");
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

template <typename Visit> void ForEachLine(const std::wstring& Output, Visit&& Visitor) {
    View text(Output);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == View::npos)
            end = text.size();
        View line = TrimRight(text.substr(start, end - start));
        if (!line.empty())
            Visitor(line);
        start = end + 1;
    }
}

} // namespace

const TReportedStream* TFFmpegReport::FirstInput(TStreamKind Kind) const {
    for (const TReportedStream& stream : InputStreams) {
        if (stream.Kind == Kind && !stream.AttachedPicture)
            return &stream;
    }
    return nullptr;
}

const TReportedStream* TFFmpegReport::InputStream(const std::wstring& Id) const {
    for (const TReportedStream& stream : InputStreams) {
        if (stream.Id == Id)
            return &stream;
    }
    return nullptr;
}

bool DurationIsEstimated(const std::wstring& Output) {
    return Output.find(L"Estimating duration from bitrate") != std::wstring::npos;
}

TFFmpegReport ReadFFmpegReport(const std::wstring& Output) {
    enum class Section { None, Input, OtherInput, Output, OtherOutput };
    TFFmpegReport report;
    Section section = Section::None;
    bool durationSeen = false;
    ForEachLine(Output, [&](View Line) {
        const bool indented = Line.front() == L' ' || Line.front() == L'\t';
        const View trimmed = TrimLeft(Line);
        if (!indented) {
            if (Line.starts_with(L"Input #")) {
                section = Line.starts_with(L"Input #0") ? Section::Input : Section::OtherInput;
                report.InputOpened = report.InputOpened || section == Section::Input;
                return;
            }
            if (Line.starts_with(L"Output #")) {
                section = Line.starts_with(L"Output #0") ? Section::Output : Section::OtherOutput;
                report.OutputOpened = report.OutputOpened || section == Section::Output;
                return;
            }
            if (Line.starts_with(L"Stream mapping:") || Line.starts_with(L"Press [q]"))
                section = Section::None;
        }
        if (indented) {
            if (auto stream = StreamLine(trimmed)) {
                if (section == Section::Input)
                    report.InputStreams.push_back(*stream);
                else if (section == Section::Output)
                    report.OutputStreams.push_back(*stream);
                return;
            }
            if (section == Section::Input && trimmed.starts_with(L"Duration: ") && !durationSeen) {
                durationSeen = true;
                report.DurationMs = ClockAt(trimmed, 10);
                size_t start = trimmed.find(L"start: ");
                if (start != View::npos)
                    report.StartMs = SecondsAt(trimmed, start + 7).value_or(0);
            }
            return; // descriptions, metadata, the banner's details
        }
        if (IsStatusLine(Line)) {
            if (auto frames = NumberAfter(Line, L"frame="))
                report.Frames = frames;
            size_t time = Line.find(L"time=");
            if (auto ms = ClockAt(Line, time + 5))
                report.TimeMs = ms;
            return;
        }
        if (Line.starts_with(L"video:") && Contains(Line, L" audio:")) {
            report.VideoKB = NumberAfter(Line, L"video:");
            report.AudioKB = NumberAfter(Line, L" audio:");
            return;
        }
        if (SaysEndedEarly(Line))
            report.EndedPrematurely = true;
        if (IsBoilerplate(Line))
            return;
        if (report.Messages.size() == ReportedMessageCount)
            report.Messages.erase(report.Messages.begin());
        report.Messages.emplace_back(WithoutComponent(Line));
    });
    if (DurationIsEstimated(Output))
        report.DurationMs.reset();
    return report;
}

namespace {

// The converter's version banner: the same on every run, and of no help in telling what went
// wrong.
bool IsBannerLine(View Line) {
    return Line.starts_with(L"ffmpeg version") || Line.starts_with(L"  built with") ||
           Line.starts_with(L"  configuration:") ||
           (Line.starts_with(L"  lib") && Contains(Line, L" / "));
}

} // namespace

std::vector<std::wstring> LastOutputLines(const std::wstring& Output, size_t Count) {
    std::vector<std::wstring> lines;
    if (Count == 0)
        return lines;
    // Backwards, so a long output costs no more than its last lines.
    View text(Output);
    size_t end = text.size();
    while (end > 0 && lines.size() < Count) {
        size_t start = text.find_last_of(L"\r\n", end - 1);
        size_t from = start == View::npos ? 0 : start + 1;
        View line = TrimRight(text.substr(from, end - from));
        if (!line.empty() && !IsBannerLine(line))
            lines.emplace_back(line);
        if (start == View::npos)
            break;
        end = start;
    }
    return {lines.rbegin(), lines.rend()};
}
