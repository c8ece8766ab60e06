// What every window of the program does alike: its dialog template's messages reach the form
// object, its controls sit where Layouts.cpp says at the window's DPI in the dialog font, it
// follows a DPI change to the place Windows suggests, and it goes with its form.
#pragma once

#include "Layouts.h"
#include "win32/UiOwners.h"

#include <windows.h>

class TForm {
public:
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    HWND Handle() const { return Window; }

protected:
    TForm(const TFormLayout& Layout, HWND Owner) : Owner(Owner), Layout(Layout) {}
    // A window still there is destroyed without its form's handlers, which are gone by now: each
    // form's destructor calls DestroyHandle first.
    virtual ~TForm();

    // Creates the template's window, modeless and hidden; false when it could not be created.
    bool CreateModeless(int TemplateId);
    // Shows the template's window modally, over Owner, until it is closed; false when it could not
    // be created (GetLastError says why).
    bool ShowModalTemplate(int TemplateId);
    // Destroys the window while the whole form still handles its messages (its destroy handler
    // runs).
    void DestroyHandle();

    // For WM_INITDIALOG, once the controls have their texts: lays the window out for its DPI (the
    // dialog manager's own DPI scaling is turned off) and centres it over Owner, or on its monitor
    // without one.
    void LayOutAndCentre();
    // Places the controls anew at the current DPI once the layout has changed, keeping the
    // window's top-left corner.
    void LayOutAgain() { ScaleToDpi(Dpi); }

    // The form's own messages; WM_DPICHANGED is handled before they get here.
    virtual INT_PTR DialogProc(UINT Msg, WPARAM WParam, LPARAM LParam) = 0;
    // What the form scales itself once the layout and the font are in place for Dpi. OldDpi is the
    // DPI it was drawn at: 96 the first time, as sizes set at creation are 96-DPI values.
    virtual void ScaleOwnParts(UINT /*OldDpi*/) {}
    // Grows the layout where the window's texts need it in Font at Dpi (Layouts.h).
    virtual void FitToTexts(TFittedLayout& /*Layout*/, HFONT /*Font*/) {}

    HWND Window = nullptr;
    const HWND Owner;
    UINT Dpi = 96;
    UniqueFont Font;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam);
    INT_PTR FormProc(UINT Msg, WPARAM WParam, LPARAM LParam);
    void ScaleToDpi(UINT NewDpi);

    const TFormLayout& Layout;
};
