// The progress window: hosts one batch over the main window's list, shows its progress, offers
// the only way to stop it, and closes itself once the batch has ended.
#pragma once

#include "Batch.h"
#include "BatchPorts.h"
#include "Form.h"
#include "Power.h"
#include "TimeLeft.h"
#include "win32/UiOwners.h"

#include <windows.h>

#include <shobjidl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TProgressForm final : public TForm,
                            private TMainFormBatchPorts,
                            public TProgressDisplay,
                            public TBatch {
public:
    // The window is created by ShowModal, owned by the main window. Files are converted by the
    // main window's ConvertFile unless another converter is given.
    explicit TProgressForm(TMainForm& Owner, TConverter* Converter = nullptr);
    ~TProgressForm() override;

    // Shows the window modally; the batch runs at its first activation. Returns once the window
    // has closed.
    void ShowModal();
    // Seconds on a steady clock, for the time left; tests stand in their own.
    std::function<double()> Clock;

    // For a player-safe batch: first every file's length is read (each within LengthLimitMs, by
    // the converter at LengthConverterPath, the one beside the program when empty), and the user
    // is asked before files that would pass 2 GB are converted (ProgressLengthCheck.cpp).
    bool CheckPlayerSafeLengths = false;
    std::wstring LengthConverterPath;
    uint32_t LengthLimitMs = 10'000;
    // The files whose length could not be read in time, so were left out of the 2 GB check.
    const std::vector<std::wstring>& LengthsNotRead() const { return UnreadLengths; }

    // Whether the batch ran to its end: not cancelled, declined or ended by an exception.
    bool RanToEnd() const { return Finished; }
    // The "When done:" choice as the window closed.
    TWhenDone WhenDone() const { return WhenDoneChoice; }

    // The end of the session was asked for while the batch runs: it is held back, with the
    // batch's progress as the reason Windows shows ("Converting 3 of 40 files"), kept up to date
    // as files end and withdrawn when the batch ends.
    void HoldSessionEnd();
    // The session ends all the same: Cancel is set, every converter is ended at once and the
    // partial files of the conversions under way are deleted before this returns; the batch then
    // unwinds as after Cancel.
    void EndForSession();

    // The display, on the window's controls.
    void SetCurFileCaption(const std::wstring& Text) override;
    void SetCurFileBarStyle(TBarStyle Style) override;
    void SetCurFileBarPosition(int Position) override;
    int CurFileBarPosition() const override;
    int CurFileBarMax() const override;
    void SetOverallBarMax(int Max) override;
    void SetOverallBarPosition(int Position) override;
    int OverallBarPosition() const override;
    int OverallBarMax() const override;
    void SetCurFilePercentage(const std::wstring& Text) override;
    void SetOverallPercentage(const std::wstring& Text) override;
    void ProcessMessages() override;
    // One line per running file: the current-file line first, further lines added and removed
    // below it.
    void SetFileLines(const std::vector<TFileLine>& Lines) override;

private:
    INT_PTR DialogProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;

    void FormCreate();
    void FormActivate();
    void FormDestroy();
    void btnCancelClick();
    void TimerTimer();
    void cbWhenDoneChange();
    // The length check; false when nothing is to be converted (cancelled, or the user declined).
    bool CheckLengths();

    // The labels fitted to their texts.
    void ScaleOwnParts(UINT OldDpi) override;
    void FitToTexts(TFittedLayout& Layout, HFONT Font) override {
        FitProgressLayout(Window, Layout, Font, Dpi);
    }
    // Sizes a right-aligned label to its text, its right edge kept where the layout puts it.
    void FitPercentageLabel(int Id);
    // "When done:" fitted to its text, its list right of it.
    void SetPercentage(int Id, const std::wstring& Text);
    void UpdateTaskbar();
    // The reason for holding back the end of the session, as the batch stands now.
    std::wstring ShutdownReasonText() const;
    // Follows the batch while a reason is set; withdraws it once the batch has ended.
    void UpdateShutdownReason();
    void RemoveShutdownReason();
    // Shows the estimate of the time the batch has left, or nothing (ProgressTimeLeft.cpp).
    void UpdateTimeLeft();
    // Creates or destroys the further file lines and lays the window out for Count lines.
    void SetFileLineCount(int Count);

    // The layout for the lines shown now; the form places its controls from it.
    std::vector<TControlPlace> Places;
    TFormLayout CurrentLayout = ProgressFormLayout;
    // The lines below the first: caption, percentage and bar, and the bar's style. They go with
    // their line, or at the latest in FormDestroy, while the window is still there.
    struct TExtraLine {
        UniqueWindow Caption, Percentage, Bar;
        TBarStyle Style = TBarStyle::Normal;
    };
    std::vector<TExtraLine> ExtraLines;

    HWND lblCurFile = nullptr;
    HWND pbCurFile = nullptr;
    HWND pbOverall = nullptr;
    bool Activated = false;
    TBarStyle CurFileStyle = TBarStyle::Normal;
    // The main window's taskbar button mirrors the overall bar where the shell offers it.
    TComPtr<ITaskbarList3> Taskbar;
    TTimeLeft TimeLeft;
    std::vector<std::wstring> UnreadLengths;
    bool Finished = false;
    // The reason set on the main window for holding back the end of the session; empty when
    // none is.
    std::wstring ShutdownReason;
    TWhenDone WhenDoneChoice = TWhenDone::Nothing;
};
