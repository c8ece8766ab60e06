#include "FFmpegRun.h"

#include "ChildProcess.h"
#include "FFmpegOutput.h"
#include "TextConversion.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

constexpr size_t ReadBufferSize = 4096;
// Without a callback there is nothing to report: the wait only has to end now and then.
constexpr uint32_t UnreportedWaitMs = 1000;
// Input wakes the wait only this long after the last report at the soonest: a callback that
// leaves input in the queue then costs a report every few milliseconds, never a busy loop.
constexpr Ms InputGap{10};

uint32_t MsUntil(Clock::time_point Now, Clock::time_point Then) {
    if (Then <= Now)
        return 0;
    return static_cast<uint32_t>(std::chrono::ceil<Ms>(Then - Now).count());
}

std::wstring FFmpegCommandLine(const std::wstring& Source, const std::wstring& Destination,
                               const std::wstring& Options) {
    // The first token stands in the program name's place; the converter acts on the rest. It
    // reads no input, so it never waits on a question, and may write into the file the batch
    // reserved for it (which exists, empty, by then).
    return std::wstring(FFmpegProgramToken) + L" -nostdin -y -i \"" + Source + L"\" " + Options +
           L" \"" + Destination + L"\"";
}

} // namespace

TReportTimer::TWait TReportTimer::NextWait(bool Reporting) const {
    if (!Reporting)
        return {UnreportedWaitMs, false};
    const Clock::time_point now = Clock::now();
    const Clock::time_point due = LastReport + Ms(QuietReportIntervalMs);
    if (now - LastReport >= InputGap)
        return {MsUntil(now, due), true};
    return {std::min(MsUntil(now, due), MsUntil(now, LastReport + InputGap)), false};
}

bool TReportTimer::ReportNow(bool SomethingCame, const TWait& Wait) {
    const Clock::time_point now = Clock::now();
    // A wait that input could wake ended at the interval's end or because input came: report
    // either way. A wait that input could not wake was only the short pause after the last
    // report.
    if (!SomethingCame && !Wait.WakeOnInput && now < LastReport + Ms(QuietReportIntervalMs))
        return false;
    LastReport = now;
    return true;
}

TFFmpegJob::TFFmpegJob(const std::wstring& FFmpegPath, const std::wstring& Source,
                       const std::wstring& Destination, const std::wstring& Options)
    : TFFmpegJob(FFmpegPath, Source, Destination, Options, CreateChildProcess()) {}

TFFmpegJob::TFFmpegJob(const std::wstring& FFmpegPath, const std::wstring& Source,
                       const std::wstring& Destination, const std::wstring& Options,
                       std::unique_ptr<ChildProcess> Child)
    : FFmpegPath(FFmpegPath), CommandLine(FFmpegCommandLine(Source, Destination, Options)),
      Destination_(Destination), Child(std::move(Child)) {}

bool TFFmpegJob::Start() {
    Started = Child->Start(FFmpegPath, CommandLine);
    StreamEnded = !Started;
    return Started;
}

TChildOutput TFFmpegJob::Step(uint32_t TimeoutMs, bool WakeOnInput) {
    if (StreamEnded)
        return TChildOutput::Ended;
    std::array<char, ReadBufferSize> buffer;
    size_t received = 0;
    const TChildOutput got =
        Child->Read(buffer.data(), buffer.size(), TimeoutMs, WakeOnInput, received);
    if (got == TChildOutput::Ended) {
        StreamEnded = true;
    } else if (got == TChildOutput::Failed) {
        StreamEnded = true;
        StreamFailed = true;
        End();
    } else if (got == TChildOutput::Data) {
        Reader.Append(Decoder.Decode(std::string_view(buffer.data(), received)));
        int32_t parsedPosition = 0;
        Reader.Progress(parsedPosition, Duration_);
        if (Duration_ > 0 && Reader.Report().DurationEstimated)
            Duration_ = 0;
        // A flood of warnings can push every complete status line out of the kept latest part
        // for a while: the position is then not known anew, and the last one holds (rather than
        // the bar falling back to the start). Once positive, a position of a run never truly
        // returns to 0.
        if (parsedPosition > 0 || Position_ <= 0)
            Position_ = parsedPosition;
    }
    return got;
}

