// One window class per form: the dialog procedure finds the form object that created the window
// and hands the message to its member procedure.
#pragma once

#include "Application.h"

#include <windows.h>

// The form's pointer travels in WM_INITDIALOG's parameter and is kept in the window. An exception
// abandons the handler and is shown by the application; the program goes on.
template <typename TForm>
INT_PTR RouteDialogMessage(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam,
                           HWND TForm::*WindowField,
                           INT_PTR (TForm::*Procedure)(UINT, WPARAM, LPARAM)) {
    auto* Self = reinterpret_cast<TForm*>(GetWindowLongPtrW(Dialog, DWLP_USER));
    if (Msg == WM_INITDIALOG) {
        Self = reinterpret_cast<TForm*>(LParam);
        SetWindowLongPtrW(Dialog, DWLP_USER, LParam);
        Self->*WindowField = Dialog;
    }
    if (!Self)
        return FALSE;
    INT_PTR Result = FALSE;
    try {
        Result = (Self->*Procedure)(Msg, WParam, LParam);
    } catch (...) {
        Application.HandleException();
    }
    if (Msg == WM_NCDESTROY) {
        SetWindowLongPtrW(Dialog, DWLP_USER, 0);
        Self->*WindowField = nullptr;
    }
    return Result;
}
