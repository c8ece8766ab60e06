// The runner's loop, shared by ExecuteFFmpeg (which keeps its exact old contract) and
// ConvertWithFFmpeg (which also judges the result).
#pragma once

#include "FFmpeg.h"
#include "FFmpegReport.h"

#include <cstdint>
#include <string>

// While the converter is silent, the callback still hears from the runner this often, with the
// last known position and duration, so the window handles its messages and a Cancel is honoured.
inline constexpr uint32_t QuietReportIntervalMs = 100;

struct TFFmpegRun {
    bool Started = false;   // the converter was started
    bool Cancelled = false; // the callback asked to stop; the converter was terminated
    uint32_t ExitCode = 0;  // the ended converter's code (when started)
    TFFmpegReport Report;   // what the converter reported, read from all of its output
};

// Runs the converter on Source, writing Destination, and waits for its end. Output is cleared once
// the converter has started and receives its error stream, decoded as UTF-8, as TKeptOutput keeps
// it (the opening part and the latest part); when the converter cannot be started, Output is left
// untouched. The callback (may be nullptr) is called after every chunk of output, at least every
// QuietReportIntervalMs while the converter is silent, and at once when input arrives for the
// thread's windows. Exceptions from the callback pass on, after the converter has been ended and
// every handle closed.
TFFmpegRun RunFFmpeg(const std::wstring& FFmpegPath, const std::wstring& Source,
                     const std::wstring& Destination, const std::wstring& Options,
                     std::wstring& Output, TProgressProc ProgressProc);
