// The progress window: hosts one batch over the main window's list, shows its progress, offers
// the only way to stop it, and closes itself once the batch has ended.
#pragma once

#include "Batch.h"
#include "BatchPorts.h"
#include "Form.h"
#include "TimeLeft.h"
#include "win32/UiOwners.h"

#include <windows.h>

#include <shobjidl.h>

#include <functional>

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

private:
    INT_PTR DialogProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;

    void FormCreate();
    void FormActivate();
    void FormDestroy();
    void btnCancelClick();
    void TimerTimer();

    // The labels fitted to their texts.
    void ScaleOwnParts(UINT OldDpi) override;
    void FitToTexts(TFittedLayout& Layout, HFONT Font) override {
        FitProgressLayout(Window, Layout, Font, Dpi);
    }
    // Sizes a right-aligned label to its text, its right edge kept where the layout puts it.
    void FitPercentageLabel(int Id);
    void SetPercentage(int Id, const std::wstring& Text);
    void UpdateTaskbar();
    // Shows the estimate of the time the batch has left, or nothing (ProgressTimeLeft.cpp).
    void UpdateTimeLeft();

    HWND lblCurFile = nullptr;
    HWND pbCurFile = nullptr;
    HWND pbOverall = nullptr;
    bool Activated = false;
    TBarStyle CurFileStyle = TBarStyle::Normal;
    // The main window's taskbar button mirrors the overall bar where the shell offers it.
    TComPtr<ITaskbarList3> Taskbar;
    TTimeLeft TimeLeft;
};
