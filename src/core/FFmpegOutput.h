// The one reading of the converter's error output, line by line as it arrives. It feeds the
// progress (duration and position), the report the verdict is made from (FFmpegReport.h), and the
// text the runner keeps (KeptOutput.h), all by the same rules:
// - lines end at "\r" (status lines) as well as "\n"; a line longer than LineLimit is read by
//   its first LineLimit characters;
// - the input's duration is its own "  Duration: " line, in the "Input #0" section (or before
//   any section, as bare excerpts give it), never a tag or a description that holds the word;
// - a status line is an unindented line that starts with "frame=", "size=", "Lsize=" or "time="
//   and holds a " time=" field; "time=" anywhere else (a file name, a tag) is text.
// Reading an output in pieces gives the same report as reading it whole.
#pragma once

#include "FFmpegReport.h"
#include "KeptOutput.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class TFFmpegOutput {
public:
    static constexpr size_t LineLimit = 64 * 1024;

    void Append(std::wstring_view Text);
    // The end of the output: a last line without its line break is read too.
    void Finish();

    // As ParseFFmpegProgress (FFmpeg.h) defines them, from what has arrived so far: the duration
    // and the position of the newest status line whose time is complete (the last line counts
    // while it is still arriving, once its time field is whole). Both 0 until a Duration line
    // has come; both saturate at the 32-bit limit.
    void Progress(int32_t& Position, int32_t& Duration) const;
    // The same for a whole text read so far (ParseFFmpegProgress), by a reader of its own that is
    // given only the lines the values depend on: those up to the duration, and those from the
    // newest status line whose time is complete to the end. The cost does not grow with the
    // status lines in between.
    static void ProgressOf(std::wstring_view Output, int32_t& Position, int32_t& Duration);

    // What the complete lines reported (after Finish, every line).
    const TFFmpegReport& Report() const { return Read; }
    TFFmpegReport TakeReport() { return std::move(Read); }

    // The text as the runner keeps it (KeptOutput.h).
    const TKeptOutput& Kept() const { return KeptText; }
    std::wstring TakeText() { return KeptText.Take(); }

private:
    enum class TSection { None, Input, OtherInput, Output, OtherOutput };

    // The section an unindented line opens, or Current.
    static TSection NextSection(std::wstring_view Line, TSection Current);
    void EndLine();
    // Reads one line (without its line break and trailing blanks); true for a status line.
    bool ReadLine(std::wstring_view Line);

    TKeptOutput KeptText;
    TFFmpegReport Read;
    std::wstring Line;    // the line still arriving (its first LineLimit characters)
    size_t LineStart = 0; // where it began, counted from the first character appended
    size_t Total = 0;     // characters appended
    bool StatusSeen = false;
    size_t OpeningEnd = std::wstring::npos; // where the first status line began

    TSection Section = TSection::None;
    bool DurationSeen = false;
    std::optional<int64_t> InputDuration;  // as the Duration line gives it
    std::optional<int64_t> StatusPosition; // the newest status line's ("N/A" counts as 0)
};
