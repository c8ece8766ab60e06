// The Convert button: one batch over the list in a modal progress window, then what the user
// chose to happen once it is done, and the summary; the adapters through which the batch reaches
// the main window; and the conversion of one file.
#include "AppError.h"
#include "Application.h"
#include "Countdown.h"
#include "FileSystem.h"
#include "Main.h"
#include "Power.h"
#include "Precheck.h"
#include "Progress.h"
#include "TextTemplate.h"
#include "Translation.h"
#include "resource.h"

#include <memory>
#include <utility>

namespace {

TFailureTexts FailureTexts() {
    auto S = [](UINT Id) { return Application.LoadStr(Id); };
    // By name, so the compiler holds each text to its field.
    return {
        .NotStarted = S(IDS_FAILNOTSTARTED),
        .Cancelled = S(IDS_FAILCANCELLED),
        .NotReadable = S(IDS_FAILNOTREADABLE),
        .SourceMissing = S(IDS_FAILSOURCEMISSING),
        .NoVideoDecoder = S(IDS_FAILNOVIDEODECODER),
        .NoSoundDecoder = S(IDS_FAILNOSOUNDDECODER),
        .CannotWrite = S(IDS_FAILCANNOTWRITE),
        .Crashed = S(IDS_FAILCRASHED),
        .NoPicture = S(IDS_FAILNOPICTURE),
        .NoSound = S(IDS_FAILNOSOUND),
        .Other = S(IDS_FAILOTHER),
        .OtherWithoutLine = S(IDS_FAILOTHERWITHOUTLINE),
        .NoOutput = S(IDS_FAILNOOUTPUT),
        .Stopped = S(IDS_FAILSTOPPED),
        .NotPublished = S(IDS_FAILNOTPUBLISHED),
        .OutputLost = S(IDS_FAILOUTPUTLOST),
        .NotEnded = S(IDS_FAILNOTENDED),
        .WriteFailed = S(IDS_FAILWRITEFAILED),
        .DiskFull = S(IDS_FAILDISKFULL),
        .ShortOutput = S(IDS_FAILSHORTOUTPUT),
        .NotPublishedKept = S(IDS_FAILNOTPUBLISHEDKEPT),
        .CancelledKept = S(IDS_FAILCANCELLEDKEPT),
    };
}

TSummaryTexts SummaryTexts() {
    auto S = [](UINT Id) { return Application.LoadStr(Id); };
    return {
        .Finished = S(IDS_CONVERSIONFINISHED),
        .SomeFailed = S(IDS_SOMENOTCONVERTED),
        .FailedFile = S(IDS_SUMMARYFAILEDFILE),
        .More = S(IDS_SUMMARYMORE),
        .EndedEarly = S(IDS_SUMMARYENDEDEARLY),
        .Plural = Application.Language->Plural,
    };
}

TPrecheckTexts PrecheckTexts() {
    auto S = [](UINT Id) { return Application.LoadStr(Id); };
    return {
        .ConverterMissing = S(IDS_CHECKCONVERTERMISSING),
        .FolderEmpty = S(IDS_CHECKFOLDEREMPTY),
        .FolderRelative = S(IDS_CHECKFOLDERRELATIVE),
        .FolderNotCreated = S(IDS_CHECKFOLDERNOTCREATED),
        .FolderIsFile = S(IDS_CHECKFOLDERISFILE),
        .FolderForbiddenCharacter = S(IDS_CHECKFOLDERFORBIDDEN),
        .FolderDeviceName = S(IDS_CHECKFOLDERDEVICENAME),
    };
}

// Sleep or Shut down, once the countdown has run out. True when Windows is shutting down: it
// closes the program on its way, so nothing more is shown; the list stays until then, in case a
// program with unsaved work stops the shutdown. After sleeping, the summary that follows waits on
// the screen for whoever wakes the computer.
bool PowerOffAfterBatch(HWND Window, TWhenDone Then) {
    if ((Then != TWhenDone::Sleep && Then != TWhenDone::ShutDown) ||
        !TCountdownForm(Window, Then).ShowModal())
        return false;
    // The session ended during the countdown: Windows is on its way already.
    if (Application.SessionEnding)
        return true;
    const bool ShutDown = Then == TWhenDone::ShutDown;
    const DWORD Error = ShutDown ? ShutDownComputer() : PutComputerToSleep();
    if (Error)
        Application.ShowMessageBox(
            Window,
            FormatTemplate(Application.LoadStr(ShutDown ? IDS_SHUTDOWNFAILED : IDS_SLEEPFAILED),
                           {SystemErrorText(Error)}),
            Application.Title, MB_OK | MB_ICONWARNING);
    return ShutDown && !Error;
}

} // namespace

