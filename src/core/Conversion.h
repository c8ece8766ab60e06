// The verdict on one conversion: whether the AVI holds what the source has, and if not, why, in
// terms the window turns into words. A zero exit code alone does not make a conversion done.
#pragma once

#include "EnglishTexts.h"
#include "FFmpeg.h"
#include "FFmpegReport.h"
#include "FFmpegRun.h"

#include <cstdint>
#include <string>

enum class TFailureKind {
    None,
    NotStarted,    // the converter could not be started
    Cancelled,     // the user stopped it
    NotReadable,   // not a WebM file, or damaged beyond reading
    SourceMissing, // the source is no longer there
    NoDecoder,     // the converter has no decoder for a stream (Codec, CodecKind)
    CannotWrite,   // the AVI file could not be created or written
    Crashed,       // the converter ended abnormally (ExitCode)
    NoPicture,     // the source has video, the AVI got no frame of it (Codec)
    NoSound,       // the source has sound, the AVI got none of it (Codec)
    NoOutput,      // the converter ended as if done, but the AVI file is missing or empty
    Stopped,       // the converter ended with 0 but without its closing totals: ended from outside
    NotPublished,  // converted, but the finished file could not be given its name (LastLine: why)
    WriteFailed,   // the converter reported an error writing or closing the AVI file, whatever its
                   // exit code (LastLine: its words; DiskFull when the disk is full)
    ShortOutput,   // the AVI file is shorter than the converter reported writing
    Other,         // anything else: the converter's own words (LastLine)
    OutputLost,    // its messages could not be read (not their end), so it was ended
    NotEnded,      // it closed its messages but did not end by itself, so it was ended
};

struct TConversionOutcome {
    bool Converted = false; // the AVI is kept and the row leaves the list
    TFailureKind Failure = TFailureKind::None;
    std::wstring Codec;                         // for NoDecoder, NoPicture and NoSound
    TStreamKind CodecKind = TStreamKind::Other; // for NoDecoder: video or sound
    uint32_t ExitCode = 0;
    std::wstring LastLine; // the converter's last meaningful message
    // The last lines (about DetailLineCount) of the converter's output, status lines one by one,
    // joined by "\r\n" as the window's edit box takes them.
    std::wstring Details;
    // Converted, but the source stopped short of its stated duration: how far it went of how
    // long it should have been (both measured from the source's start).
    bool EndedEarly = false;
    int64_t ReachedMs = 0;
    int64_t DurationMs = 0;
    bool DiskFull = false; // for WriteFailed: the converter said there is no room left
    std::wstring Folder;   // the folder the AVI file was written into, as JudgeRun saw it
    std::wstring KeptPath; // converted, not published: the partial file kept for the user
};

inline constexpr size_t DetailLineCount = ReportedLineCount;

// Runs the converter (as ExecuteFFmpeg does, same command line, same callback contract) and judges
// what it did; a conversion judged done whose AVI file is missing or empty fails as NoOutput.
TConversionOutcome ConvertWithFFmpeg(const std::wstring& FFmpegPath, const std::wstring& Source,
                                     const std::wstring& Destination, const std::wstring& Options,
                                     TProgressProc ProgressProc);

// ConvertWithFFmpeg's verdict on a run that has ended, whether it ran alone or beside others:
// JudgeConversion, then the file itself: missing or empty fails as NoOutput, shorter than the
// converter's last reported size (its rounding to whole kB allowed) as ShortOutput. A write
// error on a volume left with almost no free space is told as a full disk. Unless cancelled, a
// run whose stream failed is OutputLost and one that stalled is NotEnded, whatever it printed: it
// was ended before it could finish.
TConversionOutcome JudgeRun(const TFFmpegRun& Run, const std::wstring& Destination);

// Whether a file of Bytes holds at least what a status line's "size=" of SizeKB reported; the
// converter rounds to whole units of 1024 bytes.
bool HoldsReportedSize(int64_t Bytes, int64_t SizeKB);

