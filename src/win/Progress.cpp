#include "Progress.h"

#include "AppError.h"
#include "Application.h"
#include "Dpi.h"
#include "Layouts.h"
#include "Main.h"
#include "Power.h"
#include "TextTemplate.h"
#include "Translation.h"
#include "resource.h"
#include "win32/EndChildren.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace {

constexpr UINT_PTR TimerId = 1;
constexpr UINT TimerInterval = 100;
constexpr UINT MarqueeInterval = 100;
// Posted at the first activation: the batch then starts from the window's own message loop,
// before the first paint.
constexpr UINT WM_STARTBATCH = WM_APP + 1;
// How long the end of the session waits for the ended converters to be gone (their files
// closed, so they can be deleted): a process ended from outside goes within milliseconds, and
// Windows gives a program only a few seconds once the session ends.
constexpr DWORD ConverterEndWaitMs = 2000;

// Esc presses Cancel only on its own: Shift, Ctrl or Alt with it mean something else.
// A bar's look for Style: a marquee moves while nothing can be measured.
void SetBarStyle(HWND Bar, TBarStyle Style) {
    LONG_PTR WindowStyle = GetWindowLongPtrW(Bar, GWL_STYLE);
    if (Style == TBarStyle::Marquee) {
        SetWindowLongPtrW(Bar, GWL_STYLE, WindowStyle | PBS_MARQUEE);
        SendMessageW(Bar, PBM_SETMARQUEE, TRUE, MarqueeInterval);
    } else {
        SendMessageW(Bar, PBM_SETMARQUEE, FALSE, 0);
        SetWindowLongPtrW(Bar, GWL_STYLE, WindowStyle & ~static_cast<LONG_PTR>(PBS_MARQUEE));
    }
}

bool EscapeWithModifiers() {
    auto Down = [](int Key) { return (GetKeyState(Key) & 0x8000) != 0; };
    return Down(VK_ESCAPE) && (Down(VK_SHIFT) || Down(VK_CONTROL) || Down(VK_MENU));
}

} // namespace

TProgressForm::TProgressForm(TMainForm& Owner, TConverter* Converter)
    : TForm(CurrentLayout, Owner.Handle()), TMainFormBatchPorts(Owner),
      TBatch(*this, *this, *this, Converter ? *Converter : *this),
      Clock([] { return static_cast<double>(GetTickCount64()) / 1000; }) {
    FileCaptionText = Application.LoadStr(IDS_FILECAPTION);
    PercentPattern = UserPercentPattern();
}

TProgressForm::~TProgressForm() {
    DestroyHandle();
    if (ProgressForm == this)
        ProgressForm = nullptr;
}

void TProgressForm::ShowModal() {
    if (!ShowModalTemplate(IDD_PROGRESS))
        throw EAppError(FormatTemplate(Application.LoadStr(IDS_PROGRESSFAILED),
                                       {SystemErrorText(GetLastError())}));
}

