#include "Batch.h"

#include "FileSystem.h"
#include "OutputNaming.h"
#include "Precheck.h"
#include "TextTemplate.h"

#include <algorithm>
#include <limits>
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

} // namespace

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

std::wstring PercentText(int Position, int Max) {
    if (Max <= 0)
        return L"0%";
    return std::to_wstring(MulDivRound(Position, 100, Max)) + L"%";
}

bool TBatch::ConvertAndPublish(const std::wstring& Source, const std::wstring& Target,
                               const TReservedOutput& Reserved, TConversionOutcome& Outcome) {
    // The partial file is this run's own: however the conversion ends short of its final name,
    // failed, cancelled or interrupted by an exception, it goes, and nothing else does.
    struct RemoveUnlessPublished {
        const std::wstring& Partial;
        bool Published = false;
        ~RemoveUnlessPublished() {
            if (!Published)
                RemoveFile(Partial);
        }
    } partial{Reserved.Partial};

    if (!Converter.ConvertFile(Source, Reserved.Partial, ::UpdateProgress, Outcome))
        return false;
    std::wstring published, reason;
    partial.Published = PublishOutputFile(Reserved, Target, published, reason) == TFileClaim::Done;
    if (!partial.Published) {
        Outcome.Converted = false;
        Outcome.EndedEarly = false;
        Outcome.Failure = TFailureKind::NotPublished;
        Outcome.LastLine = reason;
    }
    return partial.Published;
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

    int rowIndex = 0;
    int fileNumber = 1;
    const int fileTotal = List.RowCount();
    while (rowIndex < List.RowCount() && !Cancel) {
        const TListRow row = List.Row(rowIndex);
        const std::wstring source = row.Location + row.Name;
        const std::wstring target =
            GetTargetFileName(row.Location, row.Name, OutputFolder.SameFolderSelected(),
                              CleanFolderText(OutputFolder.OutputFolderText()));
        CurFileSize = NonNegative(row.FileSize);
        Display.SetCurFileCaption(row.Name + L" (" + std::to_wstring(fileNumber) + L" of " +
                                  std::to_wstring(fileTotal) + L"):");
        const TReservedOutput reserved = ReserveOutputFile(target);

        TConversionOutcome outcome;
        const bool converted = reserved.Reserved
                                   ? ConvertAndPublish(source, target, reserved, outcome)
                                   : NotReserved(source, reserved, outcome);
        if (converted) {
            if (outcome.EndedEarly)
                EndedEarlyFiles.push_back({row.Name, outcome});
            // The next row moves up into this index.
            List.DeleteRow(rowIndex);
            List.UpdateControlsOnListChange();
        } else {
            List.SetRowImage(rowIndex, iiFailed);
            List.SetRowOutcome(rowIndex, outcome);
            FailedFiles.push_back({row.Name, std::move(outcome)});
            ++rowIndex;
        }
        ProcessedFilesSize = AddSaturated(ProcessedFilesSize, CurFileSize);
        ++fileNumber;
    }
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
            PercentText(Display.CurFileBarPosition(), Display.CurFileBarMax()));
    } else {
        // No duration known yet: nothing to measure the current file against.
        Display.SetCurFileBarStyle(TBarStyle::Marquee);
        Display.SetOverallBarPosition(OverallBarUnits(ProcessedFilesSize));
        Display.SetCurFilePercentage(L"");
    }
    // From the read-back positions, so a position past the end never shows more than 100%.
    Display.SetOverallPercentage(
        PercentText(Display.OverallBarPosition(), Display.OverallBarMax()));
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

void UpdateProgress(int64_t Position, int64_t Size, bool& Cancel) {
    if (ProgressForm)
        ProgressForm->ReportProgress(Position, Size, Cancel);
}