void TMainForm::btnConvertClick() {
    if (SessionEnded)
        return;
    // Pressed while files are still being listed or a selection is still arriving: the batch
    // takes them all, once they are in, so "When done:" never acts on part of them.
    if (Adding() || SelectionArriving()) {
        WaitForSelectionThenConvert();
        return;
    }
    if (std::exchange(ConvertWaitStart, 0) != 0) {
        ConvertAfterAdd = false;
        ShowAddProgress();
    }
    // What would fail every file is said once, before anything is converted or marked.
    TPrecheck Check =
        CheckBeforeBatch(AppPath + FFmpegExeName, SameFolderChecked(), OutputFolderText());
    if (Check.Kind != TPrecheckKind::Ok) {
        Application.ShowMessageBox(Window, DescribePrecheck(Check, PrecheckTexts()),
                                   Application.Title, MB_OK | MB_ICONWARNING);
        // What the user can mend by typing: the box gets the focus.
        if (Check.Kind != TPrecheckKind::ConverterMissing &&
            Check.Kind != TPrecheckKind::FolderNotCreated)
            SendMessageW(Window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edOutputFolder), TRUE);
        return;
    }

    // The choice applies to the whole batch, whatever is clicked while it runs.
    BatchOptions = PlayerSafeChecked() ? FFmpegPlayerSafeOptions : FFmpegOptions;

    // A new window, with fresh state, for every batch; destroyed however the run ends.
    auto Form = std::make_unique<TProgressForm>(*this);
    Form->CheckPlayerSafeLengths = PlayerSafeChecked();
    Form->SideBySide = ConversionsAtOnce();
    BatchStarted();
    // However the batch ends, an exception included, the restart registration goes with it.
    struct TBatchEnd {
        TMainForm& Owner;
        bool Ended = false;
        void End() {
            if (!std::exchange(Ended, true))
                Owner.BatchEnded();
        }
        ~TBatchEnd() { End(); }
    } BatchEnd{*this};
    Form->ShowModal();
    std::wstring Text = Form->SummaryText(SummaryTexts(), FailureTexts());
    if (!Text.empty() && !Form->LengthsNotRead().empty()) {
        std::wstring Names;
        for (const std::wstring& Name : Form->LengthsNotRead())
            Names += L"\n" + Name;
        Text +=
            L"\n\n" + FormatTemplate(Application.LoadStr(IDS_LENGTHSNOTREAD), {Names.substr(1)});
    }
    // A cancelled batch has someone in front of the computer: it stays as it is.
    const TWhenDone Then = Form->RanToEnd() ? Form->WhenDone() : TWhenDone::Nothing;
    Form.reset();
    BatchEnd.End();
    // Closing itself, Kestrova keeps the files that failed, with their reasons, for its next
    // start; a close the user asked for behaves as always.
    KeepListOnClose =
        !CloseAfterBatch && (Then == TWhenDone::CloseProgram || Then == TWhenDone::ShutDown);
    if (CloseAfterBatch || Then == TWhenDone::CloseProgram) {
        PostMessageW(Window, WM_CLOSE, 0, 0);
        return;
    }
    if (PowerOffAfterBatch(Window, Then)) {
        SaveListNow();
        return;
    }
    KeepListOnClose = false;
    // Whoever walked away from the batch learns from the taskbar that it has ended.
    FlashUntilActive(Window);
    if (!Text.empty())
        Application.ShowMessageBox(Window, Text, Application.LoadStr(IDS_INFORMATION),
                                   MB_OK | MB_ICONINFORMATION);
}

bool TMainForm::ConvertFile(const std::wstring& Source, const std::wstring& Destination,
                            TProgressProc ProgressProc, TConversionOutcome& Outcome) {
    // Long paths only in the form the converter's file functions can open.
    Outcome = ConvertWithFFmpeg(AppPath + FFmpegExeName, OpenablePath(Source),
                                OpenablePath(Destination), BatchOptions, ProgressProc);
    return Outcome.Converted;
}

std::unique_ptr<TFFmpegJob> TMainForm::CreateJob(const std::wstring& Source,
                                                 const std::wstring& Destination) {
    return std::make_unique<TFFmpegJob>(AppPath + FFmpegExeName, OpenablePath(Source),
                                        OpenablePath(Destination), BatchOptions);
}

int TMainForm::ConversionsAtOnce() const {
    // Not set, damaged or unreadable: the machine decides.
    if (const int Fixed = KeptSettings.ConversionsAtOnce())
        return Fixed;
    return ChooseSideBySide(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS));
}

int TMainFormBatchPorts::RowCount() const {
    return Form.RowCount();
}

TListRow TMainFormBatchPorts::Row(int Index) const {
    return {Form.RowName(Index), Form.RowLocation(Index), Form.RowFileSize(Index)};
}

void TMainFormBatchPorts::DeleteRow(int Index) {
    Form.DeleteRow(Index);
}

void TMainFormBatchPorts::PartialReserved(const std::wstring& Path) {
    Form.PartialReserved(Path);
}

void TMainFormBatchPorts::PartialGone(const std::wstring& Path) {
    Form.PartialGone(Path);
}

void TMainFormBatchPorts::SetRowImage(int Index, int Image) {
    Form.SetRowImage(Index, Image);
}

void TMainFormBatchPorts::UpdateControlsOnListChange() {
    Form.UpdateControlsOnListChange();
}

bool TMainFormBatchPorts::SameFolderSelected() const {
    return Form.SameFolderChecked();
}

std::wstring TMainFormBatchPorts::OutputFolderText() const {
    return Form.OutputFolderText();
}

bool TMainFormBatchPorts::ConvertFile(const std::wstring& Source, const std::wstring& Destination,
                                      TProgressProc ProgressProc, TConversionOutcome& Outcome) {
    return Form.ConvertFile(Source, Destination, ProgressProc, Outcome);
}

std::unique_ptr<TFFmpegJob> TMainFormBatchPorts::CreateJob(const std::wstring& Source,
                                                           const std::wstring& Destination) {
    return Form.CreateJob(Source, Destination);
}

void TMainFormBatchPorts::SetRowOutcome(int Index, const TConversionOutcome& Outcome) {
    Form.SetRowFailure(Index, DescribeFailure(Outcome, FailureTexts()), Outcome.Details);
}