void TFFmpegJob::Cancel() {
    if (!Started || Cancelled)
        return;
    Cancelled = true;
    End();
}

void TFFmpegJob::End() {
    if (Terminated)
        return;
    Terminated = true;
    TerminatedAt = Clock::now();
    Child->Terminate(FFmpegCancelExitCode);
}

TFFmpegRun TFFmpegJob::Finish(std::wstring& Output, const TWaitPump& Pump) {
    TFFmpegRun run;
    if (!Started)
        return run;
    run.Started = true;
    const Clock::time_point waitStart = Clock::now();
    TReportTimer timer;
    for (;;) {
        const Clock::time_point deadline =
            Terminated ? TerminatedAt + Ms(TerminateWaitMs) : waitStart + Ms(StreamEndWaitMs);
        TReportTimer::TWait wait = timer.NextWait(Pump != nullptr);
        wait.TimeoutMs = std::min(wait.TimeoutMs, MsUntil(Clock::now(), deadline));
        if (Child->WaitForExit(wait.TimeoutMs, wait.WakeOnInput, run.ExitCode))
            break;
        if (Clock::now() >= deadline) {
            if (Terminated) {
                run.Abandoned = true;
                run.ExitCode = FFmpegCancelExitCode;
                break;
            }
            run.Stalled = true;
            End();
            continue;
        }
        if (Pump && timer.ReportNow(false, wait) && Pump())
            Cancel();
    }
    run.Cancelled = Cancelled;
    run.StreamFailed = StreamFailed;
    Reader.Append(Decoder.Finish());
    Reader.Finish();
    Output = Reader.TakeText();
    run.Report = Reader.TakeReport();
    return run;
}

bool StepJobs(const std::vector<TFFmpegJob*>& Jobs, uint32_t TimeoutMs, bool WakeOnInput) {
    std::vector<TFFmpegJob*> running;
    std::vector<ChildProcess*> children;
    for (TFFmpegJob* job : Jobs) {
        if (!job->Ended()) {
            running.push_back(job);
            children.push_back(&job->Process());
        }
    }
    if (running.empty())
        return false;
    bool came = false;
    // One chunk from each ready converter per wait: a chatty one cannot starve the others.
    for (size_t index : WaitForChildren(children, TimeoutMs, WakeOnInput))
        came = running[index]->Step(0, false) != TChildOutput::Quiet || came;
    return came;
}

TFFmpegRun RunFFmpeg(const std::wstring& FFmpegPath, const std::wstring& Source,
                     const std::wstring& Destination, const std::wstring& Options,
                     std::wstring& Output, TProgressProc ProgressProc) {
    // Should the callback throw, destroying the job ends the converter, waits for it and closes
    // its handles before the exception travels on.
    TFFmpegJob job(FFmpegPath, Source, Destination, Options);
    if (!job.Start())
        return {};
    Output.clear();

    bool cancel = false;
    TReportTimer timer;
    for (;;) {
        const TReportTimer::TWait wait = timer.NextWait(ProgressProc != nullptr);
        const TChildOutput got = job.Step(wait.TimeoutMs, wait.WakeOnInput);
        if (got == TChildOutput::Ended || got == TChildOutput::Failed)
            break;
        if (!ProgressProc || !timer.ReportNow(got == TChildOutput::Data, wait))
            continue;
        ProgressProc(std::max(job.Position(), 0), std::max(job.Duration(), 0), cancel);
        if (cancel) {
            job.Cancel();
            break;
        }
    }
    if (!ProgressProc)
        return job.Finish(Output);
    return job.Finish(Output, [&] {
        bool stop = cancel;
        ProgressProc(std::max(job.Position(), 0), std::max(job.Duration(), 0), stop);
        return stop;
    });
}