// An exception from the batch is shown by TForm's routing and has ended the batch all the same, so
// the timer still closes the window.
INT_PTR TProgressForm::DialogProc(UINT Msg, WPARAM WParam, LPARAM) {
    // A top-level window of its own: Windows asks it about the end of the session too, and it
    // answers as the main window does.
    if (Msg == WM_QUERYENDSESSION) {
        SetWindowLongPtrW(Window, DWLP_MSGRESULT, Form.QueryEndSession() ? TRUE : FALSE);
        return TRUE;
    }
    if (Msg == WM_ENDSESSION) {
        if (WParam)
            Form.EndSession();
        SetWindowLongPtrW(Window, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    switch (Msg) {
    case WM_INITDIALOG:
        FormCreate();
        return TRUE; // the focus goes to the first tab stop, Cancel
    case WM_ACTIVATE:
        if (LOWORD(WParam) != WA_INACTIVE && !Activated) {
            Activated = true;
            PostMessageW(Window, WM_STARTBATCH, 0, 0);
        }
        return FALSE;
    case WM_STARTBATCH:
        FormActivate();
        return TRUE;
    case WM_TIMER:
        if (WParam == TimerId)
            TimerTimer();
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(WParam) == IDCANCEL) {
            if (!EscapeWithModifiers())
                btnCancelClick();
            return TRUE;
        }
        if (LOWORD(WParam) == IDC_CBWHENDONE && HIWORD(WParam) == CBN_SELCHANGE) {
            cbWhenDoneChange();
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        // The window closes when the batch has ended, not on request.
        return TRUE;
    case WM_DESTROY:
        FormDestroy();
        return TRUE;
    }
    return FALSE;
}

void TProgressForm::FormCreate() {
    Done = false;
    Cancel = false;
    ProgressForm = this;
    lblCurFile = GetDlgItem(Window, IDC_LBLCURFILE);
    pbCurFile = GetDlgItem(Window, IDC_PBCURFILE);
    pbOverall = GetDlgItem(Window, IDC_PBOVERALL);
    SendMessageW(pbCurFile, PBM_SETRANGE32, 0, 100);
    HWND cbWhenDone = GetDlgItem(Window, IDC_CBWHENDONE);
    for (UINT Text :
         {IDS_WHENDONENOTHING, IDS_WHENDONECLOSE, IDS_WHENDONESLEEP, IDS_WHENDONESHUTDOWN})
        SendMessageW(cbWhenDone, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Application.LoadStr(Text).c_str()));
    WhenDoneChoice = Form.Settings().WhenDone();
    SendMessageW(cbWhenDone, CB_SETCURSEL, static_cast<WPARAM>(WhenDoneChoice), 0);

    LayOutAndCentre();
    SetTimer(Window, TimerId, TimerInterval, nullptr);

    if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ITaskbarList3, Taskbar.put_void())) &&
        FAILED(Taskbar->HrInit()))
        Taskbar.reset();
}

void TProgressForm::FormActivate() {
    // The dialog manager shows a modal window only once its loop falls idle, which it does not
    // while the batch runs: show it now, so its progress and Cancel are seen from the start.
    ShowWindow(Window, SW_SHOW);
    UpdateWindow(Window);
    // Run returns at once once the batch has run, whatever activations follow.
    // Nobody may be there to move the mouse: the computer stays awake until the batch ends.
    TKeepAwake Awake;
    try {
        if (CheckPlayerSafeLengths && !CheckLengths()) {
            // Nothing converted, nothing marked: the window closes as after a cancel.
            Cancel = true;
            Done = true;
            return;
        }
    } catch (...) {
        // Shown by TForm's routing; the window must still close.
        Done = true;
        throw;
    }
    Run();
    Finished = !Cancel;
}

void TProgressForm::FormDestroy() {
    KillTimer(Window, TimerId);
    ExtraLines.clear(); // while their parent still exists: a destroyed window's handle is reused
    RemoveShutdownReason();
    if (Taskbar) {
        Taskbar->SetProgressState(Owner, TBPF_NOPROGRESS);
        Taskbar->SetThumbnailTooltip(Owner, nullptr);
        Taskbar.reset();
    }
}

void TProgressForm::btnCancelClick() {
    // The running converter is stopped at its next progress report; the loop ends before the
    // next file.
    Cancel = true;
}

void TProgressForm::cbWhenDoneChange() {
    auto Chosen = SendDlgItemMessageW(Window, IDC_CBWHENDONE, CB_GETCURSEL, 0, 0);
    if (Chosen == CB_ERR)
        return;
    WhenDoneChoice = static_cast<TWhenDone>(Chosen);
    Form.Settings().SaveWhenDone(WhenDoneChoice);
}

void TProgressForm::TimerTimer() {
    UpdateShutdownReason();
    if (Done)
        EndDialog(Window, IDOK);
}

void TProgressForm::HoldSessionEnd() {
    ShutdownReason = ShutdownReasonText();
    Application.SetShutdownReason(Owner, ShutdownReason);
}

void TProgressForm::EndForSession() {
    Cancel = true;
    EndAllChildProcesses(ConverterEndWaitMs);
    RemovePartialFilesNow();
    RemoveShutdownReason();
}

std::wstring TProgressForm::ShutdownReasonText() const {
    // Before the batch has counted its files (the length check), the list holds them all.
    const int Total = FileCount() > 0 ? FileCount() : Form.RowCount();
    if (Total <= 1)
        return Application.LoadStr(IDS_SESSIONHELDONEFILE);
    const std::wstring Numbers[2] = {std::to_wstring(std::min(FilesEndedCount() + 1, Total)),
                                     std::to_wstring(Total)};
    return FormatTemplate(ResolvePlurals(Application.LoadStr(IDS_SESSIONHELDFILES),
                                         Application.Language->Plural, {Numbers[0], Numbers[1]}),
                          {Numbers[0], Numbers[1]});
}

