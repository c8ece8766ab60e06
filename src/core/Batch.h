// The batch: converts the listed files in turn, keeps the list and the progress display up to
// date, and decides the closing summary. The main window and the progress window plug in through
// the small interfaces below.
#pragma once

#include "Conversion.h"
#include "FFmpeg.h"
#include "FFmpegRun.h"
#include "ImageIndex.h"
#include "Language.h"
#include "OutputNaming.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TListRow {
    std::wstring Name;     // file name with extension
    std::wstring Location; // its folder, with a trailing path delimiter
    int64_t FileSize = 0;  // bytes, read when the row was added
};

// The conversion list (the main window's).
struct TConversionList {
    virtual ~TConversionList() = default;
    virtual int RowCount() const = 0;
    virtual TListRow Row(int Index) const = 0;
    virtual void DeleteRow(int Index) = 0;
    virtual void SetRowImage(int Index, int Image) = 0;
    // Why the row's conversion failed (called right after it is marked iiFailed); the
    // window keeps it for the row's tooltip and its Details box.
    virtual void SetRowOutcome(int Index, const TConversionOutcome& Outcome) = 0;
    // The owner's refresh after the number of rows has changed.
    virtual void UpdateControlsOnListChange() = 0;
    // A partial file the batch has just created, before any converter writes into it, so the
    // owner can record it as its own; PartialGone once it is published or deleted.
    virtual void PartialReserved(const std::wstring& /*Path*/) {}
    virtual void PartialGone(const std::wstring& /*Path*/) {}
};

// The output-folder choice, read afresh for every file.
struct TOutputFolderChoice {
    virtual ~TOutputFolderChoice() = default;
    virtual bool SameFolderSelected() const = 0;
    // As typed; the batch reads it as the check before it did (CleanFolderText).
    virtual std::wstring OutputFolderText() const = 0;
};

enum class TBarStyle { Normal, Marquee };

// What one line of a running file shows: "name (n of N):", its bar (0 to 100) and percentage.
struct TFileLine {
    std::wstring Caption;
    TBarStyle Style = TBarStyle::Normal;
    int Position = 0;
    std::wstring Percentage;

    bool operator==(const TFileLine&) const = default;
};

// The progress window's controls. The bars behave like the platform's progress bars: a position
// outside the range reads back as the nearer end of it. The current bar's range is 0 to 100; the
// batch sets the overall bar's.
struct TProgressDisplay {
    virtual ~TProgressDisplay() = default;
    virtual void SetCurFileCaption(const std::wstring& Text) = 0;
    virtual void SetCurFileBarStyle(TBarStyle Style) = 0;
    virtual void SetCurFileBarPosition(int Position) = 0;
    virtual int CurFileBarPosition() const = 0;
    virtual int CurFileBarMax() const = 0;
    virtual void SetOverallBarMax(int Max) = 0;
    virtual void SetOverallBarPosition(int Position) = 0;
    virtual int OverallBarPosition() const = 0;
    virtual int OverallBarMax() const = 0;
    virtual void SetCurFilePercentage(const std::wstring& Text) = 0;
    virtual void SetOverallPercentage(const std::wstring& Text) = 0;
    // Lets the user interface handle what is pending: painting, the Cancel button, the timer.
    virtual void ProcessMessages() = 0;
    // One line per file converting side by side (at least one), in the order they started. A
    // display that has only the current file's line shows the first one there.
    virtual void SetFileLines(const std::vector<TFileLine>& Lines);
};

// Converts one file (the main window's ConvertFile): fills Outcome and returns
// Outcome.Converted, false when it failed or was cancelled.
struct TConverter {
    virtual ~TConverter() = default;
    virtual bool ConvertFile(const std::wstring& Source, const std::wstring& Destination,
                             TProgressProc ProgressProc, TConversionOutcome& Outcome) = 0;
    // The same conversion as a job the batch drives beside others (not started yet); nullptr
    // from a converter that converts only one file at a time, through ConvertFile.
    virtual std::unique_ptr<TFFmpegJob> CreateJob(const std::wstring& /*Source*/,
                                                  const std::wstring& /*Destination*/) {
        return nullptr;
    }
};

// How the batch publishes a converted file, and the clock it waits for a busy one by; replaceable
// in tests, since a file held by another program cannot be made busy under Wine, and a minute's
// patience should not take a minute there.
struct TPublishing {
    virtual ~TPublishing() = default;
    // One try: PublishOutputFile.
    virtual TFileClaim TryPublish(TReservedOutput& Reserved, const std::wstring& Target,
                                  std::wstring& Final, std::wstring& SystemReason);
    // A steady clock, in ms.
    virtual int64_t NowMs();
    // A short pause (the batch never asks for more than PublishPumpMs at a time).
    virtual void Pause(int Ms);
};

// How long a converted file that another program holds (a virus scanner, an indexer) is waited
// for before it is given up on and kept under its partial name; the first pause between tries,
// which doubles up to the longest; and the longest stretch without handling the window's messages.
inline constexpr int64_t PublishPatienceMs = 60'000;
inline constexpr int PublishFirstPauseMs = 50;
inline constexpr int PublishLongestPauseMs = 2'000;
inline constexpr int PublishPumpMs = 50;

