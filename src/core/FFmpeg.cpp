#include "FFmpeg.h"

#include "FFmpegOutput.h"
#include "FFmpegRun.h"

void ParseFFmpegProgress(const std::wstring& Output, int32_t& Position, int32_t& Duration) {
    TFFmpegOutput::ProgressOf(Output, Position, Duration);
}

bool ExecuteFFmpeg(const std::wstring& FFmpegPath, const std::wstring& Source,
                   const std::wstring& Destination, const std::wstring& Options,
                   std::wstring& Output, TProgressProc ProgressProc) {
    const TFFmpegRun run =
        RunFFmpeg(FFmpegPath, Source, Destination, Options, Output, ProgressProc);
    return run.Started && !run.Cancelled && !run.StreamFailed && !run.Stalled && !run.Abandoned &&
           run.ExitCode == 0;
}
