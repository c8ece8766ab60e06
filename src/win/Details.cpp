#include "Details.h"

#include "AppError.h"
#include "Application.h"
#include "DialogRouting.h"
#include "Dpi.h"
#include "Layouts.h"

#include "resource.h"
#include "win32/UiOwners.h"

namespace {

class TDetailsForm {
public:
    TDetailsForm(HWND Owner, std::wstring Caption, std::wstring Text)
        : Owner(Owner), Caption(std::move(Caption)), Text(std::move(Text)) {}

    void ShowModal() {
        if (DialogBoxParamW(Application.Instance, MAKEINTRESOURCEW(IDD_DETAILS), Owner,
                            StaticDialogProc, reinterpret_cast<LPARAM>(this)) == -1)
            throw EAppError(SystemErrorText(GetLastError()));
    }

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam) {
        return RouteDialogMessage(Dialog, Msg, WParam, LParam, &TDetailsForm::Window,
                                  &TDetailsForm::DialogProc);
    }

    INT_PTR DialogProc(UINT Msg, WPARAM WParam, LPARAM) {
        switch (Msg) {
        case WM_INITDIALOG:
            FormCreate();
            return FALSE; // the focus was set to OK
        case WM_COMMAND:
            if (LOWORD(WParam) == IDOK || LOWORD(WParam) == IDCANCEL) {
                EndDialog(Window, LOWORD(WParam));
                return TRUE;
            }
            return FALSE;
        case WM_DPICHANGED:
            ScaleToDpi(HIWORD(WParam));
            return TRUE;
        }
        return FALSE;
    }

    void FormCreate() {
        SetWindowTextW(Window, Caption.c_str());
        SetDlgItemTextW(Window, IDC_EDDETAILS, WithWindowsLineEnds(Text).c_str());
        DisableDialogDpiScaling(Window);
        ScaleToDpi(WindowDpi(Window));
        CentreOverWindow(Window, Owner);
        // Opened with OK focused, so Enter or Esc closes it; the text is one Tab away.
        SetFocus(GetDlgItem(Window, IDOK));
    }

    void ScaleToDpi(UINT Dpi) {
        UniqueFont NewFont(CreateDialogFont(Dpi));
        ApplyLayout(Window, DetailsFormLayout, Dpi, NewFont.get());
        Font = std::move(NewFont);
    }

    // An edit box breaks lines only at "\r\n"; the converter ends them with "\n" or "\r".
    static std::wstring WithWindowsLineEnds(const std::wstring& Text) {
        std::wstring Result;
        for (size_t i = 0; i < Text.size(); ++i) {
            wchar_t C = Text[i];
            if (C == L'\r' || C == L'\n') {
                Result += L"\r\n";
                if (C == L'\r' && i + 1 < Text.size() && Text[i + 1] == L'\n')
                    ++i;
            } else {
                Result += C;
            }
        }
        return Result;
    }

    HWND Owner;
    HWND Window = nullptr;
    std::wstring Caption, Text;
    UniqueFont Font;
};

} // namespace

void ShowDetails(HWND Owner, const std::wstring& Caption, const std::wstring& Text) {
    if (Application.Hooks.ShowDetails) {
        Application.Hooks.ShowDetails(Owner, Caption, Text);
        return;
    }
    TDetailsForm(Owner, Caption, Text).ShowModal();
}