// The judgement alone, from a started run's facts and the converter's kept output:
// - cancelled: Cancelled;
// - the converter reported an error writing or closing the output (or a full disk): WriteFailed,
//   whatever the exit code (FFmpeg ends with 0 when the trailer cannot be written);
// - exit code 0: converted, unless the converter opened the source but never printed its closing
//   totals (Stopped: ended from outside, which Wine reports as 0), or the source has video and
//   no frame was written (NoPicture), or it has sound and none was written (NoSound); EndedEarly
//   when the source has a duration and the conversion stopped more than 1 s and more than 2 %
//   short of it, or the converter said the file ended prematurely (live files, without a
//   duration, are never short);
// - exit code other than 0 and 1: Crashed;
// - exit code 1: from the converter's messages (SourceMissing, NoDecoder, NoPicture/NoSound for a
//   decoder that cannot open its stream, NotReadable, CannotWrite), otherwise Other.
TConversionOutcome JudgeConversion(bool Cancelled, uint32_t ExitCode, const std::wstring& Output);
// The same, from what the converter reported as the runner read it (all of its output).
TConversionOutcome JudgeConversion(bool Cancelled, uint32_t ExitCode, const TFFmpegReport& Report);

// The words of each reason; the window fills them from its string table, and DefaultFailureTexts
// holds the table's English ones.
// Placeholders: %1 codec for the decoder, picture and sound texts; %1 exit code for Crashed and
// OtherWithoutLine; %1 the converter's line for Other; %1 the system's reason for NotPublished.
// %1 the folder for WriteFailed (%2 the converter's words), DiskFull and ShortOutput.
// NotPublishedKept: %1 the system's reason, %2 the kept partial file's path; CancelledKept: %1
// that path.
struct TFailureTexts {
    std::wstring NotStarted;
    std::wstring Cancelled;
    std::wstring NotReadable;
    std::wstring SourceMissing;
    std::wstring NoVideoDecoder;
    std::wstring NoSoundDecoder;
    std::wstring CannotWrite;
    std::wstring Crashed;
    std::wstring NoPicture;
    std::wstring NoSound;
    std::wstring Other;
    std::wstring OtherWithoutLine;
    std::wstring NoOutput;
    std::wstring Stopped;
    std::wstring NotPublished;
    std::wstring OutputLost;
    std::wstring NotEnded;
    std::wstring WriteFailed;
    std::wstring DiskFull;
    std::wstring ShortOutput;
    std::wstring NotPublishedKept;
    std::wstring CancelledKept;
};

inline const TFailureTexts DefaultFailureTexts{
    .NotStarted = English_IDS_FAILNOTSTARTED,
    .Cancelled = English_IDS_FAILCANCELLED,
    .NotReadable = English_IDS_FAILNOTREADABLE,
    .SourceMissing = English_IDS_FAILSOURCEMISSING,
    .NoVideoDecoder = English_IDS_FAILNOVIDEODECODER,
    .NoSoundDecoder = English_IDS_FAILNOSOUNDDECODER,
    .CannotWrite = English_IDS_FAILCANNOTWRITE,
    .Crashed = English_IDS_FAILCRASHED,
    .NoPicture = English_IDS_FAILNOPICTURE,
    .NoSound = English_IDS_FAILNOSOUND,
    .Other = English_IDS_FAILOTHER,
    .OtherWithoutLine = English_IDS_FAILOTHERWITHOUTLINE,
    .NoOutput = English_IDS_FAILNOOUTPUT,
    .Stopped = English_IDS_FAILSTOPPED,
    .NotPublished = English_IDS_FAILNOTPUBLISHED,
    .OutputLost = English_IDS_FAILOUTPUTLOST,
    .NotEnded = English_IDS_FAILNOTENDED,
    .WriteFailed = English_IDS_FAILWRITEFAILED,
    .DiskFull = English_IDS_FAILDISKFULL,
    .ShortOutput = English_IDS_FAILSHORTOUTPUT,
    .NotPublishedKept = English_IDS_FAILNOTPUBLISHEDKEPT,
    .CancelledKept = English_IDS_FAILCANCELLEDKEPT,
};

// The reason for a failed conversion, from Texts; empty when nothing failed.
std::wstring DescribeFailure(const TConversionOutcome& Outcome, const TFailureTexts& Texts);

// The note for a source that ended early, from a template with %1 the file's name, %2 how far
// the conversion went and %3 the source's duration ("m:ss", or "h:mm:ss" from one hour on).
std::wstring DescribeEndedEarly(const std::wstring& Name, const TConversionOutcome& Outcome,
                                const std::wstring& Template);

inline const std::wstring DefaultEndedEarlyText = English_IDS_SUMMARYENDEDEARLY;