// The most files a batch converts side by side: beyond it each converter adds little on any
// machine, the progress window would outgrow a screen, and one wait covers them all.
inline constexpr int MaxSideBySide = 8;

// How many files a batch converts at once on a machine with LogicalCores logical processors
// (see Batch.cpp for why).
int ChooseSideBySide(unsigned LogicalCores);

// A file the batch has something to say about: its name (with extension) and how it went.
struct TFileNote {
    std::wstring Name;
    TConversionOutcome Outcome;
};

// What to tell the user once the batch is over.
enum class TBatchSummary { None, Finished, FinishedWithFailures };

// The message for Summary: empty for None, FinishedText alone, or both joined by one blank.
std::wstring ComposeSummaryText(TBatchSummary Summary, const std::wstring& FinishedText,
                                const std::wstring& FailuresText);

// The words of the closing summary; the window fills them from its string table.
// FailedFile: %1 the file's name, %2 the reason (DescribeFailure). More: %1 how many failed files
// are not listed. EndedEarly: as DescribeEndedEarly takes it.
struct TSummaryTexts {
    std::wstring Finished;
    std::wstring SomeFailed;
    std::wstring FailedFile;
    std::wstring More;
    std::wstring EndedEarly;
    // Chooses More's form for its number.
    TPluralRule Plural = TPluralRule::OneOther;
};

inline const TSummaryTexts DefaultSummaryTexts{
    .Finished = English_IDS_CONVERSIONFINISHED,
    .SomeFailed = English_IDS_SOMENOTCONVERTED,
    .FailedFile = English_IDS_SUMMARYFAILEDFILE,
    .More = English_IDS_SUMMARYMORE,
    .EndedEarly = DefaultEndedEarlyText,
};

// Failed files listed by name in the summary; the rest are counted.
inline constexpr size_t SummaryFailureLimit = 10;

// The whole summary message: empty for None (after a cancel). Otherwise the sentence(s) of
// ComposeSummaryText; then, after a blank line, one line per failed file with its reason (at most
// SummaryFailureLimit, then "and N more"); then, after a blank line, one note per file that ended
// early. Lines are separated by "\n".
std::wstring ComposeBatchSummary(TBatchSummary Summary, const std::vector<TFileNote>& Failures,
                                 const std::vector<TFileNote>& EndedEarly,
                                 const TSummaryTexts& Texts, const TFailureTexts& FailureTexts);

// A * B / C rounded to the nearest integer, halves to the even neighbour, computed exactly
// (62.5 -> 62, 63.5 -> 64). 0 when C is 0; saturates at the 64-bit limits.
int64_t MulDivRound(int64_t A, int64_t B, int64_t C);

// Position as a share of Max, e.g. "62%"; 0 for an empty range. The space, where the pattern has
// one, does not break: the number and its sign stay together.
std::wstring PercentText(int Position, int Max,
                         TPercentPattern Pattern = TPercentPattern::NumberPercent);

class TBatch {
public:
    TBatch(TConversionList& List, TOutputFolderChoice& OutputFolder, TProgressDisplay& Display,
           TConverter& Converter);
    virtual ~TBatch();
    TBatch(const TBatch&) = delete;
    TBatch& operator=(const TBatch&) = delete;

    // Converts every row once; returns at once when the batch has already run. Rows that convert
    // leave the list, rows that fail get iiFailed and their outcome. Done is set however the
    // run ends, also when an exception passes through (the converter has been stopped by then).
    // The converter writes into a partial file the batch created exclusively beside the AVI's
    // name (PartialFileName); only a conversion judged done gets its final name, by a rename that
    // replaces nothing (the next "(N)" name when another program took it meanwhile). A failed or
    // cancelled conversion, or one an exception interrupts, leaves no file behind: its partial file
    // is deleted, and no other file is ever deleted, replaced or truncated. A partial file that a
    // converter which would not die still holds is deleted once it lets go (LeftoverFiles): the
    // end of the batch tries for a moment, later batches and the program's end try again. A
    // converted file that cannot be given its name (another program holds it past
    // PublishPatienceMs, or Cancel comes while it waits) is kept under its partial name, and its
    // row's outcome says where.
    void Run();

    bool IsDone() const { return Done; }
    // How many files the batch set out to convert (0 before it started), and how many of them
    // have ended, converted or not.
    int FileCount() const { return FileTotal; }
    int FilesEndedCount() const { return FilesEnded; }
    // For the end of the session, once the converters have been ended from outside: deletes the
    // partial files of the conversions under way now, before the run unwinds; the run then leaves
    // them alone. Returns how many are still there (a converter still holding one).
    int RemovePartialFilesNow();
    // Meaningful once done: None after a cancel, otherwise by whether rows are left.
    TBatchSummary Summary() const;
    // The files that failed and the files that were converted but ended early, in order.
    const std::vector<TFileNote>& Failures() const { return FailedFiles; }
    const std::vector<TFileNote>& EndedEarly() const { return EndedEarlyFiles; }
    // ComposeBatchSummary for this batch.
    std::wstring SummaryText(const TSummaryTexts& Texts = DefaultSummaryTexts,
                             const TFailureTexts& FailureTexts = DefaultFailureTexts) const;

