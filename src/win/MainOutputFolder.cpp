// The output-folder choice: beside the sources ("Same") or one folder ("Other:"), typed or picked
// with the shell's folder chooser.
#include "Main.h"

#include "Application.h"
#include "Layouts.h"

#include "resource.h"

#include <windowsx.h>

INT_PTR TMainForm::ControlColor(HDC Dc, HWND Control, bool) {
    int Background;
    if (Control == lblAddFiles)
        Background = COLOR_WINDOW;
    else if (Control == edOutputFolder)
        Background = IsWindowEnabled(edOutputFolder) ? COLOR_WINDOW : COLOR_BTNFACE;
    else
        return FALSE;
    SetBkColor(Dc, GetSysColor(Background));
    SetTextColor(Dc, GetSysColor(IsWindowEnabled(Control) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(Background));
}

bool TMainForm::SameFolderChecked() const {
    return Button_GetCheck(rbSameFolder) == BST_CHECKED;
}

std::wstring TMainForm::OutputFolderText() const {
    return WindowText(edOutputFolder);
}

void TMainForm::rbOutputFolderClick() {
    bool Other = Button_GetCheck(rbOtherFolder) == BST_CHECKED;
    EnableControl(edOutputFolder, Other);
    InvalidateRect(edOutputFolder, nullptr, TRUE);
    EnableControl(btnBrowse, Other);
}

void TMainForm::btnBrowseClick() {
    std::wstring Folder = OutputFolderText();
    if (BrowseForFolder(Window, Application.LoadStr(IDS_OUTPUTFOLDERPROMPT), Folder))
        SetWindowTextW(edOutputFolder, Folder.c_str());
}
