#include "Batch.h"

#include "FileSystem.h"
#include "Leftovers.h"
#include "OutputNaming.h"
#include "Precheck.h"
#include "TextTemplate.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>
#include <utility>

TBatch* ProgressForm = nullptr;

namespace {

// Exact intermediate for products of two 64-bit values.
using Wide = __int128;

template <typename T> T Saturate(Wide Value) {
    return static_cast<T>(
        std::clamp<Wide>(Value, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

int64_t AddSaturated(int64_t A, int64_t B) {
    return Saturate<int64_t>(Wide{A} + B);
}

int64_t NonNegative(int64_t Bytes) {
    return std::max<int64_t>(Bytes, 0);
}

// Range of the overall bar when the batch's byte total does not fit an int. Percentages round at
// every half per cent, which falls on an even number of units when the range is a multiple of 400;
// see OverallBarUnits.
constexpr int64_t ScaledBarMax = std::numeric_limits<int>::max() / 400 * 400;

// How long the end of a batch goes on trying to delete partial files whose converters have not
// let go of them yet (the window answering), before it leaves them to later tries.
constexpr auto LeftoverSettleTime = std::chrono::seconds(2);
constexpr auto LeftoverSettlePause = std::chrono::milliseconds(50);

// Inserts Note among Notes so that their file numbers stay in ascending order.
void InsertInOrder(std::vector<TFileNote>& Notes, std::vector<int>& Numbers, int Number,
                   TFileNote Note) {
    const auto at = std::upper_bound(Numbers.begin(), Numbers.end(), Number);
    Notes.insert(Notes.begin() + (at - Numbers.begin()), std::move(Note));
    Numbers.insert(at, Number);
}

std::wstring FileCaption(const std::wstring& Template, const std::wstring& Name, int Number,
                         int Total) {
    return FormatTemplate(Template, {Name, std::to_wstring(Number), std::to_wstring(Total)});
}

} // namespace

// A reserved partial file, held until it is published, and deleted when it goes unless it was
// published or kept. The batch knows it while it lives, so that the end of the session can delete
// it before the run unwinds.
struct TBatch::TPartialFile {
    TBatch& Batch;
    TReservedOutput Reserved;
    bool Published = false;
    bool Kept = false;    // converted, but not published: the user's work, never deleted
    bool Removed = false; // already deleted by RemovePartialFilesNow
    // The list hears of it from the start, before the converter writes, to its end.
    TPartialFile(TBatch& Batch, TReservedOutput Reserved)
        : Batch(Batch), Reserved(std::move(Reserved)) {
        Batch.List.PartialReserved(this->Reserved.Partial);
        Batch.LivePartials.push_back(this);
    }
    TPartialFile(const TPartialFile&) = delete;
    TPartialFile& operator=(const TPartialFile&) = delete;
    ~TPartialFile() {
        std::erase(Batch.LivePartials, this);
        Reserved.Hold.Release(); // the hold refuses deletion, to this program too
        // One its converter still holds is deleted as soon as it can be (LeftoverFiles), never
        // waited for here.
        if (!Published && !Kept && !Removed)
            LeftoverFiles().Remove(Reserved.Partial);
        // The record is the next start's licence to delete the file: it goes once the file is
        // published, kept as the user's work, or gone; one still held stays recorded.
        if (Published || Kept || !PathExists(Reserved.Partial)) {
            try {
                Batch.List.PartialGone(Reserved.Partial);
            } catch (...) {
                // The record only keeps a name that is gone now: nothing is harmed.
            }
        }
    }
};

// A file in one of the batch's lanes. The job is declared after the partial file, so it goes
// first: the converter has ended before its partial file is let go of and deleted.
struct TBatch::TRunningFile {
    int Row;        // its row's index now; rows above it leave the list as they convert
    int FileNumber; // 1-based, in list order as the batch began
    TListRow Source;
    std::wstring Target;
    TPartialFile Partial;
    // The converter the loop waits on beside others; nullptr for a file converted in place,
    // through ConvertFile, which reports through UpdateProgress.
    std::unique_ptr<TFFmpegJob> Job;
    // A file converted in place: ConvertFile's result and outcome, once it has returned.
    bool InPlaceEnded = false;
    bool InPlaceConverted = false;
    TConversionOutcome InPlaceOutcome;

    bool Ended() const { return Job ? Job->Ended() : InPlaceEnded; }
};

TFileClaim TPublishing::TryPublish(TReservedOutput& Reserved, const std::wstring& Target,
                                   std::wstring& Final, std::wstring& SystemReason) {
    return PublishOutputFile(Reserved, Target, Final, SystemReason);
}

int64_t TPublishing::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TPublishing::Pause(int Ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
}

// One converter per logical processor, at most MaxSideBySide. A converter runs with two threads
// (FFmpegOptions; fixed, because the encoder's output depends on its thread count and every AVI
// must be the same however many run at once), but its start, its input reading and much of its
// decoding run on one, so alone it leaves part of even two processors idle, and a short file is
// mostly start. So: 1 processor, 1 file (one converter fills it); 2, 4, 8 processors, that many
// files, a little more threads than processors, which fills the gaps of starting and reading; 16
// or more, 8 files of two threads each already fill 16 processors, and each further converter
// would only add its memory and a line to the window.
int ChooseSideBySide(unsigned LogicalCores) {
    return std::clamp(static_cast<int>(std::min(LogicalCores, 64u)), 1, MaxSideBySide);
}

void TProgressDisplay::SetFileLines(const std::vector<TFileLine>& Lines) {
    if (Lines.empty())
        return;
    const TFileLine& line = Lines.front();
    SetCurFileCaption(line.Caption);
    SetCurFileBarStyle(line.Style);
    SetCurFileBarPosition(line.Position);
    SetCurFilePercentage(line.Percentage);
}

std::wstring ComposeSummaryText(TBatchSummary Summary, const std::wstring& FinishedText,
                                const std::wstring& FailuresText) {
    switch (Summary) {
    case TBatchSummary::Finished:
        return FinishedText;
    case TBatchSummary::FinishedWithFailures:
        return FinishedText + L" " + FailuresText;
    case TBatchSummary::None:
        break;
    }
    return {};
}

std::wstring ComposeBatchSummary(TBatchSummary Summary, const std::vector<TFileNote>& Failures,
                                 const std::vector<TFileNote>& EndedEarly,
                                 const TSummaryTexts& Texts, const TFailureTexts& FailureTexts) {
    std::wstring text = ComposeSummaryText(Summary, Texts.Finished, Texts.SomeFailed);
    if (text.empty())
        return text;
    if (!Failures.empty()) {
        text += L"\n";
        const size_t listed = std::min(Failures.size(), SummaryFailureLimit);
        for (size_t i = 0; i < listed; ++i) {
            text += L"\n" + FormatTemplate(Texts.FailedFile,
                                           {Failures[i].Name,
                                            DescribeFailure(Failures[i].Outcome, FailureTexts)});
        }
        if (Failures.size() > listed) {
            const std::wstring Count = std::to_wstring(Failures.size() - listed);
            text +=
                L"\n" + FormatTemplate(ResolvePlurals(Texts.More, Texts.Plural, {Count}), {Count});
        }
    }
    if (!EndedEarly.empty()) {
        text += L"\n";
        for (const TFileNote& note : EndedEarly)
            text += L"\n" + DescribeEndedEarly(note.Name, note.Outcome, Texts.EndedEarly);
    }
    return text;
}

int64_t MulDivRound(int64_t A, int64_t B, int64_t C) {
    if (C == 0)
        return 0;
    Wide numerator = Wide{A} * B;
    Wide denominator = C;
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    // Floor division first, so the remainder is never negative.
    Wide quotient = numerator / denominator;
    Wide remainder = numerator % denominator;
    if (remainder < 0) {
        quotient -= 1;
        remainder += denominator;
    }
    if (2 * remainder > denominator || (2 * remainder == denominator && quotient % 2 != 0))
        quotient += 1;
    return Saturate<int64_t>(quotient);
}

std::wstring PercentText(int Position, int Max, TPercentPattern Pattern) {
    const std::wstring Number = std::to_wstring(Max > 0 ? MulDivRound(Position, 100, Max) : 0);
    switch (Pattern) {
    case TPercentPattern::NumberSpacePercent:
        return Number + L"\u00A0%";
    case TPercentPattern::PercentNumber:
        return L"%" + Number;
    case TPercentPattern::PercentSpaceNumber:
        return L"%\u00A0" + Number;
    case TPercentPattern::NumberPercent:
        break;
    }
    return Number + L"%";
}

bool TBatch::Publish(TPartialFile& Partial, const std::wstring& Target,
                     TConversionOutcome& Outcome) {
    std::wstring published, reason;
    // A virus scanner or an indexer opens a new file the moment it is written, and may hold it
    // for seconds: tries come further and further apart, the window's messages handled between.
    const int64_t deadline = Publishing->NowMs() + PublishPatienceMs;
    int pause = PublishFirstPauseMs;
    TFileClaim claim = TFileClaim::Failed;
    for (;;) {
        claim = Publishing->TryPublish(Partial.Reserved, Target, published, reason);
        int64_t now = Publishing->NowMs();
        if (claim != TFileClaim::Busy || Cancel || now >= deadline)
            break;
        const int64_t next = std::min<int64_t>(now + pause, deadline);
        for (; !Cancel && now < next; now = Publishing->NowMs()) {
            Publishing->Pause(static_cast<int>(std::min<int64_t>(next - now, PublishPumpMs)));
            Display.ProcessMessages();
        }
        if (Cancel)
            break;
        pause = std::min(pause * 2, PublishLongestPauseMs);
    }
    if (claim == TFileClaim::Done) {
        Partial.Published = true;
        return true;
    }
    Outcome.Converted = false;
    Outcome.EndedEarly = false;
    Outcome.Failure =
        claim == TFileClaim::Busy && Cancel ? TFailureKind::Cancelled : TFailureKind::NotPublished;
    Outcome.LastLine = reason;
    // The converted work is whole and flushed: it stays under its partial name for the user.
    // Whatever stands there is never deleted, not even a file another program put there.
    Partial.Kept = true;
    if (PathExists(Partial.Reserved.Partial))
        Outcome.KeptPath = Partial.Reserved.Partial;
    return false;
}

bool TBatch::NotReserved(const std::wstring& Source, const TReservedOutput& Reserved,
                         TConversionOutcome& Outcome) {
    // Without a file of its own to write into, the converter is not started. A source whose
    // folder has gone explains a destination beside it that cannot be created.
    Outcome = {};
    Outcome.Failure = PathExists(Source) ? TFailureKind::CannotWrite : TFailureKind::SourceMissing;
    Outcome.LastLine = Reserved.SystemReason;
    Outcome.Details = Reserved.SystemReason;
    return false;
}

TBatch::TBatch(TConversionList& List, TOutputFolderChoice& OutputFolder, TProgressDisplay& Display,
               TConverter& Converter)
    : List(List), OutputFolder(OutputFolder), Display(Display), Converter(Converter) {}

TBatch::~TBatch() {
    if (ProgressForm == this)
        ProgressForm = nullptr;
}

void TBatch::Run() {
    if (Done)
        return;
    // However the loop ends, the batch is over: the progress window waits for Done to close.
    struct EndOfRun {
        TBatch& Batch;
        TBatch* Previous;
        ~EndOfRun() {
            Batch.Done = true;
            ProgressForm = Previous;
        }
    } endOfRun{*this, std::exchange(ProgressForm, this)};

    ProcessedFilesSize = 0;
    TotalSize = 0;
    for (int i = 0; i < List.RowCount(); ++i)
        TotalSize = AddSaturated(TotalSize, NonNegative(List.Row(i).FileSize));
    Display.SetOverallBarMax(OverallBarUnits(TotalSize));

    FileTotal = List.RowCount();
    FilesEnded = 0;
    RunLanes(FileTotal > 1 ? std::clamp(SideBySide, 1, MaxSideBySide) : 1);
    SettleLeftovers();
}

void TBatch::SettleLeftovers() {
    const auto until = std::chrono::steady_clock::now() + LeftoverSettleTime;
    while (LeftoverFiles().Retry() > 0 && std::chrono::steady_clock::now() < until) {
        Display.ProcessMessages();
        std::this_thread::sleep_for(LeftoverSettlePause);
    }
}

bool TBatch::RecordOutcome(int Row, int FileNumber, const std::wstring& Name,
                           TConversionOutcome Outcome) {
    ++FilesEnded;
    if (Outcome.Converted) {
        if (Outcome.EndedEarly)
            InsertInOrder(EndedEarlyFiles, EndedEarlyNumbers, FileNumber, {Name, Outcome});
        List.DeleteRow(Row);
        List.UpdateControlsOnListChange();
        return true;
    }
    List.SetRowImage(Row, iiFailed);
    List.SetRowOutcome(Row, Outcome);
    InsertInOrder(FailedFiles, FailedNumbers, FileNumber, {Name, std::move(Outcome)});
    return false;
}

void TBatch::RunLanes(int Lanes) {
    OneLane = Lanes == 1;
    // The files running, in the order they started; their lines show in that order.
    std::vector<std::unique_ptr<TRunningFile>> running;
    int nextRow = 0;
    int fileNumber = 1;
    TReportTimer timer;
    bool changed = true; // files started or ended since the last report: show it at once
    for (;;) {
        // A file converted in place is converted before the next one starts, so no file waits
        // in a lane without converting.
        const auto waitsInPlace = [&] {
            return std::ranges::any_of(running, [](const auto& file) { return !file->Job; });
        };
        while (!Cancel && static_cast<int>(running.size()) < Lanes && nextRow < List.RowCount() &&
               !waitsInPlace()) {
            // A file that fails before its converter runs keeps its row, marked, like any other
            // failed row: the next row is the next file either way.
            StartFile(nextRow++, fileNumber++, Lanes, running);
            changed = true;
        }
        if (running.empty())
            break;

        // A file converted in place holds the loop until it ends, reporting as it goes.
        bool inPlace = false;
        std::vector<TFFmpegJob*> jobs;
        for (const auto& file : running) {
            if (file->Job)
                jobs.push_back(file->Job.get());
            else if (!file->InPlaceEnded && !inPlace) {
                ConvertInPlace(*file);
                inPlace = true;
            }
        }
        bool came = false;
        TReportTimer::TWait wait{0, false};
        if (!inPlace) {
            wait = timer.NextWait(true);
            came = StepJobs(jobs, wait.TimeoutMs, wait.WakeOnInput);
        }

        // Ended files end in the order they started.
        for (size_t i = 0; i < running.size();) {
            if (!running[i]->Ended()) {
                ++i;
                continue;
            }
            EndFile(*running[i], running, nextRow);
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
            changed = true;
        }
        if (jobs.empty() || (!inPlace && !timer.ReportNow(came || changed, wait)))
            continue;
        changed = false;
        ReportLanes(running);
        if (Cancel) {
            // Every converter is told to stop before any is waited for, so they end together.
            for (const auto& file : running) {
                if (file->Job)
                    file->Job->Cancel();
                else
                    ConvertInPlace(*file); // not begun: ends cancelled
            }
            for (const auto& file : running)
                EndFile(*file, running, nextRow);
            running.clear();
            break;
        }
    }
}

void TBatch::StartFile(int Row, int FileNumber, int Lanes,
                       std::vector<std::unique_ptr<TRunningFile>>& Running) {
    const TListRow row = List.Row(Row);
    const std::wstring source = row.Location + row.Name;
    // Reservations keep names apart: a file starting beside another of the same name into the
    // same folder finds that one's names taken and reserves the next "(n)" name.
    const std::wstring target =
        GetTargetFileName(row.Location, row.Name, OutputFolder.SameFolderSelected(),
                          CleanFolderText(OutputFolder.OutputFolderText()));
    // One lane shows its file on the current file's line from the start, also when it fails.
    if (Lanes == 1)
        Display.SetCurFileCaption(FileCaption(FileCaptionText, row.Name, FileNumber, FileTotal));
    TReservedOutput reserved = ReserveOutputFile(target);
    TConversionOutcome outcome;
    if (!reserved.Reserved) {
        NotReserved(source, reserved, outcome);
    } else {
        const std::wstring partial = reserved.Partial;
        // One lane converts in place; a converter that makes no jobs converts in place too.
        auto file = std::unique_ptr<TRunningFile>(
            new TRunningFile{Row, FileNumber, row, target, TPartialFile{*this, std::move(reserved)},
                             Lanes > 1 ? Converter.CreateJob(source, partial) : nullptr, false,
                             false, TConversionOutcome{}});
        if (!file->Job || file->Job->Start()) {
            Running.push_back(std::move(file));
            return;
        }
        outcome.Failure = TFailureKind::NotStarted;
    }
    ProcessedFilesSize = AddSaturated(ProcessedFilesSize, NonNegative(row.FileSize));
    RecordOutcome(Row, FileNumber, row.Name, std::move(outcome));
}

void TBatch::ConvertInPlace(TRunningFile& File) {
    File.InPlaceEnded = true;
    if (Cancel) {
        File.InPlaceOutcome.Failure = TFailureKind::Cancelled;
        return;
    }
    CurFileSize = NonNegative(File.Source.FileSize);
    if (!OneLane) // beside other lanes, its caption was not shown when it started
        Display.SetCurFileCaption(
            FileCaption(FileCaptionText, File.Source.Name, File.FileNumber, FileTotal));
    File.InPlaceConverted =
        Converter.ConvertFile(File.Source.Location + File.Source.Name,
                              File.Partial.Reserved.Partial, ::UpdateProgress, File.InPlaceOutcome);
}

void TBatch::EndFile(TRunningFile& File, std::vector<std::unique_ptr<TRunningFile>>& Running,
                     int& NextRow) {
    TConversionOutcome outcome;
    bool converted = false;
    if (File.Job) {
        std::wstring output;
        // The window answers while a converter that was ended takes its time to go.
        const TFFmpegRun run = File.Job->Finish(output, [this] {
            Display.ProcessMessages();
            return Cancel;
        });
        outcome = JudgeRun(run, File.Job->Destination());
        converted = outcome.Converted;
    } else {
        outcome = std::move(File.InPlaceOutcome);
        converted = File.InPlaceConverted;
    }
    if (converted)
        Publish(File.Partial, File.Target, outcome);
    ProcessedFilesSize = AddSaturated(ProcessedFilesSize, NonNegative(File.Source.FileSize));
    if (!RecordOutcome(File.Row, File.FileNumber, File.Source.Name, std::move(outcome)))
        return;
    // Its row left the list: every row below it moved up by one.
    for (const auto& other : Running) {
        if (other->Row > File.Row)
            --other->Row;
    }
    if (NextRow > File.Row)
        --NextRow;
}

void TBatch::ReportLanes(const std::vector<std::unique_ptr<TRunningFile>>& Running) {
    std::vector<TFileLine> lines;
    int64_t done = ProcessedFilesSize;
    for (const auto& file : Running) {
        if (!file->Job)
            continue; // reported through UpdateProgress
        TFileLine line;
        line.Caption = FileCaption(FileCaptionText, file->Source.Name, file->FileNumber, FileTotal);
        const int64_t position = std::max(file->Job->Position(), 0);
        const int64_t duration = std::max(file->Job->Duration(), 0);
        if (duration > 0) {
            line.Position =
                std::clamp<int>(Saturate<int>(MulDivRound(position, 100, duration)), 0, 100);
            line.Percentage = PercentText(line.Position, 100, PercentPattern);
            done = AddSaturated(
                done, std::min(MulDivRound(position, NonNegative(file->Source.FileSize), duration),
                               NonNegative(file->Source.FileSize)));
        } else {
            // No duration known yet: nothing to measure the file against.
            line.Style = TBarStyle::Marquee;
        }
        lines.push_back(std::move(line));
    }
    if (!lines.empty())
        Display.SetFileLines(lines);
    LeftoverFiles().RetryNowAndThen();
    Display.SetOverallBarPosition(OverallBarUnits(done));
    Display.SetOverallPercentage(
        PercentText(Display.OverallBarPosition(), Display.OverallBarMax(), PercentPattern));
    Display.ProcessMessages();
}

std::wstring TBatch::SummaryText(const TSummaryTexts& Texts,
                                 const TFailureTexts& FailureTexts) const {
    return ComposeBatchSummary(Summary(), FailedFiles, EndedEarlyFiles, Texts, FailureTexts);
}

TBatchSummary TBatch::Summary() const {
    if (Cancel)
        return TBatchSummary::None;
    return List.RowCount() == 0 ? TBatchSummary::Finished : TBatchSummary::FinishedWithFailures;
}

void TBatch::ReportProgress(int64_t Position, int64_t Size, bool& Stop) {
    Position = NonNegative(Position);
    if (Size > 0) {
        Display.SetCurFileBarStyle(TBarStyle::Normal);
        Display.SetCurFileBarPosition(Saturate<int>(MulDivRound(Position, 100, Size)));
        Display.SetOverallBarPosition(OverallBarUnits(
            AddSaturated(MulDivRound(Position, CurFileSize, Size), ProcessedFilesSize)));
        Display.SetCurFilePercentage(
            PercentText(Display.CurFileBarPosition(), Display.CurFileBarMax(), PercentPattern));
    } else {
        // No duration known yet: nothing to measure the current file against.
        Display.SetCurFileBarStyle(TBarStyle::Marquee);
        Display.SetOverallBarPosition(OverallBarUnits(ProcessedFilesSize));
        Display.SetCurFilePercentage(L"");
    }
    // From the read-back positions, so a position past the end never shows more than 100%.
    Display.SetOverallPercentage(
        PercentText(Display.OverallBarPosition(), Display.OverallBarMax(), PercentPattern));
    LeftoverFiles().RetryNowAndThen();
    Display.ProcessMessages();
    Stop = Cancel;
}

int TBatch::OverallBarUnits(int64_t Bytes) const {
    if (TotalSize <= std::numeric_limits<int>::max())
        return Saturate<int>(Bytes);
    // Scaled down to ScaledBarMax for the whole batch. Each byte count maps to twice its whole
    // number of half-units, plus one when a fraction was cut off: a count lands exactly on a
    // rounding boundary of the percentage only when the exact share does, and otherwise on the
    // same side of it, so the label reads as exact arithmetic would give it.
    const Wide scaled = Wide{NonNegative(Bytes)} * (ScaledBarMax / 2);
    const Wide whole = scaled / TotalSize;
    const bool cut = scaled % TotalSize != 0;
    return Saturate<int>(2 * whole + (cut ? 1 : 0));
}

int TBatch::RemovePartialFilesNow() {
    int Left = 0;
    for (TPartialFile* Partial : LivePartials) {
        if (Partial->Published || Partial->Kept || Partial->Removed)
            continue;
        // Once deleted, never tried again: the name may become another program's. One still held
        // is left to the run's own cleanup, should the run get that far.
        Partial->Reserved.Hold.Release(); // the hold refuses deletion, to this program too
        const std::wstring& Path = Partial->Reserved.Partial;
        if (RemoveFile(Path) || !PathExists(Path))
            Partial->Removed = true;
        else
            ++Left;
    }
    return Left;
}

void UpdateProgress(int64_t Position, int64_t Size, bool& Cancel) {
    if (ProgressForm)
        ProgressForm->ReportProgress(Position, Size, Cancel);
}
