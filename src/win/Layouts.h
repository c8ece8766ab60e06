// The pixel layouts of the windows at 96 DPI: the one place that says where the windows'
// controls sit (the dialog templates carry no coordinates). Placing the controls from these values
// keeps them exact at every DPI and lets a window follow a DPI change.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TControlPlace {
    int Id;
    int Left, Top, Width, Height;
};

struct TFormLayout {
    int ClientWidth, ClientHeight;
    const TControlPlace* Controls;
    int Count;
};

extern const TFormLayout MainFormLayout;
extern const TFormLayout ProgressFormLayout;
extern const TFormLayout DetailsFormLayout;
extern const TFormLayout CountdownFormLayout;

// The progress window shows one line (caption, percentage, bar) per file converting; line 0 is
// the layout's own, each further line sits FileLineHeight lower with the ids of FileLineId, and
// everything below the lines moves down with them.
inline constexpr int FileLineHeight = 47;
enum class TFileLinePart { Caption, Percentage, Bar };
int FileLineId(int Line, TFileLinePart Part);
// The progress window's layout for Lines file lines (at least 1), kept in Places.
TFormLayout ProgressLayoutForLines(int Lines, std::vector<TControlPlace>& Places);

// Where Layout puts control Id (which it must hold).
const TControlPlace& PlaceOf(const TFormLayout& Layout, int Id);

// Sizes Form's client area and places its controls for Dpi, keeping the window's top-left corner,
// and gives every control Font.
void ApplyLayout(HWND Form, const TFormLayout& Layout, UINT Dpi, HFONT Font);

// A window's or control's text.
std::wstring WindowText(HWND Window);
// The size of a control's text in its own font.
SIZE TextExtent(HWND Control);
// Widens a label to its text where the text is longer than the layout's width (fonts differ
// between systems, and a completed text may be longer than the design-time one).
void FitWidthToText(HWND Label);

// Centres Form on the work area of the monitor nearest Reference (or Form itself).
void CentreOnMonitor(HWND Form, HWND Reference);
// Moves Form up as far as needed (never above the top) to keep it inside its monitor's work area.
void KeepInsideWorkArea(HWND Form);
// Centres Form over Owner's window rectangle, kept inside Owner's monitor.
void CentreOverWindow(HWND Form, HWND Owner);