void TProgressForm::UpdateShutdownReason() {
    if (ShutdownReason.empty())
        return;
    if (Done) {
        RemoveShutdownReason();
        return;
    }
    if (std::wstring Text = ShutdownReasonText(); Text != ShutdownReason) {
        ShutdownReason = std::move(Text);
        Application.SetShutdownReason(Owner, ShutdownReason);
    }
}

void TProgressForm::RemoveShutdownReason() {
    if (ShutdownReason.empty())
        return;
    ShutdownReason.clear();
    Application.RemoveShutdownReason(Owner);
}

void TProgressForm::ScaleOwnParts(UINT) {
    FitPercentageLabel(IDC_LBLCURFILEPERCENTAGE);
    for (size_t Line = 1; Line <= ExtraLines.size(); ++Line)
        FitPercentageLabel(FileLineId(static_cast<int>(Line), TFileLinePart::Percentage));
    FitPercentageLabel(IDC_LBLOVERALLPERCENTAGE);
    FitWidthToText(GetDlgItem(Window, IDC_LBLOVERALL));
}

void TProgressForm::FitPercentageLabel(int Id) {
    HWND Label = GetDlgItem(Window, Id);
    SIZE Extent = TextExtent(Label);
    RECT Place;
    GetWindowRect(Label, &Place);
    MapWindowPoints(nullptr, Window, reinterpret_cast<POINT*>(&Place), 2);
    // Flush with the right end of its bar, which the window's texts may have moved: a file line's
    // bar follows its percentage, the overall one has its own id.
    RECT Bar;
    GetWindowRect(GetDlgItem(Window, Id == IDC_LBLOVERALLPERCENTAGE   ? IDC_PBOVERALL
                                     : Id == IDC_LBLCURFILEPERCENTAGE ? IDC_PBCURFILE
                                                                      : Id + 1),
                  &Bar);
    MapWindowPoints(nullptr, Window, reinterpret_cast<POINT*>(&Bar), 2);
    const int Right = Bar.right;
    // Right-aligned text moves when the label is resized: its old pixels must not be kept.
    SetWindowPos(Label, nullptr, Right - Extent.cx, Place.top, Extent.cx, Place.bottom - Place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
    InvalidateRect(Label, nullptr, TRUE);
}

void TProgressForm::UpdateTaskbar() {
    if (!Taskbar)
        return;
    int Max = OverallBarMax();
    Taskbar->SetProgressState(Owner, TBPF_NORMAL);
    Taskbar->SetProgressValue(Owner, static_cast<ULONGLONG>(OverallBarPosition()),
                              static_cast<ULONGLONG>(Max > 0 ? Max : 1));
}

void TProgressForm::SetCurFileCaption(const std::wstring& Text) {
    if (WindowText(lblCurFile) != Text)
        SetWindowTextW(lblCurFile, Text.c_str());
}

void TProgressForm::SetCurFileBarStyle(TBarStyle Style) {
    if (Style == CurFileStyle)
        return;
    CurFileStyle = Style;
    SetBarStyle(pbCurFile, Style);
}

void TProgressForm::SetCurFileBarPosition(int Position) {
    SendMessageW(pbCurFile, PBM_SETPOS, static_cast<WPARAM>(Position), 0);
}

int TProgressForm::CurFileBarPosition() const {
    return static_cast<int>(SendMessageW(pbCurFile, PBM_GETPOS, 0, 0));
}

int TProgressForm::CurFileBarMax() const {
    return static_cast<int>(SendMessageW(pbCurFile, PBM_GETRANGE, FALSE, 0));
}

void TProgressForm::SetOverallBarMax(int Max) {
    SendMessageW(pbOverall, PBM_SETRANGE32, 0, Max);
    UpdateTaskbar();
    UpdateTimeLeft();
}

void TProgressForm::SetOverallBarPosition(int Position) {
    SendMessageW(pbOverall, PBM_SETPOS, static_cast<WPARAM>(Position), 0);
    UpdateTaskbar();
    UpdateTimeLeft();
}

int TProgressForm::OverallBarPosition() const {
    return static_cast<int>(SendMessageW(pbOverall, PBM_GETPOS, 0, 0));
}

int TProgressForm::OverallBarMax() const {
    return static_cast<int>(SendMessageW(pbOverall, PBM_GETRANGE, FALSE, 0));
}

void TProgressForm::SetPercentage(int Id, const std::wstring& Text) {
    // Unchanged text is left alone: a report comes at least every 100 ms, and repainting flickers.
    if (WindowText(GetDlgItem(Window, Id)) == Text)
        return;
    SetDlgItemTextW(Window, Id, Text.c_str());
    FitPercentageLabel(Id);
}

void TProgressForm::SetCurFilePercentage(const std::wstring& Text) {
    SetPercentage(IDC_LBLCURFILEPERCENTAGE, Text);
}

void TProgressForm::SetOverallPercentage(const std::wstring& Text) {
    SetPercentage(IDC_LBLOVERALLPERCENTAGE, Text);
}

void TProgressForm::ProcessMessages() {
    MSG Msg;
    while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
        if (Msg.message == WM_QUIT) {
            // Leave it for the main loop, which ends the program once the batch is over.
            PostQuitMessage(static_cast<int>(Msg.wParam));
            Cancel = true;
            break;
        }
        if (Window && IsDialogMessageW(Window, &Msg))
            continue;
        TranslateMessage(&Msg);
        DispatchMessageW(&Msg);
    }
}

