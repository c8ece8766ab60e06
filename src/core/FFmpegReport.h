// What the converter reported about one conversion, read from its error output (as the runner
// keeps it): the streams of the input and of the output, the input's duration and start, how far
// it got, the closing totals, and its messages. Beside the progress parser, which it leaves alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class TStreamKind { Video, Audio, Other };

// One "Stream #0:N...: Video: <codec>, ..." line.
struct TReportedStream {
    std::wstring Id; // "0:1"
    TStreamKind Kind = TStreamKind::Other;
    std::wstring Codec;           // "vp9", "av1", "mp3"; "none" when the converter does not know it
    bool AttachedPicture = false; // cover art, not a picture that moves
};

struct TFFmpegReport {
    bool InputOpened = false;  // "Input #0" came: the source was opened and understood
    bool OutputOpened = false; // "Output #0" came: the destination was set up
    std::vector<TReportedStream> InputStreams;  // under "Input #0"
    std::vector<TReportedStream> OutputStreams; // under "Output #0"
    std::optional<int64_t> DurationMs; // the input's "Duration:"; none for "N/A" (live files)
    int64_t StartMs = 0;               // the input's "start:", the first timestamp
    std::optional<int64_t> Frames;     // the last "frame=" of a status line
    std::optional<int64_t> TimeMs;     // the last "time=" that held a time
    std::optional<int64_t> VideoKB;    // closing totals, "video:125kB audio:24kB ..."
    std::optional<int64_t> AudioKB;
    bool EndedPrematurely = false; // the source ended before its own structure said it would
    // Messages: unindented lines other than descriptions, status lines and totals, with any
    // "[component @ 0x...] " prefix taken off. The last few, oldest first.
    std::vector<std::wstring> Messages;

    // The first input stream of that kind that is a real stream (not cover art), or nullptr.
    const TReportedStream* FirstInput(TStreamKind Kind) const;
    // The input stream with that id ("0:1"), or nullptr.
    const TReportedStream* InputStream(const std::wstring& Id) const;
};

inline constexpr size_t ReportedMessageCount = 8;

TFFmpegReport ReadFFmpegReport(const std::wstring& Output);

// A source without a recorded duration (a live recording with PCM sound, say) gets one the
// converter guesses from the bit rate, often far off: such a duration counts as none, for the
// progress shown and for judging whether the file ended early.
bool DurationIsEstimated(const std::wstring& Output);

// The last Count non-empty lines of the output, status lines counted one by one (lines end at
// "\r" as well as "\n"), oldest first.
std::vector<std::wstring> LastOutputLines(const std::wstring& Output, size_t Count);
