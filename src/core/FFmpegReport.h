// What the converter reported about one conversion, read from its error output (as the runner
// keeps it): the streams of the input and of the output, the input's duration and start, how far
// it got, the closing totals, and its messages. Read by the same reader as the progress
// (FFmpegOutput.h), line by line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TStreamKind { Video, Audio, Other };

// One "Stream #0:N...: Video: <codec>, ..." line.
struct TReportedStream {
    std::wstring Id; // "0:1"
    TStreamKind Kind = TStreamKind::Other;
    std::wstring Codec;           // "vp9", "av1", "mp3"; "none" when the converter does not know it
    bool AttachedPicture = false; // cover art, not a picture that moves

    bool operator==(const TReportedStream&) const = default;
};

struct TFFmpegReport {
    bool InputOpened = false;  // "Input #0" came: the source was opened and understood
    bool OutputOpened = false; // "Output #0" came: the destination was set up
    std::vector<TReportedStream> InputStreams;  // under "Input #0"
    std::vector<TReportedStream> OutputStreams; // under "Output #0"
    // The input's own "Duration:" line (never a tag that holds the word); none for "N/A" (live
    // files) and for a duration the converter estimated. Times and counts saturate at
    // ReportedNumberLimit.
    std::optional<int64_t> DurationMs;
    // The converter guessed the duration from the bit rate (a live recording with PCM sound, say),
    // often far off: such a duration counts as none, for the progress shown and for judging
    // whether the file ended early.
    bool DurationEstimated = false;
    int64_t StartMs = 0;           // the input's "start:", the first timestamp
    std::optional<int64_t> Frames; // the last "frame=" of a status line
    std::optional<int64_t> TimeMs; // the last "time=" that held a time
    // The last "size=" (or the closing "Lsize=") that held a number: kB of 1024 bytes, rounded
    // to whole ones, as the converter measured the output.
    std::optional<int64_t> SizeKB;
    std::optional<int64_t> VideoKB; // closing totals, "video:125kB audio:24kB ..."
    std::optional<int64_t> AudioKB;
    bool EndedPrematurely = false; // the source ended before its own structure said it would
    // The first error the converter reported writing or closing its output (a muxing write, the
    // trailer, closing the file, or any message that the disk is full), as it printed it, any
    // component prefix taken off; empty when there was none. FFmpeg ends with 0 after some.
    std::wstring WriteError;
    bool DiskFull = false; // a message said the disk is full
    // Messages: unindented lines other than descriptions, status lines and totals, with any
    // "[component @ 0x...] " prefix taken off. The last few, oldest first.
    std::vector<std::wstring> Messages;
    // The last ReportedLineCount lines as LastOutputLines gives them.
    std::vector<std::wstring> LastLines;

    // The first input stream of that kind that is a real stream (not cover art), or nullptr.
    const TReportedStream* FirstInput(TStreamKind Kind) const;
    // The input stream with that id ("0:1"), or nullptr.
    const TReportedStream* InputStream(const std::wstring& Id) const;

    bool operator==(const TFFmpegReport&) const = default;
};

inline constexpr size_t ReportedMessageCount = 8;
inline constexpr size_t ReportedLineCount = 20;
// About 31,700 years in ms: far past any real value, and small enough for sums and products of a
// few such values to stay within 64 bits.
inline constexpr int64_t ReportedNumberLimit = 1'000'000'000'000'000;

TFFmpegReport ReadFFmpegReport(const std::wstring& Output);

// Whether a message of the converter says the disk is full: the C library's words, Windows' own,
// or the number an FFmpeg built without strerror_r prints for ENOSPC.
bool SaysDiskFull(std::wstring_view Message);
// Whether it reports an error writing or closing the output.
bool SaysWriteError(std::wstring_view Message);

// The converter's version banner: the same on every run, and of no help in telling what went
// wrong.
bool IsVersionBannerLine(std::wstring_view Line);

// The last Count non-empty lines (the version banner left out) of the output, status lines counted
// one by one (lines end at
// "\r" as well as "\n"), oldest first.
std::vector<std::wstring> LastOutputLines(const std::wstring& Output, size_t Count);
