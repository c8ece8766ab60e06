#include "Form.h"

#include "Application.h"
#include "Dpi.h"
#include "Translation.h"

#include <utility>

TForm::~TForm() {
    if (Window) {
        SetWindowLongPtrW(Window, DWLP_USER, 0);
        DestroyWindow(Window);
    }
}

namespace {

HINSTANCE TemplateModule() {
    return Application.Instance ? Application.Instance : GetModuleHandleW(nullptr);
}

// The template in the user's language; the loader's own choice would follow the thread's UI
// language, which a user's preferred languages need not match.
const DLGTEMPLATE* LocalizedTemplate(int TemplateId) {
    return static_cast<const DLGTEMPLATE*>(FindLocalizedResource(
        TemplateModule(), RT_DIALOG, static_cast<UINT>(TemplateId), Application.Language->LangId));
}

} // namespace

bool TForm::CreateModeless(int TemplateId) {
    const DLGTEMPLATE* Template = LocalizedTemplate(TemplateId);
    if (!Template)
        return false;
    CreateDialogIndirectParamW(TemplateModule(), Template, Owner, StaticDialogProc,
                               reinterpret_cast<LPARAM>(this));
    return Window != nullptr;
}

bool TForm::ShowModalTemplate(int TemplateId) {
    const DLGTEMPLATE* Template = LocalizedTemplate(TemplateId);
    if (!Template)
        return false;
    return DialogBoxIndirectParamW(TemplateModule(), Template, Owner, StaticDialogProc,
                                   reinterpret_cast<LPARAM>(this)) != -1;
}

void TForm::DestroyHandle() {
    if (Window)
        DestroyWindow(Window);
}

// The form's pointer travels in WM_INITDIALOG's parameter and is kept in the window. An exception
// abandons the handler and is shown by the application; the program goes on.
INT_PTR CALLBACK TForm::StaticDialogProc(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam) {
    auto* Self = reinterpret_cast<TForm*>(GetWindowLongPtrW(Dialog, DWLP_USER));
    if (Msg == WM_INITDIALOG) {
        Self = reinterpret_cast<TForm*>(LParam);
        SetWindowLongPtrW(Dialog, DWLP_USER, LParam);
        Self->Window = Dialog;
    }
    if (!Self)
        return FALSE;
    INT_PTR Result = FALSE;
    try {
        Result = Self->FormProc(Msg, WParam, LParam);
    } catch (...) {
        Application.HandleException();
    }
    if (Msg == WM_NCDESTROY) {
        SetWindowLongPtrW(Dialog, DWLP_USER, 0);
        Self->Window = nullptr;
    }
    return Result;
}

INT_PTR TForm::FormProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == WM_DPICHANGED) {
        // The window goes where Windows suggests; its size is the layout's at the new DPI, which
        // is the suggested one give or take rounding, and keeps the controls exact.
        const RECT& Suggested = *reinterpret_cast<const RECT*>(LParam);
        SetWindowPos(Window, nullptr, Suggested.left, Suggested.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ScaleToDpi(HIWORD(WParam));
        return TRUE;
    }
    return DialogProc(Msg, WParam, LParam);
}

void TForm::LayOutAndCentre() {
    DisableDialogDpiScaling(Window);
    ScaleToDpi(WindowDpi(Window));
    CentreOverWindow(Window, Owner);
}

void TForm::ScaleToDpi(UINT NewDpi) {
    UINT OldDpi = Font ? Dpi : 96;
    Dpi = NewDpi;
    UniqueFont NewFont(CreateDialogFont(Dpi));
    TFittedLayout Fitted(Layout);
    FitToTexts(Fitted, NewFont.get());
    ApplyLayout(Window, Fitted.View(), Dpi, NewFont.get());
    Font = std::move(NewFont); // the controls use the new one by now
    ScaleOwnParts(OldDpi);
}
