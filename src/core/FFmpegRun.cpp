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

} // namespace

TFFmpegRun RunFFmpeg(const std::wstring& FFmpegPath, const std::wstring& Source,
                     const std::wstring& Destination, const std::wstring& Options,
                     std::wstring& Output, TProgressProc ProgressProc) {
    // The first token stands in the program name's place; the converter acts on the rest. It
    // reads no input, so it never waits on a question, and may write into the file the batch
    // reserved for it (which exists, empty, by then).
    const std::wstring commandLine = std::wstring(FFmpegProgramToken) + L" -nostdin -y -i \"" +
                                     Source + L"\" " + Options + L" \"" + Destination + L"\"";

    TFFmpegRun run;
    std::unique_ptr<ChildProcess> process = CreateChildProcess();
    if (!process->Start(FFmpegPath, commandLine))
        return run;
    run.Started = true;
    Output.clear();

    // Should the callback throw, destroying the process object ends the converter, waits for it
    // and closes its handles before the exception travels on.
    TFFmpegOutput reader;
    TUtf8Decoder decoder; // the converter writes UTF-8
    int32_t position = 0;
    int32_t duration = 0;
    bool cancel = false;
    std::array<char, ReadBufferSize> buffer;
    Clock::time_point lastReport = Clock::now();
    for (;;) {
        const Clock::time_point now = Clock::now();
        const Clock::time_point due = lastReport + Ms(QuietReportIntervalMs);
        const bool wakeOnInput = ProgressProc && now - lastReport >= InputGap;
        uint32_t timeout = UnreportedWaitMs;
        if (ProgressProc) {
            timeout = wakeOnInput
                          ? MsUntil(now, due)
                          : std::min(MsUntil(now, due), MsUntil(now, lastReport + InputGap));
        }

        size_t received = 0;
        const TChildOutput got =
            process->Read(buffer.data(), buffer.size(), timeout, wakeOnInput, received);
        if (got == TChildOutput::Ended)
            break;
        if (got == TChildOutput::Data)
            reader.Append(decoder.Decode(std::string_view(buffer.data(), received)));
        if (!ProgressProc)
            continue;

        const Clock::time_point after = Clock::now();
        if (got == TChildOutput::Quiet) {
            // A wait that input could wake ended at the interval's end or because input came:
            // report either way. A wait that input could not wake was only the short pause after
            // the last report.
            if (!wakeOnInput && after < due)
                continue;
        } else {
            int32_t parsedPosition = 0;
            reader.Progress(parsedPosition, duration);
            if (duration > 0 && reader.Report().DurationEstimated)
                duration = 0;
            // A flood of warnings can push every complete status line out of the kept latest
            // part for a while: the position is then not known anew, and the last one holds
            // (rather than the bar falling back to the start). Once positive, a position of a
            // run never truly returns to 0.
            if (parsedPosition > 0 || position <= 0)
                position = parsedPosition;
        }
        lastReport = after;
        ProgressProc(std::max(position, 0), std::max(duration, 0), cancel);
        if (cancel) {
            run.Cancelled = true;
            process->Terminate(FFmpegCancelExitCode);
            break;
        }
    }
    run.ExitCode = process->WaitForExitCode();
    reader.Append(decoder.Finish());
    reader.Finish();
    Output = reader.TakeText();
    run.Report = reader.TakeReport();
    return run;
}
