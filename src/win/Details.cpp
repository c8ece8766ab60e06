#include "Details.h"

#include "AppError.h"
#include "Application.h"
#include "Form.h"

#include "resource.h"

#include <utility>

namespace {

class TDetailsForm final : public TForm {
public:
    TDetailsForm(HWND Owner, std::wstring Caption, std::wstring Text)
        : TForm(DetailsFormLayout, Owner), Caption(std::move(Caption)), Text(std::move(Text)) {}

    void ShowModal() {
        if (!ShowModalTemplate(IDD_DETAILS))
            throw EAppError(SystemErrorText(GetLastError()));
    }

private:
    INT_PTR DialogProc(UINT Msg, WPARAM WParam, LPARAM) override {
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
        }
        return FALSE;
    }

    void FormCreate() {
        SetWindowTextW(Window, Caption.c_str());
        SetDlgItemTextW(Window, IDC_EDDETAILS, WithWindowsLineEnds(Text).c_str());
        LayOutAndCentre();
        // Opened with OK focused, so Enter or Esc closes it; the text is one Tab away.
        SetFocus(GetDlgItem(Window, IDOK));
    }

    void FitToTexts(TFittedLayout& Layout, HFONT Font) override {
        FitDetailsLayout(Window, Layout, Font, Dpi);
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

    std::wstring Caption, Text;
};

} // namespace

void ShowDetails(HWND Owner, const std::wstring& Caption, const std::wstring& Text) {
    if (Application.Hooks.ShowDetails) {
        Application.Hooks.ShowDetails(Owner, Caption, Text);
        return;
    }
    TDetailsForm(Owner, Caption, Text).ShowModal();
}
