// The runner's loop, shared by ExecuteFFmpeg (which reports through its callback and its Boolean
// result alone) and ConvertWithFFmpeg (which also judges the result).
#pragma once

#include "ChildProcess.h"
#include "FFmpeg.h"
#include "FFmpegOutput.h"
#include "FFmpegReport.h"
#include "TextConversion.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// While the converter is silent, the callback still hears from the runner this often, with the
// last known position and duration, so the window handles its messages and a Cancel is honoured.
inline constexpr uint32_t QuietReportIntervalMs = 100;

// How long a converter is waited for once its error stream has ended without it ending. It
// normally ends at once; one closing its file on a slow network share may take a while. After
// this it is ended: a process that closed its stream but goes on has stalled.
inline constexpr uint32_t StreamEndWaitMs = 30000;
// How long a converter told to end (Cancel, a failed stream, a stall) is waited for. Ending a
// process normally takes milliseconds, but one stuck in I/O that cannot be interrupted (a dead
// network share) dies only when that I/O gives up, which can take minutes. The window answers
// throughout, so this bounds only how long a Cancel, or the batch, waits to go on: long enough
// for a busy or slow machine to end a process, short enough that a user does not give up. The
// process is then left to the system (on Windows the job that holds every converter ends it
// with Kestrova at the latest); its partial file is deleted once it lets go of it.
inline constexpr uint32_t TerminateWaitMs = 5000;

// Lets the caller's windows answer while a run waits for its converter's end; true asks that the
// converter be ended (the user's Cancel).
using TWaitPump = std::function<bool()>;
// When a runner waits and reports: at least every QuietReportIntervalMs, after every chunk of
// output, and when input arrives for the thread's windows, but then not sooner than a few
// milliseconds after the last report, so a callback that leaves input in the queue never makes a
// busy loop.
class TReportTimer {
public:
    struct TWait {
        uint32_t TimeoutMs;
        bool WakeOnInput;
    };
    // The next bounded wait; without Reporting (no callback) it only has to end now and then.
    TWait NextWait(bool Reporting) const;
    // After Wait ended: whether to report now (then counted as reported).
    bool ReportNow(bool SomethingCame, const TWait& Wait);

private:
    std::chrono::steady_clock::time_point LastReport = std::chrono::steady_clock::now();
};

struct TFFmpegRun {
    bool Started = false;      // the converter was started
    bool Cancelled = false;    // the callback asked to stop; the converter was terminated
    uint32_t ExitCode = 0;     // the ended converter's code (when started and not Abandoned)
    bool StreamFailed = false; // reading its error stream failed; the converter was ended
    bool Stalled = false;      // it closed its stream but did not end in time, and was ended
    bool Abandoned = false;    // it did not end within TerminateWaitMs after being ended
    TFFmpegReport Report;      // what the converter reported, read from all of its output
};

// Runs the converter on Source, writing Destination, and waits for its end. Output is cleared once
// the converter has started and receives its error stream, decoded as UTF-8, as TKeptOutput keeps
// it (the opening part and the latest part); when the converter cannot be started, Output is left
// untouched. The callback (may be nullptr) is called after every chunk of output, at least every
// QuietReportIntervalMs while the converter is silent, and at once when input arrives for the
// thread's windows. While a converter whose stream has ended (or that was ended) has not ended
// yet, the callback goes on being called at the same rhythm, so the window answers: a Cancel then
// ends it, and the waits of TFFmpegJob::Finish are bounded. Exceptions from the callback pass on,
// after the converter has been ended and every handle closed.
TFFmpegRun RunFFmpeg(const std::wstring& FFmpegPath, const std::wstring& Source,
                     const std::wstring& Destination, const std::wstring& Options,
                     std::wstring& Output, TProgressProc ProgressProc);

// One converter run that its owner drives by bounded waits, alone (RunFFmpeg) or beside others
// (StepJobs), in the owner's thread. Destroying a started job that has not finished ends its
// converter, waits for it and closes its handles.
class TFFmpegJob {
public:
    // The same command line as RunFFmpeg.
    TFFmpegJob(const std::wstring& FFmpegPath, const std::wstring& Source,
               const std::wstring& Destination, const std::wstring& Options);
    // The same, through another child process than the platform's (tests).
    TFFmpegJob(const std::wstring& FFmpegPath, const std::wstring& Source,
               const std::wstring& Destination, const std::wstring& Options,
               std::unique_ptr<ChildProcess> Child);
    TFFmpegJob(const TFFmpegJob&) = delete;
    TFFmpegJob& operator=(const TFFmpegJob&) = delete;

    // False when the converter could not be started.
    bool Start();
    // Waits at most TimeoutMs for this converter's output (see ChildProcess::Read) and takes in
    // what came. A stream that fails ends the converter at once: it would wait for ever on a
    // pipe that nobody empties.
    TChildOutput Step(uint32_t TimeoutMs, bool WakeOnInput);
    // Its error stream has ended: Finish can follow.
    bool Ended() const { return StreamEnded; }
    // Where the converter is, and the input's duration, in ms; 0 while unknown (an estimated
    // duration counts as unknown). A position once positive never falls back to 0.
    int32_t Position() const { return Position_; }
    int32_t Duration() const { return Duration_; }
    // Ends the converter at once, as the user's Cancel does.
    void Cancel();
    // Waits for the converter's end and gives what it did; Output as RunFFmpeg gives it. The
    // wait is bounded: StreamEndWaitMs for one that has not been ended (then it is), and
    // TerminateWaitMs after it was ended (then it is Abandoned). Pump, when given, is called
    // about every QuietReportIntervalMs and at once when input arrives, while the converter has
    // not ended; when it returns true the converter is ended as by Cancel.
    TFFmpegRun Finish(std::wstring& Output, const TWaitPump& Pump = nullptr);

    const std::wstring& Destination() const { return Destination_; }
    ChildProcess& Process() { return *Child; }

private:
    const std::wstring FFmpegPath;
    const std::wstring CommandLine;
    const std::wstring Destination_;
    std::unique_ptr<ChildProcess> Child;
    TFFmpegOutput Reader;
    TUtf8Decoder Decoder; // the converter writes UTF-8
    int32_t Position_ = 0;
    int32_t Duration_ = 0;
    // Ends the converter for a reason of the runner's own; its end is waited for from now on.
    void End();

    bool Started = false;
    bool StreamEnded = false;
    bool StreamFailed = false;
    bool Cancelled = false;
    bool Terminated = false;
    std::chrono::steady_clock::time_point TerminatedAt;
};

// One bounded wait over every job of Jobs that has not ended (see WaitForChildren): each whose
// output or end is there takes it in. True when anything came.
bool StepJobs(const std::vector<TFFmpegJob*>& Jobs, uint32_t TimeoutMs, bool WakeOnInput);