void TProgressForm::SetFileLines(const std::vector<TFileLine>& Lines) {
    SetFileLineCount(static_cast<int>(Lines.size()));
    TProgressDisplay::SetFileLines(Lines); // the first line on the current-file controls
    for (size_t Line = 1; Line < Lines.size(); ++Line) {
        const TFileLine& Shown = Lines[Line];
        TExtraLine& Extra = ExtraLines[Line - 1];
        if (WindowText(Extra.Caption.get()) != Shown.Caption)
            SetWindowTextW(Extra.Caption.get(), Shown.Caption.c_str());
        if (Extra.Style != Shown.Style) {
            Extra.Style = Shown.Style;
            SetBarStyle(Extra.Bar.get(), Shown.Style);
        }
        SendMessageW(Extra.Bar.get(), PBM_SETPOS, static_cast<WPARAM>(Shown.Position), 0);
        SetPercentage(FileLineId(static_cast<int>(Line), TFileLinePart::Percentage),
                      Shown.Percentage);
    }
}

void TProgressForm::SetFileLineCount(int Count) {
    Count = std::max(Count, 1);
    if (static_cast<size_t>(Count) == ExtraLines.size() + 1)
        return;
    while (ExtraLines.size() + 1 > static_cast<size_t>(Count))
        ExtraLines.pop_back();
    HINSTANCE Instance = GetModuleHandleW(nullptr);
    auto Create = [&](const wchar_t* Class, DWORD Style, int Line, TFileLinePart Part) {
        // Placed and given the dialog's font by the layout below.
        return CreateWindowExW(
            0, Class, L"", WS_CHILD | WS_VISIBLE | Style, 0, 0, 0, 0, Window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(FileLineId(Line, Part))), Instance,
            nullptr);
    };
    while (ExtraLines.size() + 1 < static_cast<size_t>(Count)) {
        const int Line = static_cast<int>(ExtraLines.size()) + 1;
        TExtraLine Extra;
        Extra.Caption.reset(Create(WC_STATICW, SS_LEFT | SS_ENDELLIPSIS | SS_NOPREFIX, Line,
                                   TFileLinePart::Caption));
        Extra.Percentage.reset(
            Create(WC_STATICW, SS_RIGHT | SS_NOPREFIX, Line, TFileLinePart::Percentage));
        Extra.Bar.reset(Create(PROGRESS_CLASSW, 0, Line, TFileLinePart::Bar));
        SendMessageW(Extra.Bar.get(), PBM_SETRANGE32, 0, 100);
        ExtraLines.push_back(std::move(Extra));
    }
    // The window grows or shrinks by the lines, its top edge kept, and stays on its monitor.
    CurrentLayout = ProgressLayoutForLines(Count, Places);
    LayOutAgain();
    KeepInsideWorkArea(Window);
}