    // Shows one progress report of the current file and hands the Cancel field back in Stop.
    void ReportProgress(int64_t Position, int64_t Size, bool& Stop);

    // The user asked to stop; the loop ends before the next file and the running ones are
    // stopped at the next progress report.
    bool Cancel = false;
    // How many files may convert at once (1 to MaxSideBySide), each in a lane of its own. With
    // 1, one after another through ConvertFile; with more, through the converter's jobs
    // (CreateJob; one that makes none converts its files one at a time all the same). Files
    // start in list order, never more at once than are left.
    int SideBySide = 1;
    // Publishing's tries and clock (tests replace them).
    std::unique_ptr<TPublishing> Publishing = std::make_unique<TPublishing>();
    // A file's caption over its bar: %1 its name, %2 its number in the batch, %3 how many.
    std::wstring FileCaptionText = English_IDS_FILECAPTION;
    // How the percentages are written (the window gives the user's regional format).
    TPercentPattern PercentPattern = TPercentPattern::NumberPercent;

protected:
    int64_t ProcessedFilesSize = 0; // bytes of the files already handled, converted or failed
    int64_t CurFileSize = 0;        // bytes of the file being converted
    bool Done = false;

private:
    struct TPartialFile;
    struct TRunningFile;
    // At the batch's end: tries for a moment more to delete partial files that converters still
    // held, letting the window answer.
    void SettleLeftovers();
    // The one loop: starts files in list order into free lanes (1 to MaxSideBySide), ends each
    // file as its converter ends, in the order they started, and stops them all on Cancel. One
    // lane converts in place, through ConvertFile, which reports through UpdateProgress; with
    // more, the lanes' converters are jobs waited on all at once, reported at least every
    // QuietReportIntervalMs.
    void RunLanes(int Lanes);
    // Starts the file of Row into Running; one whose partial file cannot be reserved or whose
    // converter cannot start fails at once. Beside other lanes it gets a job (CreateJob); alone,
    // or from a converter that makes none, it is converted in place.
    void StartFile(int Row, int FileNumber, int Lanes,
                   std::vector<std::unique_ptr<TRunningFile>>& Running);
    // Converts a file without a job through ConvertFile, the loop waiting; after Cancel it ends
    // cancelled without starting.
    void ConvertInPlace(TRunningFile& File);
    // A running file whose converter has ended: judged, published, its row updated.
    void EndFile(TRunningFile& File, std::vector<std::unique_ptr<TRunningFile>>& Running,
                 int& NextRow);
    // The row's outcome in the list and the notes. Returns whether the row left the list.
    bool RecordOutcome(int Row, int FileNumber, const std::wstring& Name,
                       TConversionOutcome Outcome);
    // One line per lane with a job (SetFileLines), the overall bar and its percentage.
    void ReportLanes(const std::vector<std::unique_ptr<TRunningFile>>& Running);
    // Gives a converted partial file its final name, waiting out another program that holds it
    // (up to PublishPatienceMs, the window answering, Cancel acting at once); on failure
    // Outcome says why, and a partial file still there is kept and named in Outcome.
    bool Publish(TPartialFile& Partial, const std::wstring& Target, TConversionOutcome& Outcome);
    // The outcome for a file whose partial file could not be created.
    static bool NotReserved(const std::wstring& Source, const TReservedOutput& Reserved,
                            TConversionOutcome& Outcome);
    // Bytes in the overall bar's units: the bar's range must fit an int.
    int OverallBarUnits(int64_t Bytes) const;

    TConversionList& List;
    TOutputFolderChoice& OutputFolder;
    TProgressDisplay& Display;
    TConverter& Converter;
    int64_t TotalSize = 0;
    std::vector<TFileNote> FailedFiles;
    std::vector<TFileNote> EndedEarlyFiles;
    // The file numbers of the notes above: files that end out of order are listed in order.
    std::vector<int> FailedNumbers;
    std::vector<int> EndedEarlyNumbers;
    int FileTotal = 0;
    int FilesEnded = 0;
    bool OneLane = true; // the run has a single lane
    // The partial files of the conversions under way, not yet published or deleted.
    std::vector<TPartialFile*> LivePartials;
};

// The batch that UpdateProgress reports to. A progress callback is a plain function, so it can
// reach the batch only through this one global reference (the progress window's, which derives
// from TBatch). Run points it at its own batch while it runs and restores it afterwards; a window
// may also point it at itself for its whole life.
extern TBatch* ProgressForm;

// The TProgressProc every conversion of the batch reports to; forwards to ProgressForm, and does
// nothing when no batch is there.
void UpdateProgress(int64_t Position, int64_t Size, bool& Cancel);
