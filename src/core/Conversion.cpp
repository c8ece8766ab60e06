#include "Conversion.h"

#include "FFmpegRun.h"
#include "FileSystem.h"
#include "TextTemplate.h"

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <string_view>

namespace {

using View = std::wstring_view;

// A source this much short of its duration, and by this share of it, ended early: shorter gaps
// are the ordinary difference between the streams' ends and the container's duration.
constexpr int64_t ShortByMs = 1000;
constexpr int64_t ShortByFiftieths = 1; // 2 %

// A volume with less than this free after a write error is full: nothing the size of an AVI's
// index or its next packets fits.
constexpr uint64_t DiskFullBelowBytes = 1024 * 1024;

// The newest message holding any of the parts, or nullptr.
const std::wstring* FindMessage(const TFFmpegReport& Report, std::initializer_list<View> Parts) {
    for (auto message = Report.Messages.rbegin(); message != Report.Messages.rend(); ++message) {
        for (View part : Parts) {
            if (message->find(part) != std::wstring::npos)
                return &*message;
        }
    }
    return nullptr;
}

// The text between Before and the next After in Message ("(codec ", ")").
std::wstring Between(const std::wstring& Message, View Before, View After) {
    size_t start = Message.find(Before);
    if (start == std::wstring::npos)
        return {};
    start += Before.size();
    size_t end = Message.find(After, start);
    return Message.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

// "... for input stream #0:1 ..." -> "0:1".
std::wstring StreamIdIn(const std::wstring& Message) {
    std::wstring id = Between(Message, L"stream #", L" ");
    while (!id.empty() && !(id.back() >= L'0' && id.back() <= L'9'))
        id.pop_back();
    return id;
}

std::wstring JoinLines(const std::vector<std::wstring>& Lines) {
    std::wstring text;
    for (const std::wstring& line : Lines) {
        if (!text.empty())
            text += L"\r\n";
        text += line;
    }
    return text;
}

void JudgeFinished(const TFFmpegReport& Report, TConversionOutcome& Outcome) {
    // The converter closes every run it finished with its totals; once it has opened the source,
    // their absence means it was ended from outside (Wine reports that as ending with 0).
    if (Report.InputOpened && !Report.VideoKB && !Report.AudioKB) {
        Outcome.Failure = TFailureKind::Stopped;
        return;
    }
    // Frames counted by the status line; without one, the closing totals tell.
    const TReportedStream* video = Report.FirstInput(TStreamKind::Video);
    const bool noFrame = Report.Frames ? *Report.Frames == 0 : Report.VideoKB == 0;
    if (video && noFrame) {
        Outcome.Failure = TFailureKind::NoPicture;
        Outcome.Codec = video->Codec;
        return;
    }
    const TReportedStream* sound = Report.FirstInput(TStreamKind::Audio);
    if (sound && Report.AudioKB == 0) {
        Outcome.Failure = TFailureKind::NoSound;
        Outcome.Codec = sound->Codec;
        return;
    }
    Outcome.Converted = true;

    // Live recordings carry no duration and are never short. The container's duration runs to
    // its last timestamp, so a source that starts later is measured from its start.
    if (!Report.DurationMs)
        return;
    const int64_t length = *Report.DurationMs - std::max<int64_t>(Report.StartMs, 0);
    const int64_t reached = Report.TimeMs.value_or(0);
    const int64_t shortBy = length - reached;
    const bool short_ = shortBy > ShortByMs && shortBy * 50 > length * ShortByFiftieths;
    if (length > 0 && (short_ || Report.EndedPrematurely)) {
        Outcome.EndedEarly = true;
        Outcome.ReachedMs = std::min(reached, length);
        Outcome.DurationMs = length;
    }
}

void JudgeFailed(const TFFmpegReport& Report, TConversionOutcome& Outcome) {
    if (const std::wstring* message = FindMessage(Report, {L"Decoder (codec "})) {
        Outcome.Failure = TFailureKind::NoDecoder;
        Outcome.Codec = Between(*message, L"(codec ", L")");
        if (const TReportedStream* stream = Report.InputStream(StreamIdIn(*message)))
            Outcome.CodecKind = stream->Kind;
        return;
    }
    if (const std::wstring* message =
            FindMessage(Report, {L"Error while opening decoder for input stream #"})) {
        const TReportedStream* stream = Report.InputStream(StreamIdIn(*message));
        if (stream && stream->Kind != TStreamKind::Other) {
            Outcome.Failure = stream->Kind == TStreamKind::Video ? TFailureKind::NoPicture
                                                                 : TFailureKind::NoSound;
            Outcome.Codec = stream->Codec;
            return;
        }
    }
    // The converter opens the source before the destination: a file-system error before the
    // source was understood is about the source, after it about the destination.
    if (!Report.InputOpened) {
        if (FindMessage(Report, {L"No such file or directory"}))
            Outcome.Failure = TFailureKind::SourceMissing;
        else if (FindMessage(Report, {L"Invalid data found when processing input",
                                      L"EBML header parsing failed"}))
            Outcome.Failure = TFailureKind::NotReadable;
        else
            Outcome.Failure = TFailureKind::Other;
        return;
    }
    if (FindMessage(Report, {L"No such file or directory", L"Permission denied",
                             L"Read-only file system", L"No space left on device",
                             L"Disk quota exceeded", L"Error opening output file",
                             L"Could not open file", L"Could not write header",
                             L"Error writing trailer", L"av_interleaved_write_frame()"})) {
        Outcome.Failure = TFailureKind::CannotWrite;
        return;
    }
    Outcome.Failure = FindMessage(Report, {L"Invalid data found when processing input"})
                          ? TFailureKind::NotReadable
                          : TFailureKind::Other;
}

} // namespace

TConversionOutcome JudgeConversion(bool Cancelled, uint32_t ExitCode, const std::wstring& Output) {
    return JudgeConversion(Cancelled, ExitCode, ReadFFmpegReport(Output));
}

TConversionOutcome JudgeConversion(bool Cancelled, uint32_t ExitCode, const TFFmpegReport& report) {
    TConversionOutcome outcome;
    outcome.ExitCode = ExitCode;
    outcome.Details = JoinLines(report.LastLines);
    if (!report.Messages.empty())
        outcome.LastLine = report.Messages.back();

    if (Cancelled) {
        outcome.Failure = TFailureKind::Cancelled;
    } else if (!report.WriteError.empty()) {
        // Whatever the exit code: FFmpeg ends with 0 when the disk fills at the trailer, leaving
        // an AVI without its index.
        outcome.Failure = TFailureKind::WriteFailed;
        outcome.LastLine = report.WriteError;
        outcome.DiskFull = report.DiskFull;
    } else if (ExitCode == 0) {
        JudgeFinished(report, outcome);
    } else if (ExitCode != 1) {
        // the converter's errors end with 1; anything else ended it abnormally
        outcome.Failure = TFailureKind::Crashed;
    } else {
        JudgeFailed(report, outcome);
    }
    return outcome;
}

bool HoldsReportedSize(int64_t Bytes, int64_t SizeKB) {
    // "258kB" stands for anything from 257.5 to 258.5 times 1024 bytes.
    if (SizeKB <= 0)
        return true;
    if (SizeKB > std::numeric_limits<int64_t>::max() / 1024)
        return false;
    return Bytes >= SizeKB * 1024 - 512;
}

namespace {

// The folder of a file's path, without its trailing delimiter unless it is the root.
std::wstring FolderOf(const std::wstring& Path) {
    const size_t delimiter = Path.find_last_of(PathDelim);
    if (delimiter == std::wstring::npos)
        return {};
    const std::wstring folder = Path.substr(0, delimiter);
    if (folder.empty() || folder.back() == L':')
        return folder + PathDelim;
    return folder;
}

} // namespace

TConversionOutcome ConvertWithFFmpeg(const std::wstring& FFmpegPath, const std::wstring& Source,
                                     const std::wstring& Destination, const std::wstring& Options,
                                     TProgressProc ProgressProc) {
    std::wstring output;
    return JudgeRun(RunFFmpeg(FFmpegPath, Source, Destination, Options, output, ProgressProc),
                    Destination);
}

TConversionOutcome JudgeRun(const TFFmpegRun& Run, const std::wstring& Destination) {
    if (!Run.Started) {
        TConversionOutcome outcome;
        outcome.Failure = TFailureKind::NotStarted;
        return outcome;
    }
    TConversionOutcome outcome = JudgeConversion(Run.Cancelled, Run.ExitCode, Run.Report);
    outcome.Folder = FolderOf(Destination);
    if (!Run.Cancelled && (Run.StreamFailed || Run.Stalled)) {
        outcome.Converted = false;
        outcome.EndedEarly = false;
        outcome.Failure = Run.StreamFailed ? TFailureKind::OutputLost : TFailureKind::NotEnded;
        return outcome;
    }
    // A full disk does not always come back in words that say so (FFmpeg under Wine gives
    // "Invalid argument"): the volume's free space tells.
    uint64_t free = 0;
    if (outcome.Failure == TFailureKind::WriteFailed && !outcome.DiskFull &&
        FreeSpace(outcome.Folder, free) && free < DiskFullBelowBytes)
        outcome.DiskFull = true;
    if (!outcome.Converted)
        return outcome;
    // What the converter printed cannot vouch for a file it never wrote (a stand-in that does
    // nothing, a converter stopped from outside that still ends with 0), nor for one that lost
    // what it wrote.
    int64_t size = 0;
    uint32_t error = 0;
    TFailureKind failure = TFailureKind::None;
    if (!FileHasContent(Destination))
        failure = TFailureKind::NoOutput;
    else if (Run.Report.SizeKB && FileSize(Destination, size, error) &&
             !HoldsReportedSize(size, *Run.Report.SizeKB))
        failure = TFailureKind::ShortOutput;
    if (failure != TFailureKind::None) {
        outcome.Converted = false;
        outcome.EndedEarly = false;
        outcome.Failure = failure;
    }
    return outcome;
}

std::wstring DescribeFailure(const TConversionOutcome& Outcome, const TFailureTexts& Texts) {
    switch (Outcome.Failure) {
    case TFailureKind::None:
        return {};
    case TFailureKind::NotStarted:
        return Texts.NotStarted;
    case TFailureKind::Cancelled:
        if (!Outcome.KeptPath.empty())
            return FormatTemplate(Texts.CancelledKept, {Outcome.KeptPath});
        return Texts.Cancelled;
    case TFailureKind::NotReadable:
        return Texts.NotReadable;
    case TFailureKind::SourceMissing:
        return Texts.SourceMissing;
    case TFailureKind::NoDecoder:
        return FormatTemplate(Outcome.CodecKind == TStreamKind::Audio ? Texts.NoSoundDecoder
                                                                      : Texts.NoVideoDecoder,
                              {Outcome.Codec});
    case TFailureKind::CannotWrite:
        return Texts.CannotWrite;
    case TFailureKind::Crashed:
        return FormatTemplate(Texts.Crashed, {FormatExitCode(Outcome.ExitCode)});
    case TFailureKind::NoPicture:
        return FormatTemplate(Texts.NoPicture, {Outcome.Codec});
    case TFailureKind::NoSound:
        return FormatTemplate(Texts.NoSound, {Outcome.Codec});
    case TFailureKind::NoOutput:
        return Texts.NoOutput;
    case TFailureKind::Stopped:
        return Texts.Stopped;
    case TFailureKind::NotPublished:
        if (!Outcome.KeptPath.empty())
            return FormatTemplate(Texts.NotPublishedKept, {Outcome.LastLine, Outcome.KeptPath});
        return FormatTemplate(Texts.NotPublished, {Outcome.LastLine});
    case TFailureKind::OutputLost:
        return Texts.OutputLost;
    case TFailureKind::NotEnded:
        return Texts.NotEnded;
    case TFailureKind::WriteFailed:
        if (Outcome.DiskFull)
            return FormatTemplate(Texts.DiskFull, {Outcome.Folder});
        return FormatTemplate(Texts.WriteFailed, {Outcome.Folder, Outcome.LastLine});
    case TFailureKind::ShortOutput:
        return FormatTemplate(Texts.ShortOutput, {Outcome.Folder});
    case TFailureKind::Other:
        break;
    }
    if (Outcome.LastLine.empty())
        return FormatTemplate(Texts.OtherWithoutLine, {FormatExitCode(Outcome.ExitCode)});
    return FormatTemplate(Texts.Other, {Outcome.LastLine});
}

std::wstring DescribeEndedEarly(const std::wstring& Name, const TConversionOutcome& Outcome,
                                const std::wstring& Template) {
    return FormatTemplate(Template, {Name, FormatPlayingTime(Outcome.ReachedMs),
                                     FormatPlayingTime(Outcome.DurationMs)});
}
