#include "Countdown.h"

#include "AppError.h"
#include "Application.h"
#include "Language.h"
#include "Layouts.h"
#include "TextTemplate.h"

#include "resource.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr UINT_PTR TimerId = 1;
// Often enough that the shown second never lags the clock by much.
constexpr UINT TimerInterval = 200;

} // namespace

TCountdownForm::TCountdownForm(HWND Owner, TWhenDone Action)
    : TForm(CountdownFormLayout, Owner), Clock([] {
          if (Application.Hooks.CountdownClock)
              return Application.Hooks.CountdownClock();
          return static_cast<double>(GetTickCount64()) / 1000;
      }),
      Action(Action) {}

TCountdownForm::~TCountdownForm() {
    DestroyHandle();
}

bool TCountdownForm::ShowModal() {
    if (!ShowModalTemplate(IDD_COUNTDOWN))
        throw EAppError(SystemErrorText(GetLastError()));
    return Result == IDOK;
}

INT_PTR TCountdownForm::DialogProc(UINT Msg, WPARAM WParam, LPARAM) {
    switch (Msg) {
    case WM_INITDIALOG:
        FormCreate();
        return FALSE; // the focus was set to Cancel
    case WM_TIMER:
        if (WParam == TimerId)
            TimerTimer();
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(WParam) == IDC_BTNNOW || LOWORD(WParam) == IDCANCEL) {
            Result = LOWORD(WParam) == IDC_BTNNOW ? IDOK : IDCANCEL;
            KillTimer(Window, TimerId);
            EndDialog(Window, Result);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        KillTimer(Window, TimerId);
        return TRUE;
    }
    return FALSE;
}

void TCountdownForm::FormCreate() {
    const bool Sleep = Action == TWhenDone::Sleep;
    SetDlgItemTextW(Window, IDC_BTNNOW,
                    Application.LoadStr(Sleep ? IDS_SLEEPNOW : IDS_SHUTDOWNNOW).c_str());
    Start = Clock();
    ShowSecondsLeft(Seconds);
    LayOutAndCentre();
    // Cancel is the safe answer to a stray Enter or Space.
    SetFocus(GetDlgItem(Window, IDCANCEL));
    SetTimer(Window, TimerId, TimerInterval, nullptr);
}

void TCountdownForm::TimerTimer() {
    const double Left = Seconds - (Clock() - Start);
    if (Left <= 0) {
        KillTimer(Window, TimerId);
        Result = IDOK;
        EndDialog(Window, IDOK);
        return;
    }
    ShowSecondsLeft(static_cast<int>(std::ceil(Left)));
}

std::wstring CountdownText(TWhenDone Action, int Left) {
    const bool Sleep = Action == TWhenDone::Sleep;
    if (Left == 1)
        return Application.LoadStr(Sleep ? IDS_SLEEPINONESECOND : IDS_SHUTDOWNINONESECOND);
    const std::wstring Number = std::to_wstring(Left);
    return FormatTemplate(
        ResolvePlurals(Application.LoadStr(Sleep ? IDS_SLEEPINSECONDS : IDS_SHUTDOWNINSECONDS),
                       Application.Language->Plural, {Number}),
        {Number});
}

void TCountdownForm::ShowSecondsLeft(int Left) {
    if (Left == Shown)
        return;
    Shown = Left;
    SetDlgItemTextW(Window, IDC_LBLCOUNTDOWN, CountdownText(Action, Left).c_str());
}

void TCountdownForm::FitToTexts(TFittedLayout& Layout, HFONT Font) {
    // The label is as wide as the widest second it will count.
    int Label = 0;
    for (int Left = 1; Left <= Seconds; ++Left)
        Label = std::max(Label, NeededWidth(GetDlgItem(Window, IDC_LBLCOUNTDOWN),
                                            CountdownText(Action, Left), Font, Dpi));
    FitCountdownLayout(Window, Layout, Label, Font, Dpi);
}
