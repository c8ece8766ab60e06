// The last minute before the computer sleeps or shuts down at the end of a batch: whoever is
// still there can keep the computer on.
#pragma once

#include "Form.h"
#include "Power.h"

#include <windows.h>

#include <functional>
#include <string>

// What the countdown says with Left seconds to go before Action, in the user's language.
std::wstring CountdownText(TWhenDone Action, int Left);

class TCountdownForm final : public TForm {
public:
    // Action is Sleep or ShutDown.
    TCountdownForm(HWND Owner, TWhenDone Action);
    ~TCountdownForm() override;

    // Counts down modally; true when the time ran out or the user chose to go ahead now, false
    // when Cancel (Esc, the close box) kept the computer on.
    bool ShowModal();

    // Seconds on a steady clock; tests stand in their own.
    std::function<double()> Clock;
    static constexpr int Seconds = 60;

private:
    INT_PTR DialogProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;
    void FormCreate();
    void TimerTimer();
    void ShowSecondsLeft(int Left);
    void FitToTexts(TFittedLayout& Layout, HFONT Font) override;

    const TWhenDone Action;
    double Start = 0;
    int Shown = -1;
    INT_PTR Result = IDCANCEL;
};
